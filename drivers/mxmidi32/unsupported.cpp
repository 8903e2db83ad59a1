// Input, synchronisation and standard MIDI files: this library has none of them. The procedures
// exist so that a loader resolving every procedure finds them; each one fails and changes
// nothing.

#include "mxmidi32.h"

extern "C" {

uint16_t GetNumInDevices(void) {
    return 0;
}
int GetMidiInDescription(uint16_t, char*) {
    return MXMIDI_FAILED;
}
HMIN OpenMidiIn(MxNotifyTarget*, uint16_t, HSYNC, uint32_t) {
    return 0;
}
int StartMidiIn(HMIN) {
    return MXMIDI_FAILED;
}
int StopMidiIn(HMIN) {
    return MXMIDI_FAILED;
}
int CloseMidiIn(HMIN) {
    return MXMIDI_FAILED;
}
MIDIEVENT* GetMidiIn(HMIN) {
    return nullptr;
}

HSYNC OpenSync(MxNotifyTarget*, uint16_t, uint16_t, uint32_t) {
    return 0;
}
int CloseSync(HSYNC) {
    return MXMIDI_FAILED;
}
int StopSync(HSYNC) {
    return MXMIDI_FAILED;
}
int StartSync(HSYNC) {
    return MXMIDI_FAILED;
}
int PauseSync(HSYNC, int) {
    return MXMIDI_FAILED;
}
int ReStartSync(HSYNC) {
    return MXMIDI_FAILED;
}
int SetTempo(HSYNC, uint32_t) {
    return MXMIDI_FAILED;
}
int SetResolution(HSYNC, uint32_t) {
    return MXMIDI_FAILED;
}
uint32_t GetTempo(HSYNC) {
    return 0;
}
uint32_t GetResolution(HSYNC) {
    return 0;
}
int GetPosition(HSYNC, uint32_t*) {
    return MXMIDI_FAILED;
}

HSMF OpenSMF(const char*, uint16_t*, char, uint16_t*) {
    return 0;
}
int CloseSMF(HSMF) {
    return MXMIDI_FAILED;
}
int RewindSMF(HSMF) {
    return MXMIDI_FAILED;
}
int ReadSMF(HSMF, uint16_t, MIDIEVENT*, uint32_t) {
    return MXMIDI_FAILED;
}
int WriteSMF(HSMF, uint16_t, const MIDIEVENT*, uint32_t) {
    return MXMIDI_FAILED;
}
uint32_t GetSMFResolution(HSMF) {
    return 0;
}
int SetSMFResolution(HSMF, uint32_t) {
    return MXMIDI_FAILED;
}
int ReadMetaEvent(HSMF, uint16_t, uint8_t*, uint8_t*, uint32_t*) {
    return MXMIDI_FAILED;
}
int WriteMetaEvent(HSMF, uint16_t, uint8_t, const uint8_t*, uint32_t) {
    return MXMIDI_FAILED;
}

}  // extern "C"
