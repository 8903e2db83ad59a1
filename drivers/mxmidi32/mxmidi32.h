#ifndef MXMIDI32_H
#define MXMIDI32_H
/*
 * MxMidi32 for Linux: the MIDI driver library that the tuner loads at run time (dlopen) from its
 * own folder as libMxMidi32.so, resolving the 35 procedures below by their plain names.
 *
 * Output devices
 *   0xFFFF (the mapper, -1 as a 16-bit number) and 0: an embedded FluidSynth synthesiser playing
 *          the system's General MIDI SoundFont through the desktop's sound server (PulseAudio,
 *          or PipeWire through its PulseAudio service), else ALSA's "default" device. Opening it
 *          opens the audio output (and fails when none opens or there is no SoundFont); the
 *          SoundFont itself loads in the background, messages sent meanwhile are played once it
 *          has loaded, and a note on waits for it. Should it fail to load, every note on fails.
 *          The audio output plays only while something sounds: 1.5 s after the last voice
 *          has ended it is paused (the sound server's stream corked, which costs no wake-ups;
 *          ALSA's device closed), and the next note on plays it again (that note on fails when
 *          no output opens any more). An output into MXMIDI32_AUDIO_FILE stays open.
 *          A channel holds no program until it is given one; its first note without one takes
 *          General MIDI's default. Every pitched note sounds at its equal-tempered pitch
 *          (A4 = 440 Hz): the keys of each program in use are measured by rendering them, and
 *          the measurements are kept per SoundFont in $XDG_CACHE_HOME/tessarin/. So is a lean
 *          copy of the SoundFont with only the programs played so far, which later opens load
 *          instead of the whole file (a program outside it is taken from the whole file).
 *   1 .. n-1: the ALSA sequencer ports that make sound (synthesisers, samplers, hardware MIDI
 *          ports), in the order ALSA lists them, never the kernel's pass-through ("Midi
 *          Through") nor ports that only take MIDI in; the list is taken by GetNumOutDevices.
 *   Every open of a device is independent: two opens of the synthesiser make two synthesisers.
 *
 * Calling conventions
 *   Handles are 32-bit numbers; a valid handle is above 32, and 0 means failure. Procedures that
 *   return int return MXMIDI_OK (1) on success and MXMIDI_FAILED (0) on failure; procedures that
 *   return a count or a value return 0 when there is nothing to report. Events are played at once:
 *   their time stamp is ignored and the output queue never fills.
 *   A device that cannot open returns 0 and leaves no thread, connection or synthesiser behind.
 *   ResetMidiOut stops every sounding note on every channel at once (all sound off, all notes
 *   off); the selected programs, banks and controllers stay as they are.
 *
 * Notification target ("window")
 *   OpenMidiOut takes an optional MxNotifyTarget. The library calls its post function on the
 *   thread that is inside the library call, never from a thread of its own: FlushMidiOut posts
 *   MXMIDI_OUTBUFFER_READY (wParam = the output handle) once the queue is empty, which it always
 *   is once the flush returns.
 *
 * Unloading
 *   The library stays in the process once it has been loaded (it is linked "nodelete"): the
 *   GObject types that FluidSynth registers cannot be unregistered, and loading FluidSynth a
 *   second time after unloading it would hang. Outputs still open when the loader releases the
 *   library keep working until they are closed.
 *
 * Input, synchronisation and standard MIDI files
 *   Present so that a loader that resolves every procedure finds them. This library has no MIDI
 *   input, no sync timer and no file support: every one of those procedures fails (0, or a null
 *   pointer) and changes nothing.
 *
 * Environment (for tests and diagnosis; the program itself sets none of these)
 *   MXMIDI32_SOUNDFONT   a SoundFont file used instead of the system's General MIDI SoundFont.
 *   MXMIDI32_AUDIO_FILE  the synthesiser renders into this file instead of the desktop's audio:
 *                        raw signed 16-bit little-endian stereo at MXMIDI_SAMPLE_RATE, written at
 *                        the pace of real time in blocks of 5 ms.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MXMIDI_OK 1
#define MXMIDI_FAILED 0

/* Device number of the MIDI mapper. */
#define MXMIDI_MAPPER 0xFFFFu
/* Size of the buffer that GetMidiOutDescription / GetMidiInDescription fill, NUL included. */
#define MXMIDI_MAX_DESCRIPTION 64
/* Message posted to the notification target when the output can take more events. */
#define MXMIDI_OUTBUFFER_READY 0x5453u
/* Version returned by GetMaxMidiVersion: major in the high byte, minor in the low byte. */
#define MXMIDI_VERSION 0x0200u
/* Sample rate of the embedded synthesiser, in Hz. */
#define MXMIDI_SAMPLE_RATE 48000

/* One MIDI event (8 bytes). For short messages only status, data1 and data2 count. */
typedef struct MIDIEVENT {
    uint32_t time;  /* time stamp; ignored on output */
    uint8_t status; /* status byte, e.g. 0x90 note on, channel 0 */
    uint8_t data1;
    uint8_t data2;
    uint8_t data3;
} MIDIEVENT;

typedef uint32_t HMOUT;
typedef uint32_t HMIN;
typedef uint32_t HSYNC;
typedef uint32_t HSMF;

typedef struct MxNotifyTarget MxNotifyTarget;
struct MxNotifyTarget {
    void (*post)(MxNotifyTarget* target, uint32_t message, uintptr_t wParam, intptr_t lParam);
};

/*
 * The procedures, in the order a loader resolves them:
 *   X(result type, name, parameter list)
 */
#define MXMIDI32_PROCEDURES(X)                                                                    \
    /* Library version (MXMIDI_VERSION). */                                                       \
    X(uint16_t, GetMaxMidiVersion, (void))                                                        \
    /* Number of output devices, numbered from 0; takes a fresh list of sequencer ports. */       \
    X(uint16_t, GetNumOutDevices, (void))                                                         \
    /* Copies the device's name (MXMIDI_MAX_DESCRIPTION bytes at most, NUL included). */          \
    X(int, GetMidiOutDescription, (uint16_t device, char* description))                           \
    /* Opens an output; flags: low 16 bits the queue size asked for (ignored), rest reserved;     \
       sync must be 0 (there is no sync timer). A handle above 32, or 0 on failure. */            \
    X(HMOUT, OpenMidiOut, (MxNotifyTarget * window, uint16_t device, HSYNC sync, uint32_t flags)) \
    X(int, ResetMidiOut, (HMOUT out))                                                             \
    X(int, FlushMidiOut, (HMOUT out))                                                             \
    X(int, CloseMidiOut, (HMOUT out))                                                             \
    /* Plays one event at once; MXMIDI_FAILED for a closed handle, an unusable status, or a note on \
       that cannot sound. */       \
    X(int, PutMidiOut, (HMOUT out, const MIDIEVENT* event))                                       \
    /* Input: none (0 devices, every call fails). */                                              \
    X(uint16_t, GetNumInDevices, (void))                                                          \
    X(int, GetMidiInDescription, (uint16_t device, char* description))                            \
    X(HMIN, OpenMidiIn, (MxNotifyTarget * window, uint16_t device, HSYNC sync, uint32_t flags))   \
    X(int, StartMidiIn, (HMIN in))                                                                \
    X(int, StopMidiIn, (HMIN in))                                                                 \
    X(int, CloseMidiIn, (HMIN in))                                                                \
    X(MIDIEVENT*, GetMidiIn, (HMIN in))                                                           \
    /* Synchronisation: none (OpenSync returns 0, every call fails). */                           \
    X(HSYNC, OpenSync, (MxNotifyTarget * window, uint16_t mode, uint16_t period, uint32_t flags)) \
    X(int, CloseSync, (HSYNC sync))                                                               \
    X(int, StopSync, (HSYNC sync))                                                                \
    X(int, StartSync, (HSYNC sync))                                                               \
    X(int, PauseSync, (HSYNC sync, int reset))                                                    \
    X(int, ReStartSync, (HSYNC sync))                                                             \
    X(int, SetTempo, (HSYNC sync, uint32_t microsecondsPerBeat))                                  \
    X(int, SetResolution, (HSYNC sync, uint32_t ticksPerBeat))                                    \
    X(uint32_t, GetTempo, (HSYNC sync))                                                           \
    X(uint32_t, GetResolution, (HSYNC sync))                                                      \
    X(int, GetPosition, (HSYNC sync, uint32_t * ticks))                                           \
    /* Standard MIDI files: none (OpenSMF returns 0, every call fails). */                        \
    X(HSMF, OpenSMF, (const char* fileName, uint16_t* format, char mode, uint16_t* tracks))       \
    X(int, CloseSMF, (HSMF smf))                                                                  \
    X(int, RewindSMF, (HSMF smf))                                                                 \
    X(int, ReadSMF, (HSMF smf, uint16_t track, MIDIEVENT * event, uint32_t count))                \
    X(int, WriteSMF, (HSMF smf, uint16_t track, const MIDIEVENT* event, uint32_t count))          \
    X(uint32_t, GetSMFResolution, (HSMF smf))                                                     \
    X(int, SetSMFResolution, (HSMF smf, uint32_t ticksPerBeat))                                   \
    X(int, ReadMetaEvent,                                                                         \
      (HSMF smf, uint16_t track, uint8_t * type, uint8_t * data, uint32_t * length))              \
    X(int, WriteMetaEvent,                                                                        \
      (HSMF smf, uint16_t track, uint8_t type, const uint8_t* data, uint32_t length))

#if defined(__GNUC__)
#define MXMIDI32_API __attribute__((visibility("default")))
#else
#define MXMIDI32_API
#endif

#define MXMIDI32_DECLARE_PROCEDURE(result, name, parameters) MXMIDI32_API result name parameters;
MXMIDI32_PROCEDURES(MXMIDI32_DECLARE_PROCEDURE)
#undef MXMIDI32_DECLARE_PROCEDURE

#ifdef __cplusplus
}
#endif

#endif /* MXMIDI32_H */
