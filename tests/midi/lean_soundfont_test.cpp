// The SoundFont reader and the lean copy made from it: on a small SoundFont built by hand (what
// the copy holds, to the point), on damaged files (refused, never half read), and on the
// installed GM SoundFonts (the copy sounds exactly as the whole file, SF3 included).

#include "lean_soundfont.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "lean_copy_keeper.h"
#include "soundfont_file.h"
#include "tiny_soundfont.h"

namespace {

using mxmidi::MemorySource;
using mxmidi::PresetSet;
using mxmidi::SoundFontTables;

const mxmidi::SoundFontStamp kStamp{"/fonts/tiny.sf2", 1234, 5678};

std::optional<SoundFontTables> tablesOf(const std::string& bytes) {
    return mxmidi::readSoundFontTables(
        MemorySource(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string leanCopy(const std::string& source, const PresetSet& presets) {
    const MemorySource in(reinterpret_cast<const std::uint8_t*>(source.data()), source.size());
    const auto tables = mxmidi::readSoundFontTables(in);
    if (!tables) return {};
    return mxmidi::buildLeanSoundFont(in, *tables, kStamp, presets).value_or("");
}

// The 16-bit point `i` of the copy's smpl data.
int pointAt(const std::string& file, const SoundFontTables& t, std::uint32_t i) {
    const auto at = static_cast<std::size_t>(t.sampleOffset + 2 * i);
    return static_cast<std::int16_t>(static_cast<unsigned char>(file[at]) |
                                     static_cast<unsigned char>(file[at + 1]) << 8);
}

std::string name(const std::array<char, 20>& n) {
    return std::string(n.data(), strnlen(n.data(), 20));
}

// The first second of a key of a preset, rendered by FluidSynth from a file.
std::vector<float> render(const std::string& font, int program, int key) {
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", 48000);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
    fluid_synth_t* synth = new_fluid_synth(settings);
    std::vector<float> left(48000), right(48000);
    const int id = fluid_synth_sfload(synth, font.c_str(), 0);
    if (id == FLUID_FAILED || fluid_synth_program_select(synth, 0, id, 0, program) != FLUID_OK) {
        left.clear();
    } else {
        fluid_synth_noteon(synth, 0, key, 127);
        fluid_synth_write_float(synth, 48000, left.data(), 0, 1, right.data(), 0, 1);
        left.insert(left.end(), right.begin(), right.end());
    }
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return left;
}

class TemporaryCache {
public:
    TemporaryCache() {
        char pattern[] = "/tmp/lean-soundfont-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) path_ = pattern;
        ::setenv("XDG_CACHE_HOME", path_.c_str(), 1);
    }
    ~TemporaryCache() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

TEST(SoundFontFile, ReadsTheTablesOfAWellFormedFile) {
    const auto t = tablesOf(tinysf::build());
    ASSERT_TRUE(t);
    EXPECT_EQ(t->versionMajor, 2);
    ASSERT_EQ(t->presets.size(), 4u);  // and the terminal record
    EXPECT_EQ(name(t->presets[1].name), "Nylon");
    EXPECT_EQ(t->presets[1].program, 24);
    EXPECT_EQ(t->instruments.size(), 4u);
    ASSERT_EQ(t->samples.size(), 5u);
    EXPECT_EQ(t->samples[1].type, 4);
    EXPECT_EQ(t->samples[1].link, 2);
}

// Cut short anywhere, or with any one table entry pointing outside its list, the file is
// refused as a whole; the reader never reads past what it was given (the sanitizer build and
// the fuzzer check that part).
TEST(SoundFontFile, DamagedFilesAreRefusedNeverHalfRead) {
    const std::string good = tinysf::build();
    for (std::size_t size = 0; size < good.size(); size += 7) {
        EXPECT_FALSE(tablesOf(good.substr(0, size))) << "cut at " << size;
    }
    const auto t = tablesOf(good);
    ASSERT_TRUE(t);
    // Each of these: offset of a 16- or 32-bit field in the file, and a value out of range.
    const std::size_t phdr = good.find("phdr") + 8, igen = good.find("igen") + 8,
                      pgen = good.find("pgen") + 8, shdr = good.find("shdr") + 8,
                      pbag = good.find("pbag") + 8;
    struct Damage {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        int bytes;
    };
    const Damage damages[] = {
        {"a preset's zones past the bag list", phdr + 24, 200, 2},
        {"presets' zones out of order", phdr + 38 + 24, 0xFFF, 2},
        {"a zone naming an instrument that is not there", pgen + 4 * 2 + 2, 3, 2},
        {"a zone naming a sample that is not there", igen + 2 + 4, 4, 2},
        {"a bag's generators past the list", pbag + 4 * 4, 100, 2},
        {"a sample ending past the sample data", shdr + 24, 1u << 30, 4},
        {"a sample ending before it starts", shdr + 46 + 20, 1u << 20, 4},
    };
    for (const Damage& d : damages) {
        std::string bad = good;
        for (int b = 0; b < d.bytes; ++b)
            bad[d.at + static_cast<std::size_t>(b)] = static_cast<char>(d.value >> (8 * b));
        EXPECT_FALSE(tablesOf(bad)) << d.what;
    }
    std::string oversized = good;
    oversized[good.find("pdta") - 4] = '\x7F';  // the pdta list runs past the file
    EXPECT_FALSE(tablesOf(oversized));
    EXPECT_FALSE(tablesOf(std::string("RIFF\x04\0\0\0sfbk", 12)));
}

// The copy of two presets holds those presets with exactly their zones, generators and
// modulators, their instruments renumbered, and only their samples, whose points and loops come
// over unchanged (a stereo pair with both halves, still naming each other).
TEST(LeanSoundFont, HoldsThePresetsAskedForAndOnlyTheirSamples) {
    const std::string source = tinysf::build();
    const std::string copy = leanCopy(source, {{0, 24}, {0, 27}, {0, 99}});
    ASSERT_FALSE(copy.empty());
    const auto t = tablesOf(copy);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->presets.size(), 3u);
    EXPECT_EQ(t->presets[0].program, 24);
    EXPECT_EQ(t->presets[1].program, 27);
    // Nylon: its global zone (attenuation 20) and its instrument zone with the modulator.
    ASSERT_EQ(t->presets[1].bag - t->presets[0].bag, 2);
    EXPECT_EQ(t->presetGenerators[0].operation, 48);
    EXPECT_EQ(t->presetGenerators[0].amount, 20);
    EXPECT_EQ(t->presetModulators.size(), 2u);  // and the terminal one
    EXPECT_EQ(t->presetModulators[0].bytes[2], 48);
    ASSERT_EQ(t->instruments.size(), 3u);
    EXPECT_EQ(name(t->instruments[0].name), "Nylon");
    EXPECT_EQ(name(t->instruments[1].name), "Clean");
    ASSERT_EQ(t->samples.size(), 4u);  // nylon, clean L, clean R; not the organ
    EXPECT_EQ(name(t->samples[0].name), "nylon");
    EXPECT_EQ(t->samples[1].link, 2);
    EXPECT_EQ(t->samples[2].link, 1);
    for (int s = 0; s < 3; ++s) {
        const mxmidi::SfSample& c = t->samples[static_cast<std::size_t>(s)];
        SCOPED_TRACE(s);
        EXPECT_EQ(static_cast<int>(c.end - c.start), tinysf::kSamplePoints[s]);
        EXPECT_EQ(c.loopStart - c.start, 10u);
        EXPECT_EQ(c.loopEnd - c.start, 50u);
        for (std::uint32_t i = 0; i < c.end - c.start; i += 9)
            EXPECT_EQ(pointAt(copy, *t, c.start + i), tinysf::pointOf(s, static_cast<int>(i)));
        EXPECT_EQ(pointAt(copy, *t, c.end), 0);  // followed by its 46 points
    }
    // The instruments' zones name the copy's own samples.
    std::vector<int> named;
    for (const auto& g : t->instrumentGenerators)
        if (g.operation == mxmidi::kGenSampleId) named.push_back(g.amount);
    EXPECT_EQ(named, (std::vector<int>{0, 1, 2}));

    EXPECT_TRUE(leanCopy(source, {{0, 99}, {1, 24}}).empty());  // none of them there
}

TEST(LeanSoundFont, ACopyAppliesOnlyToTheFileItWasMadeFrom) {
    TemporaryCache cache;
    const std::string file = cache.path() + "/copy.sf2";
    std::ofstream(file, std::ios::binary) << leanCopy(tinysf::build(), {{0, 27}, {0, 24}});
    EXPECT_EQ(mxmidi::leanSoundFontPresets(file, kStamp), (PresetSet{{0, 24}, {0, 27}}));
    for (int which = 0; which < 3; ++which) {
        mxmidi::SoundFontStamp other = kStamp;
        if (which == 0) other.size += 1;
        if (which == 1) other.modified += 1;
        if (which == 2) other.path += "x";
        EXPECT_FALSE(mxmidi::leanSoundFontPresets(file, other)) << which;
    }
    std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
    EXPECT_FALSE(mxmidi::leanSoundFontPresets(file, kStamp));
    EXPECT_FALSE(mxmidi::leanSoundFontPresets(cache.path() + "/absent.sf2", kStamp));
    EXPECT_EQ(mxmidi::leanSoundFontFile("/a/font.sf2").rfind(cache.path() + "/tessarin/lean-", 0),
              0u);
}

// Played presets reach the copy once the choice has held; played again, nothing changes.
TEST(LeanCopyKeeper, WritesThePlayedPresetsOnceTheyHaveHeld) {
    TemporaryCache cache;
    const std::string font = cache.path() + "/tiny.sf2";
    std::ofstream(font, std::ios::binary) << tinysf::build();
    const auto stamp = mxmidi::stampSoundFont(font);
    ASSERT_TRUE(stamp);
    const std::string copy = mxmidi::leanSoundFontFile(stamp->path);
    {
        mxmidi::LeanCopyKeeper keeper(*stamp, copy, {}, std::chrono::milliseconds(300));
        keeper.played(0, 27);
        keeper.played(0, 24);
        EXPECT_FALSE(std::filesystem::exists(copy));  // not before the choice has held
        for (int i = 0; i < 100 && keeper.inCopy().size() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(keeper.inCopy(), (PresetSet{{0, 24}, {0, 27}}));
        EXPECT_EQ(mxmidi::leanSoundFontPresets(copy, *stamp), (PresetSet{{0, 24}, {0, 27}}));
    }
    const auto written = std::filesystem::last_write_time(copy);
    mxmidi::LeanCopyKeeper keeper(*stamp, copy, {{0, 24}, {0, 27}}, std::chrono::milliseconds(50));
    keeper.played(0, 24);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(std::filesystem::last_write_time(copy), written);
}

// With each installed GM SoundFont, the copy of the tuner's two guitars renders exactly as the
// whole file does, sample for sample (an SF3's samples decoded as FluidSynth decodes them), in
// a small part of its size.
TEST(LeanSoundFont, SoundsExactlyAsTheWholeSoundFont) {
    int tried = 0;
    for (const char* font :
         {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
          "/usr/share/sounds/sf3/MuseScore_General_Full.sf3"}) {
        if (!std::filesystem::exists(font)) continue;
        ++tried;
        SCOPED_TRACE(font);
        TemporaryCache cache;
        const auto stamp = mxmidi::stampSoundFont(font);
        ASSERT_TRUE(stamp);
        const std::string copy = cache.path() + "/copy.sf2";
        ASSERT_TRUE(mxmidi::writeLeanSoundFont(*stamp, {{0, 24}, {0, 27}}, copy));
        EXPECT_LT(std::filesystem::file_size(copy), std::filesystem::file_size(font) / 2);
        for (int program : {24, 27}) {
            for (int key : {28, 40, 64}) {
                const auto whole = render(font, program, key);
                const auto lean = render(copy, program, key);
                ASSERT_FALSE(lean.empty());
                EXPECT_TRUE(whole == lean) << "program " << program << ", key " << key;
            }
        }
        EXPECT_TRUE(render(copy, 19, 60).empty());  // the organ is not in the copy
    }
    if (tried == 0) GTEST_SKIP() << "no GM SoundFont installed";
}
