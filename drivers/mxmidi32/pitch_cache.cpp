#include "pitch_cache.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <istream>
#include <mutex>
#include <ostream>
#include <sstream>
#include <vector>

namespace mxmidi {
namespace {

constexpr const char* kHeader = "MxMidi32 pitch corrections 2";
// Files of earlier versions of this library begin so; they are measured again, silently.
constexpr const char* kHeaderStem = "MxMidi32 pitch corrections ";
// A key's tuning may differ this much from its equal-tempered pitch; anything further is not
// something this library measured.
constexpr double kMaxCorrection = 300.0;

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

template <typename T>
bool number(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && rest == end;
}

bool keyLine(const std::vector<std::string>& w, PresetCorrections& preset) {
    int key = 0;
    if (w.size() < 3 || !number(w[1], key) || key < 0 || key > 127) return false;
    if (preset.keys[key]) return false;  // the same key twice
    KeyCorrection c;
    if (w.size() == 3 && w[2] == "none") {
        preset.keys[key] = c;
        return true;
    }
    if (w.size() != 3 + kTrimPoints || !number(w[2], c.tuning)) return false;
    if (!std::isfinite(c.tuning) || std::fabs(c.tuning - 100.0 * key) > kMaxCorrection)
        return false;
    for (int i = 0; i < kTrimPoints; ++i) {
        float& t = c.trim[static_cast<std::size_t>(i)];
        if (!number(w[static_cast<std::size_t>(3 + i)], t) || !std::isfinite(t) ||
            std::fabs(t) > kMaxTrimCents)
            return false;
    }
    c.pitched = true;
    preset.keys[key] = c;
    return true;
}

// One line on standard error for each kind of trouble, once per process.
void complainOnce(std::once_flag& flag, const std::string& text) {
    std::call_once(flag, [&] { std::fprintf(stderr, "MxMidi32: %s\n", text.c_str()); });
}

std::uint64_t hashOf(const std::string& text) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

double KeyCorrection::trimAt(double seconds) const {
    const double at = (seconds - kTrimFirstSeconds) / kTrimStepSeconds;
    if (!(at > 0.0)) return trim.front();
    if (at >= kTrimPoints - 1) return trim.back();
    const auto i = static_cast<std::size_t>(at);
    const double f = at - static_cast<double>(i);
    return trim[i] + f * (trim[i + 1] - trim[i]);
}

std::optional<SoundFontStamp> stampSoundFont(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    SoundFontStamp stamp;
    stamp.path = resolved;
    ::free(resolved);
    struct stat st {};
    if (::stat(stamp.path.c_str(), &st) != 0) return std::nullopt;
    stamp.size = static_cast<long long>(st.st_size);
    stamp.modified = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return stamp;
}

CacheState readPitchCache(std::istream& in, const SoundFontStamp& stamp, CorrectionTable& table) {
    std::string line;
    if (!std::getline(in, line)) return CacheState::Damaged;
    if (line != kHeader) return line.rfind(kHeaderStem, 0) == 0 ? CacheState::Other : CacheState::Damaged;
    SoundFontStamp found;
    if (!std::getline(in, line) || line.rfind("soundfont ", 0) != 0) return CacheState::Damaged;
    found.path = line.substr(10);
    const std::pair<const char*, long long*> fields[] = {{"size", &found.size},
                                                         {"modified", &found.modified}};
    for (const auto& [name, field] : fields) {
        const std::vector<std::string> w = std::getline(in, line) ? words(line) : words("");
        if (w.size() != 2 || w[0] != name || !number(w[1], *field)) return CacheState::Damaged;
    }
    CorrectionTable read;
    PresetCorrections* preset = nullptr;
    bool ended = false;
    while (std::getline(in, line)) {
        if (ended) return CacheState::Damaged;  // nothing may follow the end
        const std::vector<std::string> w = words(line);
        if (w.size() == 1 && w[0] == "end") {
            ended = true;
        } else if (w.size() == 4 && w[0] == "preset") {
            int bank = 0, program = 0;
            if (!number(w[1], bank) || !number(w[2], program) || bank < 0 || bank > 128 ||
                program < 0 || program > 127 || (w[3] != "complete" && w[3] != "partial") ||
                read.count({bank, program}) != 0)
                return CacheState::Damaged;
            preset = &read[{bank, program}];
            preset->complete = w[3] == "complete";
        } else if (!w.empty() && w[0] == "key" && preset != nullptr) {
            if (!keyLine(w, *preset)) return CacheState::Damaged;
        } else {
            return CacheState::Damaged;
        }
    }
    if (!ended) return CacheState::Damaged;  // cut short
    if (!(found == stamp)) return CacheState::Other;
    table = std::move(read);
    return CacheState::Applies;
}

void writePitchCache(std::ostream& out, const SoundFontStamp& stamp, const CorrectionTable& table) {
    out << kHeader << '\n'
        << "soundfont " << stamp.path << '\n'
        << "size " << stamp.size << '\n'
        << "modified " << stamp.modified << '\n';
    char text[32];
    for (const auto& [preset, corrections] : table) {
        out << "preset " << preset.first << ' ' << preset.second << ' '
            << (corrections.complete ? "complete" : "partial") << '\n';
        for (int key = 0; key < 128; ++key) {
            const auto& c = corrections.keys[key];
            if (!c) continue;
            if (!c->pitched) {
                out << "key " << key << " none\n";
                continue;
            }
            std::snprintf(text, sizeof text, "key %d %.4f", key, c->tuning);
            out << text;
            for (const float t : c->trim) {
                std::snprintf(text, sizeof text, " %.4f", static_cast<double>(t));
                out << text;
            }
            out << '\n';
        }
    }
    out << "end\n";
}

std::string soundFontCacheFile(const std::string& soundFontPath, const char* kind,
                               const char* extension) {
    std::string folder;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/') {
        folder = cache;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        folder = std::string(home) + "/.cache";
    } else {
        return {};
    }
    char name[32];
    std::snprintf(name, sizeof name, "-%016llx", static_cast<unsigned long long>(hashOf(soundFontPath)));
    return folder + "/tessarin/" + kind + name + extension;
}

std::string pitchCacheFile(const std::string& soundFontPath) {
    return soundFontCacheFile(soundFontPath, "pitch", ".txt");
}

bool replaceFile(const std::string& file, const std::string& bytes, std::string& error) {
    // The folder and its parent ($XDG_CACHE_HOME may not exist yet either).
    const std::string folder = file.substr(0, file.rfind('/'));
    const std::string parent = folder.substr(0, folder.rfind('/'));
    ::mkdir(parent.c_str(), 0700);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = std::strerror(errno);
        return false;
    }
    const std::string temporary = file + "." + std::to_string(::getpid()) + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = std::strerror(errno);
            return false;
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            error = "write failed";
            out.close();
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        error = std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

CorrectionTable loadPitchCache(const std::string& file, const SoundFontStamp& stamp) {
    CorrectionTable table;
    if (file.empty()) return table;
    std::ifstream in(file, std::ios::binary);
    if (!in) return table;
    if (readPitchCache(in, stamp, table) == CacheState::Damaged) {
        static std::once_flag once;
        complainOnce(once, "the pitch cache " + file + " is damaged; measuring the pitch again");
    }
    return table;
}

void savePitchCache(const std::string& file, const SoundFontStamp& stamp,
                    const CorrectionTable& table) {
    if (file.empty()) return;
    std::ostringstream text;
    writePitchCache(text, stamp, table);
    if (std::string error; !replaceFile(file, text.str(), error)) {
        static std::once_flag once;
        complainOnce(once, "cannot keep the pitch cache " + file + ": " + error);
    }
}

}  // namespace mxmidi
