#pragma once
// The samples of an SF3 SoundFont are Ogg Vorbis streams; this decodes one, once, to the 16-bit
// sample points a SoundFont 2 file holds, through libsndfile (which FluidSynth itself uses for
// them).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace mxmidi {

// The mono 16-bit sample points of the Ogg Vorbis stream in `data`; nothing when it is not one,
// is not mono, or would decode to more than `maxFrames` points.
std::optional<std::vector<std::int16_t>> decodeVorbisSample(const std::uint8_t* data,
                                                            std::size_t size,
                                                            std::size_t maxFrames);

}  // namespace mxmidi
