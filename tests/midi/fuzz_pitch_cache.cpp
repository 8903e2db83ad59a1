// The pitch cache reader on arbitrary text: it must answer Applies, Other or Damaged and never
// read past its input, crash or keep half of a damaged file.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "pitch_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const mxmidi::SoundFontStamp stamp{"/usr/share/sounds/sf2/TimGM6mb.sf2", 5969788, 1};
    mxmidi::CorrectionTable table;
    const mxmidi::CacheState state = mxmidi::readPitchCache(in, stamp, table);
    if (state != mxmidi::CacheState::Applies && !table.empty()) __builtin_trap();
    return 0;
}
