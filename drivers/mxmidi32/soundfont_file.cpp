#include "soundfont_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace mxmidi {
namespace {

// The comment of a file is short text; anything longer is not read.
constexpr std::uint32_t kMaxComment = 65536;

struct Chunk {
    char id[4];
    std::uint64_t data = 0;  // offset of its data
    std::uint32_t size = 0;
};

bool is(const char* id, const char* name) {
    return std::memcmp(id, name, 4) == 0;
}

std::uint16_t u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The chunks one after another in [from, to); false when one overruns it.
bool chunksIn(const ByteSource& source, std::uint64_t from, std::uint64_t to,
              std::vector<Chunk>& out) {
    for (std::uint64_t at = from; at + 8 <= to;) {
        std::uint8_t head[8];
        if (!source.read(at, head, 8)) return false;
        Chunk c;
        std::memcpy(c.id, head, 4);
        c.size = u32(head + 4);
        c.data = at + 8;
        if (c.data + c.size > to) return false;
        out.push_back(c);
        at = c.data + c.size + (c.size & 1);  // chunks are padded to an even length
    }
    return true;
}

// A LIST chunk's type and its sub-chunks.
bool listOf(const ByteSource& source, const Chunk& list, char type[4], std::vector<Chunk>& out) {
    if (list.size < 4 || !source.read(list.data, type, 4)) return false;
    return chunksIn(source, list.data + 4, list.data + list.size, out);
}

// Reads a table of fixed-size records, each decoded by `decode`; at least the terminal one.
template <typename Record, typename Decode>
bool table(const ByteSource& source, const Chunk& c, std::size_t recordSize, Decode decode,
           std::vector<Record>& out) {
    if (c.size % recordSize != 0 || c.size < recordSize) return false;
    std::vector<std::uint8_t> bytes(c.size);
    if (!source.read(c.data, bytes.data(), bytes.size())) return false;
    const std::size_t count = c.size / recordSize;
    out.resize(count);
    for (std::size_t i = 0; i < count; ++i) decode(bytes.data() + i * recordSize, out[i]);
    return true;
}

void decodePreset(const std::uint8_t* p, SfPreset& r) {
    std::memcpy(r.name.data(), p, 20);
    r.program = u16(p + 20);
    r.bank = u16(p + 22);
    r.bag = u16(p + 24);
    r.library = u32(p + 26);
    r.genre = u32(p + 30);
    r.morphology = u32(p + 34);
}
void decodeBag(const std::uint8_t* p, SfBag& r) {
    r.generator = u16(p);
    r.modulator = u16(p + 2);
}
void decodeModulator(const std::uint8_t* p, SfModulator& r) {
    std::memcpy(r.bytes.data(), p, 10);
}
void decodeGenerator(const std::uint8_t* p, SfGenerator& r) {
    r.operation = u16(p);
    r.amount = u16(p + 2);
}
void decodeInstrument(const std::uint8_t* p, SfInstrument& r) {
    std::memcpy(r.name.data(), p, 20);
    r.bag = u16(p + 20);
}
void decodeSample(const std::uint8_t* p, SfSample& r) {
    std::memcpy(r.name.data(), p, 20);
    r.start = u32(p + 20);
    r.end = u32(p + 24);
    r.loopStart = u32(p + 28);
    r.loopEnd = u32(p + 32);
    r.rate = u32(p + 36);
    r.originalKey = p[40];
    r.correction = static_cast<std::int8_t>(p[41]);
    r.link = u16(p + 42);
    r.type = u16(p + 44);
}

// Headers (presets or instruments) whose bag ranges run in order within the bags, and bags
// whose generator and modulator ranges run in order within theirs.
template <typename Header>
bool zonesInOrder(const std::vector<Header>& headers, const std::vector<SfBag>& bags,
                  std::size_t generators, std::size_t modulators) {
    if (bags.empty()) return false;
    for (std::size_t i = 0; i + 1 < headers.size(); ++i) {
        if (headers[i].bag > headers[i + 1].bag) return false;
    }
    if (headers.back().bag >= bags.size()) return false;
    for (std::size_t i = 0; i + 1 < bags.size(); ++i) {
        if (bags[i].generator > bags[i + 1].generator || bags[i].modulator > bags[i + 1].modulator)
            return false;
    }
    return bags.back().generator <= generators && bags.back().modulator <= modulators;
}

// Every generator of this kind names an entry of a list of `count` real entries.
bool linksWithin(const std::vector<SfGenerator>& generators, std::uint16_t operation,
                 std::size_t count) {
    for (const SfGenerator& g : generators) {
        if (g.operation == operation && g.amount >= count) return false;
    }
    return true;
}

}  // namespace

std::optional<SoundFontTables> readSoundFontTables(const ByteSource& source) {
    std::uint8_t head[12];
    if (source.size() < 12 || !source.read(0, head, 12)) return std::nullopt;
    if (!is(reinterpret_cast<char*>(head), "RIFF") ||
        !is(reinterpret_cast<char*>(head + 8), "sfbk"))
        return std::nullopt;
    const std::uint64_t end = std::min<std::uint64_t>(8ull + u32(head + 4), source.size());
    std::vector<Chunk> lists;
    if (!chunksIn(source, 12, end, lists)) return std::nullopt;

    SoundFontTables t;
    bool version = false, samples = false;
    bool have[9] = {};  // each of the nine tables
    for (const Chunk& list : lists) {
        if (!is(list.id, "LIST")) continue;
        char type[4];
        std::vector<Chunk> subs;
        if (!listOf(source, list, type, subs)) return std::nullopt;
        for (const Chunk& c : subs) {
            if (is(type, "INFO") && is(c.id, "ifil")) {
                std::uint8_t v[4];
                if (c.size != 4 || !source.read(c.data, v, 4)) return std::nullopt;
                t.versionMajor = u16(v);
                t.versionMinor = u16(v + 2);
                version = true;
            } else if (is(type, "INFO") && is(c.id, "ICMT") && c.size <= kMaxComment) {
                std::string text(c.size, '\0');
                if (!source.read(c.data, text.data(), text.size())) return std::nullopt;
                t.comment = text.substr(0, text.find('\0'));
            } else if (is(type, "sdta") && is(c.id, "smpl")) {
                t.sampleOffset = c.data;
                t.sampleBytes = c.size;
                samples = true;
            } else if (is(type, "pdta")) {
                const auto read = [&](const char* name, std::size_t size, auto decode, auto& into,
                                      bool& found) {
                    if (!is(c.id, name)) return true;
                    found = true;
                    return table(source, c, size, decode, into);
                };
                if (!read("phdr", 38, decodePreset, t.presets, have[0]) ||
                    !read("pbag", 4, decodeBag, t.presetBags, have[1]) ||
                    !read("pmod", 10, decodeModulator, t.presetModulators, have[2]) ||
                    !read("pgen", 4, decodeGenerator, t.presetGenerators, have[3]) ||
                    !read("inst", 22, decodeInstrument, t.instruments, have[4]) ||
                    !read("ibag", 4, decodeBag, t.instrumentBags, have[5]) ||
                    !read("imod", 10, decodeModulator, t.instrumentModulators, have[6]) ||
                    !read("igen", 4, decodeGenerator, t.instrumentGenerators, have[7]) ||
                    !read("shdr", 46, decodeSample, t.samples, have[8]))
                    return std::nullopt;
            }
        }
    }
    for (bool h : have) {
        if (!h) return std::nullopt;
    }
    if (!version || !samples || (t.versionMajor != 2 && t.versionMajor != 3)) return std::nullopt;
    if (t.presets.size() < 2 || t.instruments.size() < 2 || t.samples.size() < 2)
        return std::nullopt;
    if (!zonesInOrder(t.presets, t.presetBags, t.presetGenerators.size(),
                      t.presetModulators.size()) ||
        !zonesInOrder(t.instruments, t.instrumentBags, t.instrumentGenerators.size(),
                      t.instrumentModulators.size()))
        return std::nullopt;
    if (!linksWithin(t.presetGenerators, kGenInstrument, t.instruments.size() - 1) ||
        !linksWithin(t.instrumentGenerators, kGenSampleId, t.samples.size() - 1))
        return std::nullopt;
    for (std::size_t i = 0; i + 1 < t.samples.size(); ++i) {
        const SfSample& s = t.samples[i];
        // Ogg Vorbis samples are placed in bytes, the others in 16-bit sample points.
        const std::uint64_t limit = (s.type & kSampleOggVorbis) ? t.sampleBytes : t.sampleBytes / 2;
        if (s.start > s.end || s.end > limit) return std::nullopt;
    }
    return t;
}

std::optional<FileSource> FileSource::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return FileSource(fd, static_cast<std::uint64_t>(st.st_size));
}

FileSource::FileSource(FileSource&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

FileSource::~FileSource() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileSource::read(std::uint64_t offset, void* into, std::size_t count) const {
    if (offset > size_ || count > size_ - offset) return false;
    auto* out = static_cast<char*>(into);
    while (count > 0) {
        const ssize_t n = ::pread(fd_, out, count, static_cast<off_t>(offset));
        if (n <= 0) return false;
        out += n;
        offset += static_cast<std::uint64_t>(n);
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool MemorySource::read(std::uint64_t offset, void* into, std::size_t count) const {
    if (offset > size_ || count > size_ - offset) return false;
    if (count == 0) return true;
    std::memcpy(into, data_ + offset, count);
    return true;
}

}  // namespace mxmidi
