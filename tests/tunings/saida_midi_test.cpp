// The reference-tone output against the recording driver library.

#include "saida_midi.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "errors.h"
#include "recording_log.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SaidaMIDI, SessionSendsTheExactBytesOfTheMainWindowAndClosesCleanly) {
    RecordingLog log;
    log.devices(3);
    log.opening("1");  // neither the mapper nor device 0 opens
    {
        SaidaMIDI saida(recordingDriver("full"));
        EXPECT_TRUE(saida.estaAberta());
        EXPECT_EQ(saida.getDispositivo(), 1);
        saida.selecionarPrograma(0, 24);
        saida.silenciar();  // string E2 chosen
        saida.enviarMensagem(0x90, 40, 127);
        saida.silenciar();  // string A2 chosen
        saida.enviarMensagem(0x90, 45, 127);
    }
    EXPECT_THAT(
        log.lines(),
        ElementsAre("GetMaxMidiVersion", "GetNumOutDevices", "OpenMidiOut 65535 0 78624",
                    "OpenMidiOut 0 0 78624", "OpenMidiOut 1 0 78624", "PutMidiOut 100 C0 1B 00",
                    "PutMidiOut 100 B0 00 00", "PutMidiOut 100 C0 18 00", "ResetMidiOut 100",
                    "PutMidiOut 100 90 28 7F", "ResetMidiOut 100", "PutMidiOut 100 90 2D 7F",
                    // destruction: flush, reset, and close (which resets once more)
                    "FlushMidiOut 100", "ResetMidiOut 100", "ResetMidiOut 100",
                    "CloseMidiOut 100"));
}

TEST(SaidaMIDI, TheConcertPitchIsSentAsTheChannelsCoarseAndFineTuning) {
    RecordingLog log;
    log.devices(1);
    log.opening("0");
    {
        SaidaMIDI saida(recordingDriver("full"));
        // A4 = 442 Hz: +7.85 cents, fine tuning 8192 + 643 = 0x45 0x03.
        saida.afinarCanal(0, 1200.0 * std::log2(442.0 / 440.0));
    }
    const std::vector<std::string> linhas = log.lines();
    const std::vector<std::string> esperadas = {
        "PutMidiOut 100 B0 65 00", "PutMidiOut 100 B0 64 02", "PutMidiOut 100 B0 06 40",
        "PutMidiOut 100 B0 65 00", "PutMidiOut 100 B0 64 01", "PutMidiOut 100 B0 06 45",
        "PutMidiOut 100 B0 26 03", "PutMidiOut 100 B0 65 7F", "PutMidiOut 100 B0 64 7F"};
    const auto inicio = std::find(linhas.begin(), linhas.end(), esperadas[0]);
    ASSERT_NE(inicio, linhas.end());
    EXPECT_EQ(std::vector<std::string>(inicio, inicio + 9), esperadas);
    // The ends of the range: 400 Hz is two semitones down and 35 cents up; nonsense is none.
    const auto abaixo = SaidaMIDI::mensagensAfinacao(3, 1200.0 * std::log2(400.0 / 440.0));
    EXPECT_EQ(abaixo[0].status, 0xB3);
    EXPECT_EQ(abaixo[2].dado2, 62);
    const int fina = abaixo[5].dado2 << 7 | abaixo[6].dado2;
    EXPECT_NEAR((fina - 8192) * 100.0 / 8192.0, -165.0042 + 200.0, 0.01);
    const auto nada = SaidaMIDI::mensagensAfinacao(0, std::nan(""));
    EXPECT_EQ(nada[2].dado2, 64);
    EXPECT_EQ(nada[5].dado2 << 7 | nada[6].dado2, 8192);
}

TEST(SaidaMIDI, TheMapperIsTriedFirstAndTheFirstOutputThatOpensStays) {
    RecordingLog log;
    log.devices(2);
    log.opening("65535,0,1");
    SaidaMIDI saida(recordingDriver("full"));
    EXPECT_EQ(saida.getDispositivo(), -1);
    EXPECT_THAT(log.lines(), ElementsAre("GetMaxMidiVersion", "GetNumOutDevices",
                                         "OpenMidiOut 65535 0 78624", "PutMidiOut 100 C0 1B 00"));
}

TEST(SaidaMIDI, WithoutAnOutputThatOpensEverythingIsSilent) {
    for (int devices : {0, 2}) {
        SCOPED_TRACE(devices);
        RecordingLog log;
        log.devices(devices);
        {
            SaidaMIDI saida(recordingDriver("full"));
            EXPECT_FALSE(saida.estaAberta());
            EXPECT_EQ(saida.getDispositivo(), devices - 1);
            log.clear();
            saida.selecionarPrograma(0, 24);
            saida.silenciar();
            saida.enviarMensagem(0x90, 40, 127);
        }
        EXPECT_THAT(log.lines(), IsEmpty());
    }
}

TEST(SaidaMIDI, LibraryProblemsLeaveTheConstructor) {
    try {
        SaidaMIDI saida("/nonexistent/libMxMidi32.so");
        ADD_FAILURE() << "no exception";
    } catch (const EMaxMidiException& e) {
        EXPECT_EQ(e.message(), "Load of libMxMidi32.so failed");
    }
    try {
        SaidaMIDI saida(recordingDriver("no-middle"));
        ADD_FAILURE() << "no exception";
    } catch (const EMaxMidiException& e) {
        EXPECT_EQ(e.message(), "Failed to loadproc:SetTempo");
    }
}
