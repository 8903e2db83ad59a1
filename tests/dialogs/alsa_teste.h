#pragma once
// Real capture without a sound card: ALSA's `file` plugin makes the "default" PCM deliver the
// bytes of a file (unsigned 8-bit mono, looped), selected for this process through
// ALSA_CONFIG_PATH.

#include <cstdint>
#include <string>

// Uses an ALSA configuration with `texto` added to ALSA's own (PCM definitions, usually a new
// "default").
void capturarConfiguracao(const std::string& texto);
// The folder that holds the capture files and configurations.
std::string pastaCaptura();
// Makes "default" capture `bytes` repeated over and over.
void capturarBytes(const std::string& bytes);
// Makes "default" capture a constant byte value (0: full scale, 128: silence).
void capturarConstante(std::uint8_t valor);
