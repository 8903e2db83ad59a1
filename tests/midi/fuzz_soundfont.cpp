// The SoundFont reader and the lean copy built from what it read, on arbitrary bytes: the reader
// either refuses the file or hands on tables whose every index and range holds, so that the copy
// of any of its presets is built without reading past the input, and reads back as a SoundFont.
#include <cstddef>
#include <cstdint>

#include "lean_soundfont.h"
#include "soundfont_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const mxmidi::MemorySource source(data, size);
    const auto tables = mxmidi::readSoundFontTables(source);
    if (!tables) return 0;
    // The first few presets the file names, as the synthesiser would ask for them.
    mxmidi::PresetSet presets;
    for (std::size_t i = 0; i + 1 < tables->presets.size() && presets.size() < 4; ++i)
        presets.insert({tables->presets[i].bank, tables->presets[i].program});
    const mxmidi::SoundFontStamp stamp{"/fuzz.sf2", static_cast<long long>(size), 1};
    const auto copy = mxmidi::buildLeanSoundFont(source, *tables, stamp, presets);
    if (!copy) return 0;
    const mxmidi::MemorySource back(reinterpret_cast<const std::uint8_t*>(copy->data()),
                                    copy->size());
    if (!mxmidi::readSoundFontTables(back)) __builtin_trap();
    return 0;
}
