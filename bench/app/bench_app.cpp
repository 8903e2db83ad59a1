// The whole program, as a user runs it: start-up time to the main window, CPU time per thread
// and memory with the window shown and capture running from a real-time-paced source, against a
// bare Qt window of the same size measured in the same run.
//
// The program runs from a copy of the build's program folder (English as its language;
// TESSARIN_BENCH_APP_DIR names another build's folder to compare with) on a virtual screen
// (Xvfb). The microphone is a pipe source of a private sound server, fed at real speed in 50 ms
// blocks (microfone.h). Prints:
//   RATIO qt_floor_cpu/realtime     a bare Qt window of the same size repainting 20 times a
//   MEM qt_floor_rss_kb             second: CPU time over 20 s / 20 s, and its peak memory
//   TIME startup_cold_cache_ms <n>  process start to the main window mapped, less the 1 s splash
//                                   wait, on a first start (no pitch corrections known yet)
//   RATIO app_cpu_first_start/realtime  the whole program's CPU time over the first 30 s of that
//                                   start (its own start-up and the background measuring of keys
//                                   included) / 30 s
//   TIME pitch_measuring_cpu_s <n>  the CPU time of the thread that measures the keys, once it
//                                   has measured them all (the program idles)
//   TIME startup_to_window_ms <n>   the same on later starts (median of three)
//   RATIO app_cpu_main/realtime     over 20 s with a steady in-tune E2 (the needle at rest): the
//   RATIO app_cpu_capture/realtime  main thread, the capture threads (ours and the PulseAudio
//   RATIO app_cpu/realtime          client library's), and the whole program
//   RATIO app_cpu_main_moving/realtime      the same over 20 s of a tone alternating between E2
//   RATIO app_cpu_capture_moving/realtime   and three bins above it every 0.7 s, which keeps the
//   RATIO app_cpu_moving/realtime           needle moving
//   RATIO app_cpu_main_fine/realtime        the same three in the fine reading (its own
//   RATIO app_cpu_capture_fine/realtime     capture in 20 ms buffers, read as they come) on a
//   RATIO app_cpu_fine/realtime             steady E2
//   RATIO app_cpu_fine_silence/realtime     the whole program in the fine reading, on silence
//   RATIO app_cpu_capture_monitor/realtime  at rest again, capturing the null sink's monitor
//   RATIO app_cpu_monitor/realtime          into which a player with 20 ms of latency plays
//                                           E2: a source that hands on a piece every few ms
//   MEM app_rss_kb                  the program's peak memory over that run (listening, with
//                                   TimGM6mb loaded when it is installed, else the default)
//   MEM app_anon_kb                 its anonymous memory then (smaps_rollup), the part that does
//                                   not come from files
//   RATIO app_rss/qt_floor_rss      that peak over the bare window's
//   MEM app_rss_kb_after_note       the peak once one reference note (Space) has sounded
//   TIME startup_to_window_ms[installed]    start-up to the main window of the Debian package
//                                   unpacked (dpkg-deb -x) and started by its command from
//                                   another folder, when TESSARIN_BENCH_PACOTE names the package
//                                   (median of three)
//   TIME startup_cold_cache_ms[<SoundFont>]  the same figures from a first start and a short
//   RATIO app_cpu_first_start/realtime[<SoundFont>]  run after it with each installed Debian
//   TIME pitch_measuring_cpu_s[<SoundFont>]  GM SoundFont (TimGM6mb, FluidR3_GM,
//   TIME startup_to_window_ms[<SoundFont>]   MuseScore_General_Full)
//   MEM app_rss_kb[<SoundFont>]
//   MEM app_anon_kb[<SoundFont>]
//   MEM app_rss_kb_after_note[<SoundFont>]
// TESSARIN_BENCH_APP_ONLY=soundfonts runs only the last group (the figures per SoundFont).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "microfone.h"
#include "private_sound_server.h"
#include "processo.h"
#include "tela_virtual.h"

namespace {

using namespace bench;
namespace fs = std::filesystem;

constexpr double kSegundosMedidos = 20.0;
constexpr int kAcomodacaoMs = 2000;
constexpr int kEsperaSplashMs = 1000;
// A first start measures every key of the reference notes' program in the background: it is
// waited for until the program idles (under 2 % of a core over 2 s), at most this long.
constexpr int kSegundosMedicaoAfinacao = 150;
// The span of a first start whose CPU time is measured.
constexpr int kSegundosPrimeiraPartida = 30;
// The name of the driver library's thread that measures the keys.
constexpr const char* kThreadMedicao = "mxmidi-keys";
constexpr int kLargura = 802;
constexpr int kAltura = 532;
constexpr const char* kConfiguracoes =
    "[geral]\r\nidioma=English\r\nafinacaoSelecionada=0\r\ntipoSistema=0\r\n";
constexpr const char* kConfiguracoesFina =
    "[geral]\r\nidioma=English\r\nafinacaoSelecionada=0\r\ntipoSistema=0\r\nleituraFina=1\r\n";

constexpr const char* kSoundFonts[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf3/MuseScore_General_Full.sf3",
};

// 16-bit mono WAV at 44100 Hz of E2.
void escreverTom(const std::string& caminho, double segundos) {
    const int taxa = 44100;
    const auto quadros = static_cast<std::uint32_t>(segundos * taxa);
    std::ofstream saida(caminho, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { saida.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { saida.write(reinterpret_cast<const char*>(&v), 2); };
    saida.write("RIFF", 4);
    u32(36 + quadros * 2);
    saida.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(taxa);
    u32(taxa * 2);
    u16(2);
    u16(16);
    saida.write("data", 4);
    u32(quadros * 2);
    for (std::uint32_t i = 0; i < quadros; ++i) {
        const double amostra = 12000.0 * std::sin(2.0 * M_PI * 82.4069 * i / taxa);
        u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(amostra)));
    }
}

struct Medida {
    CpuPorThread cpu;  // ms
    double ms = 0.0;   // real time
    double razao(double cpuMs) const { return cpuMs / ms; }
};

// Lets the process settle, then measures its threads over kSegundosMedidos; each thread's share
// goes to stderr under `titulo`.
Medida medir(pid_t pid, const char* titulo) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kAcomodacaoMs));
    const AmostraCpu antes = amostrarCpu(pid);
    const auto t0 = Relogio::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(kSegundosMedidos));
    const AmostraCpu depois = amostrarCpu(pid);
    Medida m;
    m.ms = msDesde(t0, Relogio::now());
    m.cpu = cpuEntre(pid, antes, depois);
    std::fprintf(stderr, "bench_app: %s, CPU time per thread over %.1f s:\n%s", titulo, m.ms / 1e3,
                 detalharCpu(antes, depois).c_str());
    m.cpu.principal /= 1e6;
    m.cpu.captura /= 1e6;
    m.cpu.total /= 1e6;
    return m;
}

// The program folder to run: the build's own, or TESSARIN_BENCH_APP_DIR.
fs::path pastaPrograma() {
    const char* outra = std::getenv("TESSARIN_BENCH_APP_DIR");
    return outra != nullptr && *outra != '\0' ? fs::path(outra) : fs::path(TESSARIN_APP_DIR);
}

class Banco {
public:
    explicit Banco(std::string pasta) : pasta_(std::move(pasta)) {}

    bool preparar() {
        fs::copy(pastaPrograma(), pasta_ + "/app", fs::copy_options::recursive);
        fs::create_directories(pasta_ + "/home");
        ambiente_ = {"HOME=" + pasta_ + "/home"};

        // The microphone: a null sink's monitor of a private sound server.
        if (!servidor_.running()) {
            std::fprintf(stderr, "bench_app: the private sound server did not start\n");
            return false;
        }
        ambiente_.insert(ambiente_.end(), servidor_.environment().begin(),
                         servidor_.environment().end());
        escreverTom(pasta_ + "/steady.wav", 60.0);
        if (!microfone_.abrir(pasta_, ambiente_)) {
            std::fprintf(stderr, "bench_app: the microphone's pipe source did not load\n");
            return false;
        }
        usarMicrofone(true);

        if (!tela_.abrir(pasta_)) {
            std::fprintf(stderr, "bench_app: Xvfb did not start\n");
            return false;
        }
        ambiente_.push_back("DISPLAY=" + tela_.display());
        return true;
    }

    ~Banco() {
        microfone_.fechar();
        tocar(nullptr);
    }

    // What the microphone hears.
    void ouvir(Microfone::Som som) { microfone_.tocar(som); }

    // The capture's source from the next start on: the microphone, or the null sink's monitor.
    void usarMicrofone(bool microfone) {
        executar({"pactl", "set-default-source", microfone ? "mic" : "tone.monitor"}, ambiente_);
    }

    // Plays a tone file of the folder into the sink at real speed, replacing what played;
    // nullptr: silence.
    void tocar(const char* arquivo) {
        parar(tom_);
        tom_ = -1;
        // A short latency, as a microphone delivers sound as it comes (at its default latency,
        // the player alone on the null sink hands the monitor its sound in blocks of a second).
        if (arquivo != nullptr)
            tom_ = iniciar({"paplay", "--device=tone", "--latency-msec=20", pasta_ + "/" + arquivo},
                           ambiente_);
    }

    // The bare Qt window's CPU share and peak memory.
    bool medirPiso(double& razao, long& picoKb) {
        const pid_t piso = iniciar({TESSARIN_QT_FLOOR}, ambiente_);
        const auto janela = tela_.esperarJanela(kLargura, kAltura, 30000);
        if (piso < 0 || !janela) {
            std::fprintf(stderr, "bench_app: the bare Qt window did not show\n");
            parar(piso);
            return false;
        }
        const Medida m = medir(piso, "bare Qt window");
        razao = m.razao(m.cpu.total);
        picoKb = statusKb(piso, "VmHWM:");
        return encerrar(piso, *janela);
    }

    struct Tuner {
        pid_t pid = -1;
        xcb_window_t janela = 0;
        double msAteJanela = 0.0;
        Relogio::time_point inicio;
    };

    // Unpacks the Debian package into a root of its own, as dpkg would install it, with
    // English saved in the user's settings (and beside the program, which root may write).
    bool desempacotar(const std::string& pacote) {
        const std::string raiz = pasta_ + "/raiz";
        if (executar({"dpkg-deb", "-x", pacote, raiz}, ambiente_) != 0) return false;
        fs::create_directories(pasta_ + "/config/tessarin");
        for (const std::string& ini : {pasta_ + "/config/tessarin/tessarin.ini",
                                       raiz + "/usr/lib/tessarin/tessarin.ini"})
            std::ofstream(ini, std::ios::binary) << kConfiguracoes;
        return fs::exists(raiz + "/usr/bin/tessarin");
    }

    // Starts the tuner (by default the copy of the build's program folder, from that folder;
    // `instalado`: the unpacked package's command, from the scratch folder) and waits for its
    // main window.
    std::optional<Tuner> iniciarTuner(const std::vector<std::string>& extra = {},
                                      bool instalado = false,
                                      const char* configuracoes = kConfiguracoes) {
        std::ofstream(pasta_ + "/app/tessarin.ini", std::ios::binary) << configuracoes;
        std::vector<std::string> ambiente = ambiente_;
        ambiente.insert(ambiente.end(), extra.begin(), extra.end());
        ambiente.push_back("XDG_CONFIG_HOME=" + pasta_ + "/config");
        Tuner t;
        const auto t0 = Relogio::now();
        t.inicio = t0;
        t.pid = instalado ? iniciar({pasta_ + "/raiz/usr/bin/tessarin"}, ambiente, pasta_,
                                    pasta_ + "/tessarin.log")
                          : iniciar({pasta_ + "/app/tessarin"}, ambiente, pasta_ + "/app",
                                    pasta_ + "/tessarin.log");
        const auto janela = tela_.esperarJanela(kLargura, kAltura, 30000);
        t.msAteJanela = msDesde(t0, Relogio::now()) - kEsperaSplashMs;
        if (t.pid < 0 || !janela) {
            std::fprintf(stderr, "bench_app: the main window did not show (see %s)\n",
                         (pasta_ + "/tessarin.log").c_str());
            parar(t.pid);
            return std::nullopt;
        }
        t.janela = *janela;
        return t;
    }

    // Space on the main window: its selected string's reference note sounds. Then the peak
    // memory, once the synthesiser has played it.
    long picoAposNota(const Tuner& t) {
        const std::string id = std::to_string(t.janela);
        executar({"timeout", "5", "xdotool", "windowfocus", "--sync", id}, ambiente_);
        executar({"timeout", "5", "xdotool", "key", "--clearmodifiers", "space"}, ambiente_);
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return statusKb(t.pid, "VmHWM:");
    }

    // A start with no pitch cache: its time to the window is printed as TIME
    // startup_cold_cache_ms`sufixo`, its CPU time over its first seconds as RATIO
    // app_cpu_first_start/realtime`sufixo`; the program then runs until its background measuring
    // is done (which later starts find), whose CPU time is TIME pitch_measuring_cpu_s`sufixo`.
    bool primeiraPartida(const std::string& sufixo, const std::vector<std::string>& extra = {}) {
        std::error_code erro;
        fs::remove_all(pasta_ + "/home/.cache", erro);
        const auto tuner = iniciarTuner(extra);
        if (!tuner) return false;
        std::printf("TIME startup_cold_cache_ms%s %.0f\n", sufixo.c_str(), tuner->msAteJanela);
        std::fflush(stdout);
        std::this_thread::sleep_until(tuner->inicio + std::chrono::seconds(kSegundosPrimeiraPartida));
        const double cpuInicio = cpuProcessoNs(tuner->pid);
        if (cpuInicio >= 0.0)
            std::printf("RATIO app_cpu_first_start/realtime%s %.4f\n", sufixo.c_str(),
                        cpuInicio / (kSegundosPrimeiraPartida * 1e9));
        std::fflush(stdout);
        const auto limite = Relogio::now() + std::chrono::seconds(kSegundosMedicaoAfinacao);
        AmostraCpu ultima = amostrarCpu(tuner->pid);
        bool ocioso = false;
        while (!ocioso && Relogio::now() < limite) {
            const AmostraCpu antes = ultima;
            std::this_thread::sleep_for(std::chrono::seconds(2));
            ultima = amostrarCpu(tuner->pid);
            ocioso = cpuEntre(tuner->pid, antes, ultima).total < 0.02 * 2e9;
        }
        if (ocioso)
            std::printf("TIME pitch_measuring_cpu_s%s %.2f\n", sufixo.c_str(),
                        cpuDasThreads(ultima, kThreadMedicao) / 1e9);
        else
            std::printf("TIME pitch_measuring_cpu_s%s unavailable (still measuring after %d s)\n",
                        sufixo.c_str(), kSegundosMedicaoAfinacao);
        std::fflush(stdout);
        return encerrar(tuner->pid, tuner->janela);
    }

    // Closes a window as the user would; false when its program did not end.
    bool encerrar(pid_t pid, xcb_window_t janela) {
        tela_.fechar(janela);
        if (terminou(pid, 10000)) return true;
        std::fprintf(stderr, "bench_app: the program did not end after its window closed\n");
        parar(pid);
        return false;
    }

private:
    std::string pasta_;
    const testkit::PrivateSoundServer servidor_{false};
    std::vector<std::string> ambiente_;
    TelaVirtual tela_;
    Microfone microfone_;
    pid_t tom_ = -1;
};

int medirSoundFonts(Banco& banco);

int medirTudo(Banco& banco) {
    if (const char* so = std::getenv("TESSARIN_BENCH_APP_ONLY"); so != nullptr &&
                                                               std::string(so) == "soundfonts")
        return medirSoundFonts(banco);
    double razaoPiso = -1.0;
    long pisoKb = -1;
    if (!banco.medirPiso(razaoPiso, pisoKb)) return 1;
    std::printf("RATIO qt_floor_cpu/realtime %.4f\n", razaoPiso);
    std::printf("MEM qt_floor_rss_kb %ld\n", pisoKb);

    // A first start ever: the reference notes' pitch corrections are not known yet (they are
    // measured in the background while the program runs, long enough here to finish them).
    // The SoundFont that the project installs, so that the figures do not follow the machine's
    // choice of default (the other SoundFonts are measured below).
    std::vector<std::string> soundFontPadrao;
    if (fs::exists(kSoundFonts[0]))
        soundFontPadrao.push_back(std::string("MXMIDI32_SOUNDFONT=") + kSoundFonts[0]);
    banco.ouvir(Microfone::Som::mi2);
    if (!banco.primeiraPartida("", soundFontPadrao)) return 1;

    // Three starts with the needle at rest on an in-tune E2; the last one is measured.
    std::vector<double> partidas;
    for (int vez = 0; vez < 3; ++vez) {
        const auto tuner = banco.iniciarTuner(soundFontPadrao);
        if (!tuner) return 1;
        partidas.push_back(tuner->msAteJanela);
        if (vez < 2) {
            if (!banco.encerrar(tuner->pid, tuner->janela)) return 1;
            continue;
        }
        std::sort(partidas.begin(), partidas.end());
        std::printf("TIME startup_to_window_ms %.0f\n", partidas[partidas.size() / 2]);
        std::fflush(stdout);

        const Medida repouso = medir(tuner->pid, "needle at rest");
        std::printf("RATIO app_cpu_main/realtime %.4f\n", repouso.razao(repouso.cpu.principal));
        std::printf("RATIO app_cpu_capture/realtime %.4f\n", repouso.razao(repouso.cpu.captura));
        std::printf("RATIO app_cpu/realtime %.4f\n", repouso.razao(repouso.cpu.total));
        std::fflush(stdout);

        banco.ouvir(Microfone::Som::alternando);
        const Medida movendo = medir(tuner->pid, "needle moving");
        std::printf("RATIO app_cpu_main_moving/realtime %.4f\n",
                    movendo.razao(movendo.cpu.principal));
        std::printf("RATIO app_cpu_capture_moving/realtime %.4f\n",
                    movendo.razao(movendo.cpu.captura));
        std::printf("RATIO app_cpu_moving/realtime %.4f\n", movendo.razao(movendo.cpu.total));

        const long picoKb = statusKb(tuner->pid, "VmHWM:");
        std::printf("MEM app_rss_kb %ld\n", picoKb);
        std::printf("MEM app_anon_kb %ld\n", smapsKb(tuner->pid, "Anonymous:"));
        if (pisoKb > 0) std::printf("RATIO app_rss/qt_floor_rss %.2f\n", double(picoKb) / pisoKb);
        std::printf("MEM app_rss_kb_after_note %ld\n", banco.picoAposNota(*tuner));
        std::fflush(stdout);
        if (!banco.encerrar(tuner->pid, tuner->janela)) return 1;
    }

    // The fine reading: its own capture (16-bit, 20 ms buffers) and its reading, on a steady
    // E2 that starts once the window shows (the reading follows a note from its stroke) and on
    // silence (no figure, the needle at rest).
    {
        banco.ouvir(Microfone::Som::silencio);
        const auto tuner = banco.iniciarTuner(soundFontPadrao, false, kConfiguracoesFina);
        if (!tuner) return 1;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        banco.ouvir(Microfone::Som::mi2);
        const Medida fina = medir(tuner->pid, "fine reading, steady E2");
        std::printf("RATIO app_cpu_main_fine/realtime %.4f\n", fina.razao(fina.cpu.principal));
        std::printf("RATIO app_cpu_capture_fine/realtime %.4f\n", fina.razao(fina.cpu.captura));
        std::printf("RATIO app_cpu_fine/realtime %.4f\n", fina.razao(fina.cpu.total));
        banco.ouvir(Microfone::Som::silencio);
        const Medida silencio = medir(tuner->pid, "fine reading, silence");
        std::printf("RATIO app_cpu_fine_silence/realtime %.4f\n",
                    silencio.razao(silencio.cpu.total));
        std::fflush(stdout);
        if (!banco.encerrar(tuner->pid, tuner->janela)) return 1;
    }

    // The installed program, started from the package that tools/run-benchmarks.sh built.
    if (const char* pacote = std::getenv("TESSARIN_BENCH_PACOTE")) {
        if (!banco.desempacotar(pacote)) {
            std::printf("TIME startup_to_window_ms[installed] unavailable (%s not unpacked)\n",
                        pacote);
        } else {
            std::vector<double> instalado;
            for (int vez = 0; vez < 3; ++vez) {
                const auto tuner = banco.iniciarTuner({}, true);
                if (!tuner) return 1;
                instalado.push_back(tuner->msAteJanela);
                if (!banco.encerrar(tuner->pid, tuner->janela)) return 1;
            }
            std::sort(instalado.begin(), instalado.end());
            std::printf("TIME startup_to_window_ms[installed] %.0f\n", instalado[1]);
            std::fflush(stdout);
        }
    }

    // A source that hands on small pieces: the null sink's monitor behind a low-latency player.
    {
        banco.ouvir(Microfone::Som::silencio);
        banco.usarMicrofone(false);
        banco.tocar("steady.wav");
        const auto tuner = banco.iniciarTuner(soundFontPadrao);
        if (!tuner) return 1;
        const Medida monitor = medir(tuner->pid, "null sink monitor, needle at rest");
        std::printf("RATIO app_cpu_capture_monitor/realtime %.4f\n",
                    monitor.razao(monitor.cpu.captura));
        std::printf("RATIO app_cpu_monitor/realtime %.4f\n", monitor.razao(monitor.cpu.total));
        std::fflush(stdout);
        if (!banco.encerrar(tuner->pid, tuner->janela)) return 1;
        banco.tocar(nullptr);
        banco.usarMicrofone(true);
    }

    return medirSoundFonts(banco);
}

// Memory with each GM SoundFont: a first start, then a start, a few seconds of listening, one
// note.
int medirSoundFonts(Banco& banco) {
    banco.ouvir(Microfone::Som::mi2);
    for (const char* soundFont : kSoundFonts) {
        const std::string nome = fs::path(soundFont).filename();
        if (!fs::exists(soundFont)) {
            std::printf("MEM app_rss_kb[%s] unavailable (not installed)\n", nome.c_str());
            continue;
        }
        // Its pitch corrections are measured on a first start; the measured start knows them.
        const std::string escolha = std::string("MXMIDI32_SOUNDFONT=") + soundFont;
        if (!banco.primeiraPartida("[" + nome + "]", {escolha})) return 1;
        const auto tuner = banco.iniciarTuner({escolha});
        if (!tuner) return 1;
        std::printf("TIME startup_to_window_ms[%s] %.0f\n", nome.c_str(), tuner->msAteJanela);
        std::this_thread::sleep_for(std::chrono::milliseconds(kAcomodacaoMs));
        std::printf("MEM app_rss_kb[%s] %ld\n", nome.c_str(), statusKb(tuner->pid, "VmHWM:"));
        std::printf("MEM app_anon_kb[%s] %ld\n", nome.c_str(), smapsKb(tuner->pid, "Anonymous:"));
        std::printf("MEM app_rss_kb_after_note[%s] %ld\n", nome.c_str(),
                    banco.picoAposNota(*tuner));
        std::fflush(stdout);
        if (!banco.encerrar(tuner->pid, tuner->janela)) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // A pipe whose reader is gone answers an error rather than ending the benchmark.
    std::signal(SIGPIPE, SIG_IGN);
    if (!fs::exists(pastaPrograma() / "tessarin")) {
        std::fprintf(stderr, "bench_app: %s/tessarin is not built\n", pastaPrograma().c_str());
        return 1;
    }
    char modelo[] = "/tmp/tessarin-bench-app-XXXXXX";
    if (mkdtemp(modelo) == nullptr) return 1;
    const std::string pasta = modelo;
    int resultado = 1;
    {
        Banco banco(pasta);
        if (banco.preparar()) resultado = medirTudo(banco);
    }
    std::error_code erro;
    fs::remove_all(pasta, erro);
    return resultado;
}
