#include "lean_soundfont.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>
#include <vector>

#include "vorbis_sample.h"

namespace mxmidi {
namespace {

constexpr const char* kCommentHeader = "MxMidi32 lean copy 1";
// The SoundFont format follows every sample with 46 sample points (zero, or whatever the file
// holds there) that an interpolating synthesiser may read past its end.
constexpr std::uint32_t kTailPoints = 46;
// One decoded sample holds at most this many points (six minutes at 44.1 kHz), and the copy's
// samples together this many bytes: a hostile stream cannot make the copy grow without bound.
constexpr std::size_t kMaxSamplePoints = std::size_t(1) << 24;
constexpr std::size_t kMaxSampleBytes = std::size_t(256) << 20;

class Writer {
public:
    void u8(std::uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void raw(const void* data, std::size_t size) {
        bytes_.append(static_cast<const char*>(data), size);
    }
    void id(const char* four) { raw(four, 4); }
    // A chunk holding `body`, padded to an even length.
    void chunk(const char* four, const std::string& body) {
        id(four);
        u32(static_cast<std::uint32_t>(body.size()));
        bytes_ += body;
        if (body.size() & 1) u8(0);
    }
    // A LIST chunk of this type holding `body` (its sub-chunks).
    void list(const char* type, const std::string& body) {
        chunk("LIST", std::string(type, 4) + body);
    }
    std::string& bytes() { return bytes_; }

private:
    std::string bytes_;
};

// A text chunk's body: the text, ended by a zero and padded to an even length with zeros.
std::string text(const std::string& s) {
    std::string body = s + '\0';
    if (body.size() & 1) body += '\0';
    return body;
}

std::string comment(const SoundFontStamp& stamp, const PresetSet& presets) {
    std::ostringstream out;
    out << kCommentHeader << '\n'
        << "source " << stamp.path << '\n'
        << "size " << stamp.size << '\n'
        << "modified " << stamp.modified << '\n'
        << "presets";
    for (const auto& [bank, program] : presets) out << ' ' << bank << ':' << program;
    out << '\n';
    return out.str();
}

// The zones (bags) of header `i`: [first, last).
template <typename Header>
std::pair<std::size_t, std::size_t> zonesOf(const std::vector<Header>& headers, std::size_t i) {
    return {headers[i].bag, headers[i + 1].bag};
}

// Copies the zones of one preset or instrument, renumbering the generator `link` (the
// instrument or sample it names) through `renumber`.
template <typename Header, typename Renumber>
void copyZones(const std::vector<Header>& headers, std::size_t i, const std::vector<SfBag>& bags,
               const std::vector<SfGenerator>& generators,
               const std::vector<SfModulator>& modulators, std::uint16_t link, Renumber renumber,
               std::vector<SfBag>& outBags, std::vector<SfGenerator>& outGenerators,
               std::vector<SfModulator>& outModulators) {
    const auto [first, last] = zonesOf(headers, i);
    for (std::size_t b = first; b < last; ++b) {
        outBags.push_back({static_cast<std::uint16_t>(outGenerators.size()),
                           static_cast<std::uint16_t>(outModulators.size())});
        for (std::size_t g = bags[b].generator; g < bags[b + 1].generator; ++g) {
            SfGenerator gen = generators[g];
            if (gen.operation == link) gen.amount = renumber(gen.amount);
            outGenerators.push_back(gen);
        }
        for (std::size_t m = bags[b].modulator; m < bags[b + 1].modulator; ++m)
            outModulators.push_back(modulators[m]);
    }
}

// The instruments or samples the zones of header `i` name through generator `link`, in order.
template <typename Header>
void linkedBy(const std::vector<Header>& headers, std::size_t i, const std::vector<SfBag>& bags,
              const std::vector<SfGenerator>& generators, std::uint16_t link,
              std::vector<std::uint16_t>& out) {
    const auto [first, last] = zonesOf(headers, i);
    for (std::size_t b = first; b < last; ++b) {
        for (std::size_t g = bags[b].generator; g < bags[b + 1].generator; ++g) {
            if (generators[g].operation == link &&
                std::find(out.begin(), out.end(), generators[g].amount) == out.end())
                out.push_back(generators[g].amount);
        }
    }
}

std::string presetTable(const std::vector<SfPreset>& presets) {
    Writer w;
    for (const SfPreset& p : presets) {
        w.raw(p.name.data(), 20);
        w.u16(p.program);
        w.u16(p.bank);
        w.u16(p.bag);
        w.u32(p.library);
        w.u32(p.genre);
        w.u32(p.morphology);
    }
    return w.bytes();
}
std::string bagTable(const std::vector<SfBag>& bags) {
    Writer w;
    for (const SfBag& b : bags) {
        w.u16(b.generator);
        w.u16(b.modulator);
    }
    return w.bytes();
}
std::string modulatorTable(const std::vector<SfModulator>& modulators) {
    Writer w;
    for (const SfModulator& m : modulators) w.raw(m.bytes.data(), m.bytes.size());
    return w.bytes();
}
std::string generatorTable(const std::vector<SfGenerator>& generators) {
    Writer w;
    for (const SfGenerator& g : generators) {
        w.u16(g.operation);
        w.u16(g.amount);
    }
    return w.bytes();
}
std::string instrumentTable(const std::vector<SfInstrument>& instruments) {
    Writer w;
    for (const SfInstrument& i : instruments) {
        w.raw(i.name.data(), 20);
        w.u16(i.bag);
    }
    return w.bytes();
}
std::string sampleTable(const std::vector<SfSample>& samples) {
    Writer w;
    for (const SfSample& s : samples) {
        w.raw(s.name.data(), 20);
        w.u32(s.start);
        w.u32(s.end);
        w.u32(s.loopStart);
        w.u32(s.loopEnd);
        w.u32(s.rate);
        w.u8(s.originalKey);
        w.u8(static_cast<std::uint8_t>(s.correction));
        w.u16(s.link);
        w.u16(s.type);
    }
    return w.bytes();
}

template <std::size_t N>
std::array<char, N> named(const char* name) {
    std::array<char, N> out{};
    std::copy_n(name, std::min(N, std::char_traits<char>::length(name)), out.begin());
    return out;
}

// A loop point of a sample copied to `start`, from its place `offset` points after the
// sample's start in the source; kept within the copy's points.
std::uint32_t movedPoint(std::uint32_t start, std::int64_t offset, std::uint32_t points) {
    return start + static_cast<std::uint32_t>(std::clamp<std::int64_t>(offset, 0, points));
}

}  // namespace

std::string leanSoundFontFile(const std::string& soundFontPath) {
    return soundFontCacheFile(soundFontPath, "lean", ".sf2");
}

std::optional<PresetSet> leanSoundFontPresets(const std::string& leanFile,
                                              const SoundFontStamp& stamp) {
    if (leanFile.empty()) return std::nullopt;
    const auto file = FileSource::open(leanFile);
    if (!file) return std::nullopt;
    const auto tables = readSoundFontTables(*file);
    if (!tables) return std::nullopt;
    std::istringstream in(tables->comment);
    std::string line;
    if (!std::getline(in, line) || line != kCommentHeader) return std::nullopt;
    SoundFontStamp found;
    if (!std::getline(in, line) || line.rfind("source ", 0) != 0) return std::nullopt;
    found.path = line.substr(7);
    std::string word;
    if (!(in >> word >> found.size) || word != "size") return std::nullopt;
    if (!(in >> word >> found.modified) || word != "modified") return std::nullopt;
    if (!(in >> word) || word != "presets") return std::nullopt;
    if (!(found == stamp)) return std::nullopt;
    PresetSet presets;
    int bank = 0, program = 0;
    char colon = 0;
    while (in >> bank >> colon >> program) {
        if (colon != ':') return std::nullopt;
        presets.insert({bank, program});
    }
    return presets;
}

std::optional<std::string> buildLeanSoundFont(const ByteSource& source, const SoundFontTables& t,
                                              const SoundFontStamp& stamp,
                                              const PresetSet& presets) {
    // The presets asked for, each once (a file that holds one twice plays the first).
    std::vector<std::size_t> chosen;
    PresetSet found;
    for (std::size_t i = 0; i + 1 < t.presets.size(); ++i) {
        const std::pair<int, int> id{t.presets[i].bank, t.presets[i].program};
        if (presets.count(id) != 0 && found.insert(id).second) chosen.push_back(i);
    }
    if (chosen.empty()) return std::nullopt;

    std::vector<std::uint16_t> instruments, samples;
    for (std::size_t p : chosen)
        linkedBy(t.presets, p, t.presetBags, t.presetGenerators, kGenInstrument, instruments);
    for (std::uint16_t i : instruments)
        linkedBy(t.instruments, i, t.instrumentBags, t.instrumentGenerators, kGenSampleId, samples);
    // Stereo pairs name each other: both halves are kept.
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const SfSample& s = t.samples[samples[k]];
        const bool paired = (s.type & 0x6) != 0;
        if (paired && s.link + 1u < t.samples.size() &&
            std::find(samples.begin(), samples.end(), s.link) == samples.end())
            samples.push_back(s.link);
    }
    if (instruments.empty() || samples.empty()) return std::nullopt;  // nothing that sounds
    std::map<std::uint16_t, std::uint16_t> instrumentIndex, sampleIndex;
    for (std::size_t k = 0; k < instruments.size(); ++k)
        instrumentIndex[instruments[k]] = static_cast<std::uint16_t>(k);
    for (std::size_t k = 0; k < samples.size(); ++k)
        sampleIndex[samples[k]] = static_cast<std::uint16_t>(k);

    SoundFontTables out;
    for (std::size_t p : chosen) {
        SfPreset header = t.presets[p];
        header.bag = static_cast<std::uint16_t>(out.presetBags.size());
        out.presets.push_back(header);
        copyZones(
            t.presets, p, t.presetBags, t.presetGenerators, t.presetModulators, kGenInstrument,
            [&](std::uint16_t i) { return instrumentIndex.at(i); }, out.presetBags,
            out.presetGenerators, out.presetModulators);
    }
    for (std::uint16_t i : instruments) {
        SfInstrument header = t.instruments[i];
        header.bag = static_cast<std::uint16_t>(out.instrumentBags.size());
        out.instruments.push_back(header);
        copyZones(
            t.instruments, i, t.instrumentBags, t.instrumentGenerators, t.instrumentModulators,
            kGenSampleId, [&](std::uint16_t s) { return sampleIndex.at(s); }, out.instrumentBags,
            out.instrumentGenerators, out.instrumentModulators);
    }
    // The tables' counts are 16-bit: a copy that would not fit is not made.
    if (out.presetBags.size() >= 0xFFFF || out.presetGenerators.size() >= 0xFFFF ||
        out.presetModulators.size() >= 0xFFFF || out.instrumentBags.size() >= 0xFFFF ||
        out.instrumentGenerators.size() >= 0xFFFF || out.instrumentModulators.size() >= 0xFFFF)
        return std::nullopt;
    // Each list ends with its terminal record.
    SfPreset endPresets;
    endPresets.name = named<20>("EOP");
    endPresets.bag = static_cast<std::uint16_t>(out.presetBags.size());
    out.presets.push_back(endPresets);
    out.presetBags.push_back({static_cast<std::uint16_t>(out.presetGenerators.size()),
                              static_cast<std::uint16_t>(out.presetModulators.size())});
    out.presetGenerators.push_back({});
    out.presetModulators.push_back({});
    SfInstrument endInstruments;
    endInstruments.name = named<20>("EOI");
    endInstruments.bag = static_cast<std::uint16_t>(out.instrumentBags.size());
    out.instruments.push_back(endInstruments);
    out.instrumentBags.push_back({static_cast<std::uint16_t>(out.instrumentGenerators.size()),
                                  static_cast<std::uint16_t>(out.instrumentModulators.size())});
    out.instrumentGenerators.push_back({});
    out.instrumentModulators.push_back({});

    // The samples' points, one after another, each followed by its 46 points.
    std::vector<std::int16_t> points;
    for (std::uint16_t index : samples) {
        SfSample s = t.samples[index];
        const auto start = static_cast<std::uint32_t>(points.size());
        if (s.type & 0x8000) {  // in a sound card's memory: not in the file, never played
            s.start = s.end = s.loopStart = s.loopEnd = start;
        } else if (s.type & kSampleOggVorbis) {
            std::vector<std::uint8_t> stream(s.end - s.start);
            if (!source.read(t.sampleOffset + s.start, stream.data(), stream.size()))
                return std::nullopt;
            if (points.size() + kTailPoints >= kMaxSampleBytes / 2) return std::nullopt;
            const std::size_t room = kMaxSampleBytes / 2 - points.size() - kTailPoints;
            auto decoded =
                decodeVorbisSample(stream.data(), stream.size(), std::min(kMaxSamplePoints, room));
            if (!decoded) return std::nullopt;
            const auto count = static_cast<std::uint32_t>(decoded->size());
            points.insert(points.end(), decoded->begin(), decoded->end());
            points.resize(points.size() + kTailPoints, 0);
            // An SF3 sample's loop is placed from the start of its own decoded points.
            s.loopStart = movedPoint(start, s.loopStart, count);
            s.loopEnd = movedPoint(start, s.loopEnd, count);
            s.start = start;
            s.end = start + count;
            s.type = static_cast<std::uint16_t>(s.type & ~kSampleOggVorbis);
        } else {
            const std::uint32_t count = s.end - s.start;
            // The points after the end, as the source holds them (a loop may reach into them).
            const std::uint64_t available = t.sampleBytes / 2 - s.start;
            const auto copied = static_cast<std::size_t>(
                std::min<std::uint64_t>(count + std::uint64_t{kTailPoints}, available));
            const std::size_t at = points.size();
            if (at + count + kTailPoints > kMaxSampleBytes / 2) return std::nullopt;
            points.resize(at + count + kTailPoints, 0);
            if (!source.read(t.sampleOffset + 2ull * s.start, points.data() + at, 2 * copied))
                return std::nullopt;
            s.loopStart =
                movedPoint(start, std::int64_t{s.loopStart} - s.start, count + kTailPoints);
            s.loopEnd = movedPoint(start, std::int64_t{s.loopEnd} - s.start, count + kTailPoints);
            s.start = start;
            s.end = start + count;
        }
        const auto link = sampleIndex.find(s.link);
        s.link = link != sampleIndex.end() ? link->second : sampleIndex.at(index);
        out.samples.push_back(s);
    }
    SfSample endSamples;
    endSamples.name = named<20>("EOS");
    out.samples.push_back(endSamples);

    Writer info, sdta, pdta, file;
    Writer version;
    version.u16(2);
    version.u16(1);
    info.chunk("ifil", version.bytes());
    info.chunk("isng", text("EMU8000"));
    info.chunk("INAM", text("MxMidi32 lean copy"));
    info.chunk("ICMT", text(comment(stamp, found)));
    std::string smpl(points.size() * 2, '\0');
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto v = static_cast<std::uint16_t>(points[i]);
        smpl[2 * i] = static_cast<char>(v & 0xFF);
        smpl[2 * i + 1] = static_cast<char>(v >> 8);
    }
    sdta.chunk("smpl", smpl);
    smpl.clear();
    pdta.chunk("phdr", presetTable(out.presets));
    pdta.chunk("pbag", bagTable(out.presetBags));
    pdta.chunk("pmod", modulatorTable(out.presetModulators));
    pdta.chunk("pgen", generatorTable(out.presetGenerators));
    pdta.chunk("inst", instrumentTable(out.instruments));
    pdta.chunk("ibag", bagTable(out.instrumentBags));
    pdta.chunk("imod", modulatorTable(out.instrumentModulators));
    pdta.chunk("igen", generatorTable(out.instrumentGenerators));
    pdta.chunk("shdr", sampleTable(out.samples));
    Writer body;
    body.id("sfbk");
    body.list("INFO", info.bytes());
    body.list("sdta", sdta.bytes());
    body.list("pdta", pdta.bytes());
    file.chunk("RIFF", body.bytes());
    return std::move(file.bytes());
}

bool writeLeanSoundFont(const SoundFontStamp& stamp, const PresetSet& presets,
                        const std::string& leanFile) {
    if (leanFile.empty()) return false;
    const auto source = FileSource::open(stamp.path);
    if (!source) return false;
    const auto tables = readSoundFontTables(*source);
    if (!tables) return false;
    const auto bytes = buildLeanSoundFont(*source, *tables, stamp, presets);
    std::string error;
    return bytes && replaceFile(leanFile, *bytes, error);
}

}  // namespace mxmidi
