#pragma once
// The parts of a SoundFont 2 (or SF3, its variant with Ogg Vorbis compressed samples) file that
// say what its presets are made of: the preset, instrument and sample tables ("pdta"), where the
// sample data lies ("smpl"), and the file's comment. The sample data itself is not read. Every
// count, index and offset is checked against the file: a damaged or hostile file is refused,
// never half read.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mxmidi {

// Where the bytes of a SoundFont come from (a file, or memory in tests and the fuzzer).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads `count` bytes at `offset`; false when they are not all there.
    virtual bool read(std::uint64_t offset, void* into, std::size_t count) const = 0;
};

// Generator numbers that link the tables.
inline constexpr std::uint16_t kGenInstrument = 41;
inline constexpr std::uint16_t kGenSampleId = 53;
// Sample type flag of an Ogg Vorbis compressed sample (SF3).
inline constexpr std::uint16_t kSampleOggVorbis = 0x10;

struct SfPreset {
    std::array<char, 20> name{};
    std::uint16_t program = 0, bank = 0, bag = 0;
    std::uint32_t library = 0, genre = 0, morphology = 0;
};
struct SfBag {
    std::uint16_t generator = 0, modulator = 0;
};
struct SfModulator {
    std::array<std::uint8_t, 10> bytes{};  // kept as they are
};
struct SfGenerator {
    std::uint16_t operation = 0, amount = 0;
};
struct SfInstrument {
    std::array<char, 20> name{};
    std::uint16_t bag = 0;
};
struct SfSample {
    std::array<char, 20> name{};
    std::uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0, rate = 0;
    std::uint8_t originalKey = 0;
    std::int8_t correction = 0;
    std::uint16_t link = 0, type = 0;
};

// The tables as the file holds them, the terminal record of each list included (the SoundFont
// format closes every list with one, whose indices end the last real entry).
struct SoundFontTables {
    std::uint16_t versionMajor = 0, versionMinor = 0;
    std::string comment;             // ICMT, empty when absent
    std::uint64_t sampleOffset = 0;  // where the smpl data begins in the file
    std::uint64_t sampleBytes = 0;   // and its length
    std::vector<SfPreset> presets;
    std::vector<SfBag> presetBags;
    std::vector<SfModulator> presetModulators;
    std::vector<SfGenerator> presetGenerators;
    std::vector<SfInstrument> instruments;
    std::vector<SfBag> instrumentBags;
    std::vector<SfModulator> instrumentModulators;
    std::vector<SfGenerator> instrumentGenerators;
    std::vector<SfSample> samples;
};

// The tables of the SoundFont, checked to be consistent: every bag range within its list and
// in order, every instrument and sample a zone names present. Nothing when the file is not a
// SoundFont or any of that does not hold.
std::optional<SoundFontTables> readSoundFontTables(const ByteSource& source);

// A file as a byte source; nothing when it cannot be opened.
class FileSource final : public ByteSource {
public:
    static std::optional<FileSource> open(const std::string& path);
    FileSource(FileSource&& other) noexcept;
    FileSource& operator=(FileSource&&) = delete;
    ~FileSource() override;
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* into, std::size_t count) const override;

private:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// Bytes in memory as a byte source.
class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* into, std::size_t count) const override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace mxmidi
