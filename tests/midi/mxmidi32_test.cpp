// Our driver library, libMxMidi32.so from the program's folder, end to end without a sound card:
// the embedded synthesiser renders into a file (FluidSynth's file driver) and our own analyser
// and pitch estimator listen to what it played.

#include <dirent.h>
#include <limits.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "afinacao_notas.h"
#include "driver_session.h"
#include "estimador_afinacao.h"
#include "fft.h"
#include "maxmidi.h"
#include "private_sound_server.h"
#include "replay_source.h"
#include "tone_pitch.h"
#include "tuner_programs.h"

namespace {

using namespace driversession;
constexpr double kPi = 3.14159265358979323846;

std::string temporaryFolder() {
    char pattern[] = "/tmp/mxmidi32-XXXXXX";
    return ::mkdtemp(pattern) != nullptr ? pattern : "";
}

double rms(const std::vector<double>& x, long from, long to) {
    from = std::max(0L, from);
    to = std::min(static_cast<long>(x.size()), to);
    if (to <= from) return 0.0;
    double sum = 0.0;
    for (long i = from; i < to; ++i) sum += x[i] * x[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

// `count` samples at 11025 Hz ending at frame `end` of the 48 kHz signal: windowed-sinc
// low-pass at 5 kHz and resampling, then unsigned 8-bit with the peak at ±100.
std::vector<std::uint8_t> captureFormat(const std::vector<double>& x, long end, int count) {
    constexpr double kOut = EstimadorAfinacao::kTaxaAmostragem;
    constexpr int kTaps = 48;
    const double cutoff = 5000.0 / kRate;
    std::vector<double> y(count);
    const double start = end / static_cast<double>(kRate) - count / kOut;
    for (int i = 0; i < count; ++i) {
        const double t = (start + i / kOut) * kRate;
        const long centre = std::lround(t);
        double sum = 0.0;
        for (long k = centre - kTaps; k <= centre + kTaps; ++k) {
            if (k < 0 || k >= static_cast<long>(x.size())) continue;
            const double d = k - t;
            const double sinc = d == 0.0 ? 2 * cutoff : std::sin(2 * kPi * cutoff * d) / (kPi * d);
            const double window = 0.5 + 0.5 * std::cos(kPi * d / (kTaps + 1));
            sum += x[k] * sinc * window;
        }
        y[i] = sum;
    }
    double peak = 1e-9;
    for (double v : y) peak = std::max(peak, std::fabs(v));
    std::vector<std::uint8_t> bytes(count);
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(128 + std::lround(y[i] * 100 / peak));
    return bytes;
}

// What the tuner's estimator reads for `corda` of a standard guitar from the latest 16384
// samples before `end`: the frequency of the strongest bin in the string's band.
double peakFrequency(const std::vector<double>& x, long end, int corda,
                     EstimadorAfinacao& estimador) {
    TReplaySource source;
    source.setBufSize(EstimadorAfinacao::kTamanhoBuffer);
    TFFT fft;
    fft.setSource(&source);
    fft.setBufSize(EstimadorAfinacao::kTamanhoFFT);
    const int blocks = 5;  // 5 × 4069 samples cover the analyser's 16384
    const auto bytes = captureFormat(x, end, blocks * EstimadorAfinacao::kTamanhoBuffer);
    for (int b = 0; b < blocks; ++b) {
        source.play(bytes.data() + b * EstimadorAfinacao::kTamanhoBuffer,
                    EstimadorAfinacao::kTamanhoBuffer);
    }
    estimador.setCordaSelecionada(corda);
    return estimador.frequenciaPico(fft);
}

// The frequency within ±2 % of `near` where the signal between the two frames is strongest,
// to 0.01 % (a fine single-frequency transform at 48 kHz).
double fundamental(const std::vector<double>& x, long from, long to, double near) {
    double best = 0.0, bestFrequency = near;
    for (double f = near * 0.98; f <= near * 1.02; f += near * 0.0001) {
        const double w = 2 * kPi * f / kRate;
        double c = 0.0, s = 0.0;
        for (long i = std::max(0L, from); i < to; i += 2) {
            c += x[i] * std::cos(w * i);
            s += x[i] * std::sin(w * i);
        }
        if (std::hypot(c, s) > best) {
            best = std::hypot(c, s);
            bestFrequency = f;
        }
    }
    return bestFrequency;
}

Afinacao standardGuitar() {
    std::vector<int> notas = {40, 45, 50, 55, 59, 64};
    std::vector<std::string> nomes;
    std::vector<double> frequencias;
    for (int n : notas) {
        nomes.push_back(nomeNotaMIDI(n));
        frequencias.push_back(frequenciaNotaMIDI(n));
    }
    return Afinacao("Guitar", "", 6, nomes, notas, frequencias);
}

// Each test with a pitch cache of its own.
class DriverEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"MXMIDI32_AUDIO_FILE", "MXMIDI32_SOUNDFONT"}) ::unsetenv(name);
        environment_.set("XDG_CACHE_HOME", cache_.path());
    }
    void TearDown() override {
        for (const char* name : {"MXMIDI32_AUDIO_FILE", "MXMIDI32_SOUNDFONT"}) ::unsetenv(name);
    }

private:
    TemporaryFolder cache_;
    Environment environment_;
};

using MxMidi32Library = DriverEnvironment;

}  // namespace

TEST_F(MxMidi32Library, ExportsEveryProcedureAndDescribesItsDevices) {
    TMaxMidi lib(nullptr, kDriver);
    EXPECT_EQ(lib.Version(), MXMIDI_VERSION);
    const int devices = lib.GetNumOutDevices();
    EXPECT_GE(devices, 1);  // the synthesiser, then any sequencer ports
    char name[MXMIDI_MAX_DESCRIPTION];
    EXPECT_EQ(lib.GetMidiOutDescription(MXMIDI_MAPPER, name), MXMIDI_OK);
    EXPECT_STREQ(name, "MIDI Mapper");
    EXPECT_EQ(lib.GetMidiOutDescription(0, name), MXMIDI_OK);
    EXPECT_STREQ(name, "FluidSynth General MIDI synthesiser");
    EXPECT_EQ(lib.GetMidiOutDescription(static_cast<uint16_t>(devices), name), MXMIDI_FAILED);
    EXPECT_EQ(lib.GetMidiOutDescription(0, nullptr), MXMIDI_FAILED);
    EXPECT_EQ(lib.OpenMidiOut(nullptr, static_cast<uint16_t>(devices), 0, 0), 0u);

    // Handles the library never gave out are refused.
    MIDIEVENT event{0, 0x90, 40, 127, 0};
    EXPECT_EQ(lib.PutMidiOut(12345, &event), MXMIDI_FAILED);
    EXPECT_EQ(lib.ResetMidiOut(12345), MXMIDI_FAILED);
    EXPECT_EQ(lib.FlushMidiOut(0), MXMIDI_FAILED);
    EXPECT_EQ(lib.CloseMidiOut(12345), MXMIDI_FAILED);

    // No input, sync timer or MIDI files: each fails cleanly.
    EXPECT_EQ(lib.GetNumInDevices(), 0);
    EXPECT_EQ(lib.GetMidiInDescription(0, name), MXMIDI_FAILED);
    EXPECT_EQ(lib.OpenMidiIn(nullptr, 0, 0, 0), 0u);
    EXPECT_EQ(lib.GetMidiIn(1), nullptr);
    EXPECT_EQ(lib.OpenSync(nullptr, 0, 10, 0), 0u);
    EXPECT_EQ(lib.StartSync(1), MXMIDI_FAILED);
    EXPECT_EQ(lib.GetTempo(1), 0u);
    EXPECT_EQ(lib.OpenSMF("/tmp/x.mid", nullptr, 'r', nullptr), 0u);
    EXPECT_EQ(lib.ReadSMF(1, 0, &event, 1), MXMIDI_FAILED);
    EXPECT_EQ(lib.WriteMetaEvent(1, 0, 0x51, nullptr, 0), MXMIDI_FAILED);
    // An output tied to a sync timer cannot open: there is none.
    EXPECT_EQ(lib.OpenMidiOut(nullptr, 0, 77, 0), 0u);
}

TEST_F(MxMidi32Library, SynthesiserWithoutSoundFontDoesNotOpenAndLeavesNothingRunning) {
    ::setenv("MXMIDI32_SOUNDFONT", "/nonexistent/none.sf2", 1);
    TMaxMidi lib(nullptr, kDriver);
    const int threads = threadCount();
    TMaxMidiOut out;
    out.setMaxMidi(&lib);
    EXPECT_FALSE(out.Open(-1, 78624));
    EXPECT_FALSE(out.Open(0, 78624));
    EXPECT_EQ(threadCount(), threads);
}

// No audio server and no sound card: the PulseAudio client finds no server and ALSA's default
// device is a card that does not exist. Opening must fail promptly and leave no thread behind.
TEST_F(MxMidi32Library, SynthesiserWithoutAnyAudioOutputDoesNotOpen) {
    const std::string folder = temporaryFolder();
    const std::string conf = folder + "/asound.conf";
    std::ofstream(conf) << "pcm.!default { type hw card 99 }\nctl.!default { type hw card 99 }\n";
    ::setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + conf).c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + folder + "/no-server").c_str(), 1);
    {
        TMaxMidi lib(nullptr, kDriver);
        const int threads = threadCount();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(lib.OpenMidiOut(nullptr, 0, 0, 78624), 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(threadCount(), threads);
    }
    ::unlink(conf.c_str());
    ::rmdir(folder.c_str());
}

TEST_F(MxMidi32Library, SynthesiserOpensAgainAfterTheLibraryWasReleased) {
    const std::string folder = temporaryFolder();
    const std::string file = folder + "/render.raw";
    ::setenv("MXMIDI32_AUDIO_FILE", file.c_str(), 1);
    Watchdog watchdog(std::chrono::seconds(60));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        TMaxMidi lib(nullptr, kDriver);
        TMaxMidiOut out;
        out.setMaxMidi(&lib);
        ASSERT_TRUE(out.Open(-1, 78624));
        EXPECT_TRUE(out.Put(MIDIEVENT{0, 0x90, 40, 127, 0}));
        out.Close();
        lib.FreeLibrary();
    }
    ::unlink(file.c_str());
    ::rmdir(folder.c_str());
}

TEST_F(MxMidi32Library, SynthesiserPlaysTheReferenceNotesAndResetCutsThem) {
    const std::string folder = temporaryFolder();
    const std::string file = folder + "/render.raw";
    ::setenv("MXMIDI32_AUDIO_FILE", file.c_str(), 1);

    // The main window's sequence for two strings: program 24 in bank 0 on channel 0, then per
    // string a reset and a note on at full velocity. The file position at each step is when
    // the step happened in rendered time.
    long firstOn = 0, firstReset = 0, secondOn = 0, secondReset = 0, end = 0;
    {
        TMaxMidi lib(nullptr, kDriver);
        TMaxMidiOut out;
        out.setMaxMidi(&lib);
        ASSERT_TRUE(out.Open(0, 78624));
        selectProgramsAsTheTuner(out);
        ASSERT_TRUE(waitForFrames(file, ms(100)));

        // A key's first note may wait for its pitch to be measured: the note starts once the
        // put returns, within one block of the file output.
        out.Reset();
        out.Put(MIDIEVENT{0, 0x90, 40, 127, 0});
        firstOn = fileFrames(file) - ms(6);
        ASSERT_TRUE(waitForFrames(file, firstOn + ms(1700)));
        firstReset = fileFrames(file);
        out.Reset();
        ASSERT_TRUE(waitForFrames(file, firstReset + ms(300)));

        out.Put(MIDIEVENT{0, 0x90, 45, 127, 0});
        secondOn = fileFrames(file) - ms(6);
        ASSERT_TRUE(waitForFrames(file, secondOn + ms(1700)));
        secondReset = fileFrames(file);
        out.Reset();
        ASSERT_TRUE(waitForFrames(file, secondReset + ms(300)));
        out.Close();
    }
    const std::vector<double> x = readMono(file);
    end = static_cast<long>(x.size());
    ASSERT_GE(end, secondReset + ms(300));
    ::unlink(file.c_str());
    ::rmdir(folder.c_str());

    const Afinacao guitar = standardGuitar();
    EstimadorAfinacao estimador;
    estimador.setAfinacao(&guitar);
    // Before the first note there is silence.
    const double loud = rms(x, firstOn, firstOn + ms(200));
    EXPECT_GT(loud, 1000.0);
    EXPECT_LT(rms(x, 0, firstOn - ms(5)), loud / 1000);

    struct Note {
        long on, reset, next;
        int corda;
    };
    for (const Note& note :
         {Note{firstOn, firstReset, secondOn, 0}, Note{secondOn, secondReset, end, 1}}) {
        SCOPED_TRACE("string " + std::to_string(note.corda));
        // Still sounding just before the reset ...
        const double before = rms(x, note.reset - ms(60), note.reset - ms(20));
        EXPECT_GT(before, loud / 30);
        // ... and silent from 50 ms of rendered time after it.
        EXPECT_LT(rms(x, note.reset + ms(50), note.next - ms(5)), before / 300);

        // The note sounds at its reference frequency, within what a SoundFont's sample tuning
        // allows (the Debian default GM SoundFont plays program 24 about 2 cents sharp) ...
        const double target = guitar.getFrequencia(note.corda);
        const double played = fundamental(x, note.reset - ms(1500), note.reset, target);
        EXPECT_NEAR(1200 * std::log2(played / target), 0.0, 5.0) << played << " Hz";
        // ... and the tuner's analyser puts the strongest bin of the string's band in the bin
        // nearest to the played frequency, which is the bin nearest the reference frequency or,
        // where the reference lies close to the border between two bins, its neighbour.
        const double peak = peakFrequency(x, note.reset, note.corda, estimador);
        const double analyserBin = 11025.0 / 16384;  // TFFT transforms 16384 samples
        EXPECT_DOUBLE_EQ(peak, std::round(played / analyserBin) * estimador.larguraBin());
        const double nearest = std::round(target / estimador.larguraBin()) * estimador.larguraBin();
        EXPECT_LE(std::fabs(peak - nearest), estimador.larguraBin() * 1.001);
    }
}

namespace {

// Context switches so far of the threads that play through the sound server (the main-loop
// threads of its client library): each time one of them slept or was woken.
long soundThreadSwitches() {
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::ifstream(task.path() / "comm") >> name;
        if (name != "threaded-ml") continue;
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::stol(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

}  // namespace

// Through a desktop sound server (a private PulseAudio with a null sink): the synthesiser's
// stream plays once the output opens, is paused (corked) while nothing sounds, costing no
// wake-ups then, and plays again with the next note, which the server then plays.
TEST_F(MxMidi32Library, DesktopOutputPausesWhileQuietAndPlaysAgainForTheNextNote) {
    testkit::PrivateSoundServer server;
    if (!server.running()) GTEST_SKIP() << "PulseAudio is not installed";
    Watchdog watchdog(std::chrono::seconds(60));
    auto playingBecome = [&](int count) {
        for (int i = 0; i < 100; ++i) {
            if (server.playingStreams() == count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    TMaxMidi lib(nullptr, kDriver);
    TMaxMidiOut out;
    out.setMaxMidi(&lib);
    const int threads = threadCount();
    ASSERT_TRUE(out.Open(0, 78624));
    EXPECT_EQ(server.playingStreams(), 1);
    EXPECT_TRUE(out.Put(MIDIEVENT{0, 0xC0, 24, 0, 0}));  // no sound: the output may pause
    EXPECT_TRUE(playingBecome(0));
    EXPECT_EQ(server.playbackStreams(), 1);  // paused, not closed

    // Paused, the stream asks for no sound: its thread sleeps (playing, it wakes every few
    // milliseconds: about a hundred times in two seconds on PulseAudio).
    const long before = soundThreadSwitches();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_LT(soundThreadSwitches() - before, 10);

    EXPECT_TRUE(out.Put(MIDIEVENT{0, 0x90, 40, 127, 0}));
    EXPECT_EQ(server.playingStreams(), 1);
    out.Reset();
    EXPECT_TRUE(playingBecome(0));

    // An organ note sounds for as long as it is held, well past the idle grace period: the
    // stream plays until the note has been let go and has died away.
    EXPECT_TRUE(out.Put(MIDIEVENT{0, 0xC1, 19, 0, 0}));
    EXPECT_TRUE(out.Put(MIDIEVENT{0, 0x91, 60, 100, 0}));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(server.playingStreams(), 1);
    EXPECT_TRUE(out.Put(MIDIEVENT{0, 0x81, 60, 0, 0}));
    EXPECT_TRUE(playingBecome(0));

    // Closing the device while a note sounds leaves no stream and no thread behind.
    EXPECT_TRUE(out.Put(MIDIEVENT{0, 0x90, 45, 127, 0}));
    EXPECT_EQ(server.playingStreams(), 1);
    out.Close();
    EXPECT_EQ(server.playbackStreams(), 0);
    EXPECT_EQ(threadCount(), threads);
}

namespace {

// The fine reading of the tuner, in cents from the target of `corda` of `afinacao`, on the
// latest 16384 samples before `end` in the capture format.
double fineCents(const std::vector<double>& x, long end, const Afinacao& afinacao, int corda) {
    TReplaySource source;
    source.setBufSize(EstimadorAfinacao::kTamanhoBuffer);
    TFFT fft;
    fft.setSource(&source);
    fft.setBufSize(EstimadorAfinacao::kTamanhoFFT);
    const int blocks = 5;
    const auto bytes = captureFormat(x, end, blocks * EstimadorAfinacao::kTamanhoBuffer);
    for (int b = 0; b < blocks; ++b)
        source.play(bytes.data() + b * EstimadorAfinacao::kTamanhoBuffer,
                    EstimadorAfinacao::kTamanhoBuffer);
    EstimadorAfinacao estimador;
    estimador.setAfinacao(&afinacao);
    estimador.setCordaSelecionada(corda);
    return estimador.desvioCents(fft);
}

std::string soundFontInUse() {
    if (const char* chosen = ::getenv("MXMIDI32_SOUNDFONT")) return chosen;
    char resolved[PATH_MAX];
    return ::realpath("/usr/share/sounds/sf2/default-GM.sf2", resolved) != nullptr
               ? resolved
               : "the system's General MIDI SoundFont";
}

}  // namespace

// Each reference note of a standard guitar and a four-string bass, played as the main window
// plays it (program 27 when the output opens, then bank 0 and program 24, a reset before each
// note, the first at once, before the library has measured anything) and rendered through the
// library, read back by the tuner's fine reading over the
// analysis window that ends 1.9 s after the note on, so that it holds the ringing note and not
// its start: the reading agrees with the pitch the note has (measured apart, by the tests' own
// pitch reading) and lies within a cent of the note's equal-tempered target.
TEST_F(MxMidi32Library, ReferenceNotesReadInTuneInTheFineReading) {
    Watchdog watchdog(std::chrono::seconds(120));
    TemporaryFolder pasta;
    const std::string file = pasta / "render.raw";
    Environment ambiente;
    ambiente.set("MXMIDI32_AUDIO_FILE", file);
    const Afinacao violao = afinacaoDeNotas("Guitar", {40, 45, 50, 55, 59, 64});
    const Afinacao baixo = afinacaoDeNotas("Bass", {28, 33, 38, 43});
    struct Tocada {
        const Afinacao* afinacao;
        int corda;
        long inicio = 0;  // file position when the note on had been handed over
        long fim = 0;     // the end of the reading's window, 1.9 s after the note began to sound
    };
    std::vector<Tocada> tocadas;
    for (int c = 0; c < 6; ++c) tocadas.push_back({&violao, c});
    for (int c = 0; c < 4; ++c) tocadas.push_back({&baixo, c});
    {
        TMaxMidi lib(nullptr, kDriver);
        TMaxMidiOut out;
        out.setMaxMidi(&lib);
        ASSERT_TRUE(out.Open(-1, 78624));
        selectProgramsAsTheTuner(out);
        for (Tocada& t : tocadas) {
            out.Reset();
            // The reset cuts the last note; the next is handed over once the output is quiet,
            // so that its onset is its own.
            ASSERT_TRUE(waitForQuiet(file, fileFrames(file), ms(20), 30.0));
            t.inicio = fileFrames(file);
            out.Put(MIDIEVENT{
                0, 0x90, static_cast<std::uint8_t>(t.afinacao->getNotaMIDI(t.corda)), 127, 0});
            // Each note is held until 0.3 s past its reading's window, however long it waited
            // for its key's measurement (a first note, a busy machine, a sanitizer build).
            const long inicioSom = waitForOnset(file, t.inicio - ms(6), 30.0);
            ASSERT_GE(inicioSom, 0) << "a note did not sound";
            t.fim = inicioSom + ms(1900);
            ASSERT_TRUE(waitForFrames(file, t.fim + ms(300)));
        }
        out.Reset();
        out.Close();
    }
    const std::vector<double> x = readMono(file);

    std::printf("fine reading of the reference notes (%s):\n", soundFontInUse().c_str());
    for (const Tocada& t : tocadas) {
        const Afinacao& a = *t.afinacao;
        const double alvo = a.getFrequencia(t.corda);
        // The needle shows readings one after another: five, 0.15 s apart, around the one that
        // ends 1.9 s into the note (a preset whose layers beat moves a single one by a cent or
        // two), against the test's own reading over all of their span.
        const double tocado =
            tonepitch::centsFrom(x, t.fim - ms(1486 + 300), t.fim + ms(300), alvo, kRate);
        double lido = 0.0, menor = 1e9, maior = -1e9;
        for (int k = -2; k <= 2; ++k) {
            const long fim = t.fim + ms(150 * k);
            lido += fineCents(x, fim, a, t.corda) / 5.0;
            const double proprio = tonepitch::centsFrom(x, fim - ms(1486), fim, alvo, kRate);
            menor = std::min(menor, proprio);
            maior = std::max(maior, proprio);
        }
        const std::string nome = a.getInstrumento() + " " + a.getNomeNota(t.corda) + " (MIDI " +
                                 std::to_string(a.getNotaMIDI(t.corda)) + ")";
        std::printf("  %-20s played %+6.2f cents, read %+6.2f cents (own readings %+.2f to %+.2f)\n",
                    nome.c_str(), tocado, lido, menor, maior);
        EXPECT_NEAR(lido, 0.0, 1.0) << nome;
        // Where the note is one steady tone the two readings agree to within what the fine
        // reading promises for a tone with strong harmonics; where its layers beat, or its
        // trim follows a loop, each weighs the window's parts its own way.
        if (maior - menor < 0.3) {
            EXPECT_NEAR(lido, tocado, 1.0) << nome;
        }
    }
}
