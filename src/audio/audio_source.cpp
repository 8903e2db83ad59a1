#include "audio_source.h"

int mixedSample(const std::uint8_t* data, int channels, int bitsPerSample, int i) {
    if (channels == 1 && bitsPerSample == 8) return data[i] * 64 - 8192;
    if (channels == 1 && bitsPerSample == 16) return sample16(data, i);
    if (channels == 2 && bitsPerSample == 8) return (data[2 * i] + data[2 * i + 1]) * 128 - 32768;
    if (channels == 2 && bitsPerSample == 16)
        return (sample16(data, 2 * i) + sample16(data, 2 * i + 1)) / 2;
    return data[i];
}
