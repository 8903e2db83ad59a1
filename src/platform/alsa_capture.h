#pragma once
// Capture streams over ALSA for the wave-in engine.
//
// Device WAVE_MAPPER is the "default" PCM; devices 0 .. n - 1 are the PCMs that ALSA's name
// hints list as able to capture, without "null" (silence) and "default" (the mapper already).
//
// ALSA errors become the result codes callers know:
//   opening:    -EBUSY, -EAGAIN                                  -> 4 device in use
//               -ENOMEM                                          -> 7 out of memory
//               -ENOENT, -ENODEV, -ENXIO   for the default PCM    -> 6 no sound system
//                                          for a listed device    -> 2 bad device id
//               -ECONNREFUSED, -ECONNRESET, -ENOTCONN, -EHOSTDOWN,
//               -EHOSTUNREACH, -ETIMEDOUT (sound server missing),
//               -EACCES, -EPERM (no access to the sound system)   -> 6 no sound system
//               anything else                                    -> 1 unspecified error
//   the format: access, sample format, channel count or rate refused,
//               or -EINVAL when the parameters are installed      -> 32 bad format
//               -EBUSY when they are installed                   -> 4, -ENOMEM -> 7,
//               -ENODEV                                          -> 2 or 6 as when opening
//   capturing:  any error but an overrun or a suspend that the PCM recovers from (-ENODEV
//               when unplugged, -EIO, -EBADFD, a sound server that went away) ends the capture
//               with MM_WIM_ERROR (WAVERR_DEVICELOST)

#include <string>
#include <vector>

#include "wavein_device.h"

CaptureBackend alsaCaptureBackend();

// The capture PCM names, in device-number order.
std::vector<std::string> alsaCaptureDevices();

// Result code of an error from opening a PCM; `defaultDevice` for WAVE_MAPPER.
MMRESULT alsaOpenError(int error, bool defaultDevice);
// Result code of an error from configuring a PCM for a format.
MMRESULT alsaFormatError(int error, bool defaultDevice);
