#pragma once
// A small SoundFont 2 file built by hand for the tests of the SoundFont reader and the lean
// copy: three presets, each with its own instrument, and four samples whose points tell them
// apart.
//   preset (0, 24) "Nylon": a global zone (attenuation) and a zone of instrument 0 with a
//                           modulator; instrument 0 plays sample 0 (mono, 100 points, looped)
//   preset (0, 27) "Clean": instrument 1, a stereo pair: samples 1 (left) and 2 (right)
//   preset (0, 19) "Organ": instrument 2, sample 3
// Sample s holds the points 1000 * (s + 1) + i.

#include <cstdint>
#include <string>
#include <vector>

namespace tinysf {

struct Bytes {
    std::string b;
    void u8(unsigned v) { b.push_back(static_cast<char>(v & 0xFF)); }
    void u16(unsigned v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void name(const char* s) {
        std::string n(s);
        n.resize(20, '\0');
        b += n;
    }
    void chunk(const char* id, const std::string& body) {
        b.append(id, 4);
        u32(static_cast<std::uint32_t>(body.size()));
        b += body;
        if (body.size() & 1) u8(0);
    }
    void list(const char* type, const std::string& body) {
        chunk("LIST", std::string(type, 4) + body);
    }
};

inline constexpr int kSamplePoints[4] = {100, 80, 80, 60};

inline int pointOf(int sample, int i) {
    return 1000 * (sample + 1) + i;
}

inline std::string build() {
    Bytes info, sdta, pdta, phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr, smpl;
    // Samples, each followed by 46 zero points.
    std::vector<std::uint32_t> starts;
    std::uint32_t at = 0;
    for (int s = 0; s < 4; ++s) {
        starts.push_back(at);
        for (int i = 0; i < kSamplePoints[s]; ++i) smpl.u16(static_cast<unsigned>(pointOf(s, i)));
        for (int i = 0; i < 46; ++i) smpl.u16(0);
        at += static_cast<std::uint32_t>(kSamplePoints[s] + 46);
    }
    const char* sampleNames[4] = {"nylon", "clean L", "clean R", "organ"};
    const unsigned types[4] = {1, 4, 2, 1};
    const unsigned links[4] = {0, 2, 1, 0};
    for (int s = 0; s < 4; ++s) {
        shdr.name(sampleNames[s]);
        shdr.u32(starts[s]);
        shdr.u32(starts[s] + static_cast<std::uint32_t>(kSamplePoints[s]));
        shdr.u32(starts[s] + 10);  // loop
        shdr.u32(starts[s] + 50);
        shdr.u32(44100);
        shdr.u8(60);
        shdr.u8(0);
        shdr.u16(links[s]);
        shdr.u16(types[s]);
    }
    shdr.name("EOS");
    for (int i = 0; i < 26; ++i) shdr.u8(0);

    // Instruments: 0 -> sample 0; 1 -> samples 1 and 2 (two zones); 2 -> sample 3.
    const std::vector<std::vector<int>> instrumentSamples = {{0}, {1, 2}, {3}};
    const char* instrumentNames[3] = {"Nylon", "Clean", "Organ"};
    int bag = 0, gen = 0;
    for (int i = 0; i < 3; ++i) {
        inst.name(instrumentNames[i]);
        inst.u16(static_cast<unsigned>(bag));
        for (int s : instrumentSamples[static_cast<std::size_t>(i)]) {
            ibag.u16(static_cast<unsigned>(gen));
            ibag.u16(0);
            igen.u16(17);  // pan
            igen.u16(s == 1 ? 0xFE0C : s == 2 ? 500 : 0);
            igen.u16(53);  // sampleID, last in its zone
            igen.u16(static_cast<unsigned>(s));
            gen += 2;
            ++bag;
        }
    }
    inst.name("EOI");
    inst.u16(static_cast<unsigned>(bag));
    ibag.u16(static_cast<unsigned>(gen));
    ibag.u16(0);
    igen.u32(0);
    for (int i = 0; i < 10; ++i) imod.u8(0);

    // Presets, in another order than their programs.
    struct P {
        const char* name;
        int program, instrument;
    };
    const P presets[3] = {{"Organ", 19, 2}, {"Nylon", 24, 0}, {"Clean", 27, 1}};
    bag = gen = 0;
    int mod = 0;
    for (const P& p : presets) {
        phdr.name(p.name);
        phdr.u16(static_cast<unsigned>(p.program));
        phdr.u16(0);
        phdr.u16(static_cast<unsigned>(bag));
        phdr.u32(0);
        phdr.u32(0);
        phdr.u32(0);
        if (p.program == 24) {  // a global zone first
            pbag.u16(static_cast<unsigned>(gen));
            pbag.u16(static_cast<unsigned>(mod));
            pgen.u16(48);  // initial attenuation
            pgen.u16(20);
            ++gen;
            ++bag;
        }
        pbag.u16(static_cast<unsigned>(gen));
        pbag.u16(static_cast<unsigned>(mod));
        if (p.program == 24) {  // velocity to attenuation, a little more
            pmod.u16(0x0502);
            pmod.u16(48);
            pmod.u16(30);
            pmod.u16(0);
            pmod.u16(0);
            ++mod;
        }
        pgen.u16(41);  // instrument, last in its zone
        pgen.u16(static_cast<unsigned>(p.instrument));
        ++gen;
        ++bag;
    }
    phdr.name("EOP");
    phdr.u16(0);
    phdr.u16(0);
    phdr.u16(static_cast<unsigned>(bag));
    phdr.u32(0);
    phdr.u32(0);
    phdr.u32(0);
    pbag.u16(static_cast<unsigned>(gen));
    pbag.u16(static_cast<unsigned>(mod));
    pgen.u32(0);
    for (int i = 0; i < 10; ++i) pmod.u8(0);

    Bytes version;
    version.u16(2);
    version.u16(1);
    info.chunk("ifil", version.b);
    info.chunk("isng", std::string("EMU8000\0", 8));
    info.chunk("INAM", std::string("Tiny\0\0", 6));
    sdta.chunk("smpl", smpl.b);
    pdta.chunk("phdr", phdr.b);
    pdta.chunk("pbag", pbag.b);
    pdta.chunk("pmod", pmod.b);
    pdta.chunk("pgen", pgen.b);
    pdta.chunk("inst", inst.b);
    pdta.chunk("ibag", ibag.b);
    pdta.chunk("imod", imod.b);
    pdta.chunk("igen", igen.b);
    pdta.chunk("shdr", shdr.b);
    Bytes body, file;
    body.b = "sfbk";
    body.list("INFO", info.b);
    body.list("sdta", sdta.b);
    body.list("pdta", pdta.b);
    file.chunk("RIFF", body.b);
    return file.b;
}

}  // namespace tinysf
