#include "audio_line_parameters.h"

#include <cstdint>

void TWaveInDeviceID::setId(int value) {
    if (value == id_) return;
    id_ = value;
    Changed();
}

void TWaveInDeviceID::Changed() {
    if (OnChange) OnChange(this);
}

void TWaveInDeviceID::Assign(const TPersistent& source) {
    if (const auto* other = dynamic_cast<const TWaveInDeviceID*>(&source)) setId(other->id_);
}

void TAudioLineParameters::write(int& field, int value) {
    if (value == field) return;
    field = value;
    Changed();
}

void TAudioLineParameters::setChannels(int value) {
    write(channels_, value);
}
void TAudioLineParameters::setFrequency(int value) {
    write(frequency_, value);
}
void TAudioLineParameters::setBitsPerSample(int value) {
    write(bits_, value);
}

void TAudioLineParameters::Changed() {
    if (OnChange) OnChange(this);
}

void TAudioLineParameters::Assign(const TPersistent& source) {
    const auto* other = dynamic_cast<const TAudioLineParameters*>(&source);
    if (other == nullptr) return;
    // Read the source first: it may be this very object.
    const int channels = other->channels_, frequency = other->frequency_, bits = other->bits_;
    setChannels(channels);
    setFrequency(frequency);
    setBitsPerSample(bits);
}

std::array<std::uint8_t, 18> TAudioLineParameters::formatBlock() const {
    return pcmFormatBlock(frequency_, channels_, bits_);
}

std::int64_t productDiv8(int a, int b, int c) {
    const __int128 p = static_cast<__int128>(a) * b * c / 8;
    if (p > INT64_MAX) return INT64_MAX;
    if (p < INT64_MIN) return INT64_MIN;
    return static_cast<std::int64_t>(p);
}

namespace {
void put16(std::array<std::uint8_t, 18>& b, int at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}
void put32(std::array<std::uint8_t, 18>& b, int at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, (v >> 16) & 0xFFFF);
}
}  // namespace

std::array<std::uint8_t, 18> pcmFormatBlock(int frequency, int channels, int bitsPerSample) {
    std::array<std::uint8_t, 18> b{};
    const std::uint16_t ch = static_cast<std::uint16_t>(channels);
    const std::uint16_t bits = static_cast<std::uint16_t>(bitsPerSample);
    put16(b, 0, 1);  // PCM
    put16(b, 2, ch);
    put32(b, 4, static_cast<std::uint32_t>(frequency));
    // The field holds the low 32 bits of the exact count.
    const __int128 perSecond = static_cast<__int128>(frequency) * channels * bitsPerSample / 8;
    put32(b, 8, static_cast<std::uint32_t>(static_cast<unsigned __int128>(perSecond)));
    // Alignment from the two 16-bit fields; their product can exceed an int.
    put16(b, 12, static_cast<std::uint32_t>(ch) * bits / 8);
    put16(b, 14, bits);
    put16(b, 16, 0);
    return b;
}
