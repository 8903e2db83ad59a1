// A stand-in for libMxMidi32.so that plays nothing and writes every call it receives, one line
// each, to the file named by MXREC_LOG. The tests build it several times, each time exporting a
// different subset of the procedures.
//   MXREC_DEVICES  number of output devices (default 0)
//   MXREC_OPENS    comma-separated device numbers that open (65535 is the mapper; default none)
//   MXREC_HANDLE   handle returned for a device that opens (default 100)

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mxmidi32.h"

namespace {

MxNotifyTarget* g_window = nullptr;

void record(const char* format, ...) {
    const char* path = std::getenv("MXREC_LOG");
    if (path == nullptr) return;
    FILE* f = std::fopen(path, "a");
    if (f == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(f, format, args);
    va_end(args);
    std::fputc('\n', f);
    std::fclose(f);
}

unsigned long envNumber(const char* name, unsigned long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 10) : fallback;
}

bool opens(uint16_t device) {
    const char* list = std::getenv("MXREC_OPENS");
    if (list == nullptr) return false;
    const std::string wanted = "," + std::string(list) + ",";
    return wanted.find("," + std::to_string(device) + ",") != std::string::npos;
}

}  // namespace

extern "C" {

uint16_t GetMaxMidiVersion(void) {
    record("GetMaxMidiVersion");
    return 0x0123;
}

uint16_t GetNumOutDevices(void) {
    record("GetNumOutDevices");
    return static_cast<uint16_t>(envNumber("MXREC_DEVICES", 0));
}

int GetMidiOutDescription(uint16_t device, char* description) {
    record("GetMidiOutDescription %u", device);
    std::snprintf(description, MXMIDI_MAX_DESCRIPTION, "Recorder %u", device);
    return MXMIDI_OK;
}

HMOUT OpenMidiOut(MxNotifyTarget* window, uint16_t device, HSYNC sync, uint32_t flags) {
    record("OpenMidiOut %u %u %u", device, sync, flags);
    if (!opens(device)) return 0;
    g_window = window;
    return static_cast<HMOUT>(envNumber("MXREC_HANDLE", 100));
}

int ResetMidiOut(HMOUT out) {
    record("ResetMidiOut %u", out);
    return MXMIDI_OK;
}

int FlushMidiOut(HMOUT out) {
    record("FlushMidiOut %u", out);
    if (g_window != nullptr) g_window->post(g_window, MXMIDI_OUTBUFFER_READY, out, 0);
    return MXMIDI_OK;
}

int CloseMidiOut(HMOUT out) {
    record("CloseMidiOut %u", out);
    g_window = nullptr;
    return MXMIDI_OK;
}

int PutMidiOut(HMOUT out, const MIDIEVENT* event) {
    record("PutMidiOut %u %02X %02X %02X", out, event->status, event->data1, event->data2);
    return MXMIDI_OK;
}

uint16_t GetNumInDevices(void) {
    return record("GetNumInDevices"), 0;
}
int GetMidiInDescription(uint16_t, char*) {
    return record("GetMidiInDescription"), 0;
}
HMIN OpenMidiIn(MxNotifyTarget*, uint16_t, HSYNC, uint32_t) {
    return record("OpenMidiIn"), 0;
}
int StartMidiIn(HMIN) {
    return record("StartMidiIn"), 0;
}
int StopMidiIn(HMIN) {
    return record("StopMidiIn"), 0;
}
int CloseMidiIn(HMIN) {
    return record("CloseMidiIn"), 0;
}
MIDIEVENT* GetMidiIn(HMIN) {
    return record("GetMidiIn"), nullptr;
}
HSYNC OpenSync(MxNotifyTarget*, uint16_t, uint16_t, uint32_t) {
    return record("OpenSync"), 0;
}
int CloseSync(HSYNC) {
    return record("CloseSync"), 0;
}
int StopSync(HSYNC) {
    return record("StopSync"), 0;
}
int StartSync(HSYNC) {
    return record("StartSync"), 0;
}
int PauseSync(HSYNC, int) {
    return record("PauseSync"), 0;
}
int ReStartSync(HSYNC) {
    return record("ReStartSync"), 0;
}
int SetTempo(HSYNC, uint32_t) {
    return record("SetTempo"), 0;
}
int SetResolution(HSYNC, uint32_t) {
    return record("SetResolution"), 0;
}
uint32_t GetTempo(HSYNC) {
    return record("GetTempo"), 0;
}
uint32_t GetResolution(HSYNC) {
    return record("GetResolution"), 0;
}
int GetPosition(HSYNC, uint32_t*) {
    return record("GetPosition"), 0;
}
HSMF OpenSMF(const char*, uint16_t*, char, uint16_t*) {
    return record("OpenSMF"), 0;
}
int CloseSMF(HSMF) {
    return record("CloseSMF"), 0;
}
int RewindSMF(HSMF) {
    return record("RewindSMF"), 0;
}
int ReadSMF(HSMF, uint16_t, MIDIEVENT*, uint32_t) {
    return record("ReadSMF"), 0;
}
int WriteSMF(HSMF, uint16_t, const MIDIEVENT*, uint32_t) {
    return record("WriteSMF"), 0;
}
uint32_t GetSMFResolution(HSMF) {
    return record("GetSMFResolution"), 0;
}
int SetSMFResolution(HSMF, uint32_t) {
    return record("SetSMFResolution"), 0;
}
int ReadMetaEvent(HSMF, uint16_t, uint8_t*, uint8_t*, uint32_t*) {
    return record("ReadMeta"), 0;
}
int WriteMetaEvent(HSMF, uint16_t, uint8_t, const uint8_t*, uint32_t) {
    return record("WriteMetaEvent"), 0;
}

}  // extern "C"
