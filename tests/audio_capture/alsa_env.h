#pragma once
// ALSA without a sound card: a private folder holding a capture file and an ALSA configuration
// whose "default" PCM reads that file through the `file` plugin. Selecting it (useAlsaConfig)
// sets ALSA_CONFIG_PATH for this process and makes ALSA read its configuration again.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The bytes the capture file starts with: 128, 0, 255, then a 110 Hz tone (8-bit mono,
// 11025 Hz), long enough for 30 buffers of 4069 frames.
const std::vector<std::uint8_t>& captureFileBytes();

// Makes "default" read captureFileBytes() through the file plugin.
void useToneConfig();
// Makes "default" read the given bytes (unsigned 8-bit mono) through the file plugin, which
// starts them again from the beginning when they run out.
void useCaptureBytes(const std::vector<std::uint8_t>& bytes);
// Uses a configuration with the given extra text (appended to ALSA's own).
void useAlsaConfig(const std::string& text);

// Runs the Qt event loop until `done` is true or `timeoutMs` passed; false on timeout.
bool runUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Runs the event loop for the given time.
void runFor(int ms);

// Counts of this process's threads and open file descriptors.
int threadCount();
int fdCount();
