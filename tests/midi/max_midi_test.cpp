// The MIDI component layer against the recording driver library.

#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "errors.h"
#include "maxmidi.h"
#include "recording_log.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::string loadError(const std::string& path) {
    try {
        TMaxMidi lib(nullptr, path);
    } catch (const EMaxMidiException& e) {
        EXPECT_STREQ(e.className(), "EMaxMidiException");
        return e.message();
    }
    return "(loaded)";
}

bool stillLoaded(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr) ::dlclose(handle);
    return handle != nullptr;
}

}  // namespace

TEST(MaxMidiProcedures, AreResolvedInTheLibrarysOrderUnderPlainNames) {
    const std::vector<std::string> expected = {"GetMaxMidiVersion",
                                               "GetNumOutDevices",
                                               "GetMidiOutDescription",
                                               "OpenMidiOut",
                                               "ResetMidiOut",
                                               "FlushMidiOut",
                                               "CloseMidiOut",
                                               "PutMidiOut",
                                               "GetNumInDevices",
                                               "GetMidiInDescription",
                                               "OpenMidiIn",
                                               "StartMidiIn",
                                               "StopMidiIn",
                                               "CloseMidiIn",
                                               "GetMidiIn",
                                               "OpenSync",
                                               "CloseSync",
                                               "StopSync",
                                               "StartSync",
                                               "PauseSync",
                                               "ReStartSync",
                                               "SetTempo",
                                               "SetResolution",
                                               "GetTempo",
                                               "GetResolution",
                                               "GetPosition",
                                               "OpenSMF",
                                               "CloseSMF",
                                               "RewindSMF",
                                               "ReadSMF",
                                               "WriteSMF",
                                               "GetSMFResolution",
                                               "SetSMFResolution",
                                               "ReadMetaEvent",
                                               "WriteMetaEvent"};
    std::vector<std::string> order;
#define NAME(result, name, parameters) order.push_back(#name);
    MXMIDI32_PROCEDURES(NAME)
#undef NAME
    EXPECT_EQ(order, expected);

    RecordingLog log;
    TMaxMidi lib(nullptr, recordingDriver("full"));
    EXPECT_TRUE(lib.Loaded());
    EXPECT_EQ(lib.Version(), 0x0123);
    int resolved = 0;
#define COUNT(result, name, parameters) resolved += lib.name != nullptr;
    MXMIDI32_PROCEDURES(COUNT)
#undef COUNT
    EXPECT_EQ(resolved, 35);
    // Loading asks only for the version.
    EXPECT_THAT(log.lines(), ElementsAre("GetMaxMidiVersion"));
}

TEST(MaxMidiLoad, MissingProcedureReleasesTheLibraryAndNamesTheFirstOneMissing) {
    RecordingLog log;
    const std::pair<const char*, const char*> cases[] = {
        {"no-first", "Failed to loadproc:GetMaxMidiVersion"},
        {"no-middle", "Failed to loadproc:SetTempo"},
        {"no-last", "Failed to loadproc:WriteMetaEvent"},
        // OpenMidiIn and PutMidiOut are both missing; PutMidiOut comes first.
        {"no-two", "Failed to loadproc:PutMidiOut"},
    };
    for (const auto& [variant, message] : cases) {
        SCOPED_TRACE(variant);
        const std::string path = recordingDriver(variant);
        EXPECT_EQ(loadError(path), message);
        EXPECT_FALSE(stillLoaded(path));
    }
    EXPECT_THAT(log.lines(), IsEmpty());
}

TEST(MaxMidiLoad, LoadFailureNamesTheFileTried) {
    EXPECT_EQ(loadError("/nonexistent/folder/libMxMidi32.so"), "Load of libMxMidi32.so failed");

    char folder[] = "/tmp/mxbad-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string garbage = std::string(folder) + "/libMxMidi32.so";
    std::ofstream(garbage) << "not a shared library";
    EXPECT_EQ(loadError(garbage), "Load of libMxMidi32.so failed");
    ::unlink(garbage.c_str());
    ::rmdir(folder);

    // The default is the program's own folder, where the test program has no driver library.
    EXPECT_EQ(TMaxMidi::defaultLibraryPath().substr(TMaxMidi::defaultLibraryPath().rfind('/')),
              "/libMxMidi32.so");
    EXPECT_THROW(TMaxMidi lib, EMaxMidiException);
}

class MaxMidiOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        lib = std::make_unique<TMaxMidi>(nullptr, recordingDriver("full"));
        out = std::make_unique<TMaxMidiOut>();
        out->setMaxMidi(lib.get());
        log.clear();
    }

    RecordingLog log;
    std::unique_ptr<TMaxMidi> lib;
    std::unique_ptr<TMaxMidiOut> out;
};

TEST_F(MaxMidiOutTest, OpenPassesTheDeviceAs16BitsAndTakesOnlyHandlesAbove32) {
    log.devices(3);
    log.opening("65535,2");
    log.handle(32);
    EXPECT_EQ(out->NumDevices(), 3);
    EXPECT_FALSE(out->Open(-1, 78624));  // handle 32 is an error code
    EXPECT_FALSE(out->IsOpen());
    EXPECT_EQ(out->Handle(), 0u);
    EXPECT_FALSE(out->Open(0, 78624));  // device 0 does not open: closed, no error
    log.handle(33);
    EXPECT_TRUE(out->Open(2, 78624));
    EXPECT_TRUE(out->IsOpen());
    EXPECT_EQ(out->Handle(), 33u);
    EXPECT_EQ(out->DeviceID(), 2);
    EXPECT_THAT(log.lines(), ElementsAre("GetNumOutDevices", "OpenMidiOut 65535 0 78624",
                                         "OpenMidiOut 0 0 78624", "OpenMidiOut 2 0 78624"));
}

TEST_F(MaxMidiOutTest, ClosedOutputSendsNothingAndRefusesResetFlushClose) {
    MIDIEVENT event{0, 0x90, 40, 127, 0};
    EXPECT_FALSE(out->Put(event));
    for (auto operation : {&TMaxMidiOut::Reset, &TMaxMidiOut::Flush, &TMaxMidiOut::Close}) {
        try {
            (out.get()->*operation)();
            ADD_FAILURE() << "no exception";
        } catch (const EMaxMidiException& e) {
            EXPECT_EQ(e.message(), "midiOut not open");
        }
    }
    EXPECT_THAT(log.lines(), IsEmpty());
}

TEST_F(MaxMidiOutTest, SessionReachesTheLibraryInOrder) {
    log.opening("0");
    int ready = 0;
    out->setOutBufferReady([&](TMaxMidiOut& sender) {
        EXPECT_EQ(&sender, out.get());
        ++ready;
    });
    ASSERT_TRUE(out->Open(0, 78624));
    try {
        out->Open(0, 78624);
        ADD_FAILURE() << "no exception";
    } catch (const EMaxMidiException& e) {
        EXPECT_EQ(e.message(), "already open");
    }
    EXPECT_TRUE(out->Put(MIDIEVENT{0, 0x90, 40, 127, 0}));
    out->Reset();
    out->Flush();  // the library tells the output it can take more: OutBufferReady
    EXPECT_EQ(ready, 1);
    out->Close();
    EXPECT_FALSE(out->IsOpen());
    EXPECT_THAT(log.lines(),
                ElementsAre("OpenMidiOut 0 0 78624", "PutMidiOut 100 90 28 7F", "ResetMidiOut 100",
                            "FlushMidiOut 100", "ResetMidiOut 100", "CloseMidiOut 100"));
}

TEST_F(MaxMidiOutTest, WithoutALoaderOutputReportsNoMaxMidi) {
    TMaxMidiOut lonely;
    for (auto call :
         {+[](TMaxMidiOut& o) { o.NumDevices(); }, +[](TMaxMidiOut& o) { o.Open(0, 78624); }}) {
        try {
            call(lonely);
            ADD_FAILURE() << "no exception";
        } catch (const EMaxMidiException& e) {
            EXPECT_EQ(e.message(), "No MaxMidi");
        }
    }
    // A released library counts as none.
    lib->FreeLibrary();
    EXPECT_FALSE(lib->Loaded());
    EXPECT_EQ(lib->OpenMidiOut, nullptr);
    EXPECT_THROW(out->Open(0, 78624), EMaxMidiException);
}

TEST_F(MaxMidiOutTest, ReleasingTheLibraryClosesItsOpenOutputsFirst) {
    log.opening("0");
    ASSERT_TRUE(out->Open(0, 78624));
    lib.reset();
    EXPECT_FALSE(out->IsOpen());
    EXPECT_EQ(out->MaxMidi(), nullptr);
    EXPECT_THAT(log.lines(),
                ElementsAre("OpenMidiOut 0 0 78624", "ResetMidiOut 100", "CloseMidiOut 100"));
    EXPECT_FALSE(stillLoaded(recordingDriver("full")));
    EXPECT_FALSE(out->Put(MIDIEVENT{0, 0x90, 40, 127, 0}));
}

TEST_F(MaxMidiOutTest, DestroyedOutputClosesAndLeavesTheLoader) {
    log.opening("0");
    ASSERT_TRUE(out->Open(0, 78624));
    out.reset();
    EXPECT_THAT(log.lines(),
                ElementsAre("OpenMidiOut 0 0 78624", "ResetMidiOut 100", "CloseMidiOut 100"));
    lib.reset();  // must not reach the destroyed output
}
