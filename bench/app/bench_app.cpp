// The whole program, as a user runs it: start-up time to the main window, and the CPU time and
// memory of a run with the window shown, capture running from a real-time-paced source and the
// needle moving.
//
// The program runs from a copy of the build's program folder (English as its language) on a
// virtual screen (Xvfb). The microphone is a private PulseAudio daemon's null sink monitor, into
// which a tone is played at real speed; the tone alternates between E2 and three bins above it
// every 0.7 s, so the needle keeps moving. Prints:
//   TIME startup_to_window_ms <n>   process start to the main window mapped, less the 1 s splash
//                                   wait (median of three starts)
//   RATIO app_cpu/realtime <x>      the program's CPU time over 20 s of running, / 20 s
//   MEM app_rss_kb <n>              the program's peak resident memory
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Relogio = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr double kSegundosMedidos = 20.0;
constexpr int kEsperaSplashMs = 1000;

double msDesde(Relogio::time_point t0, Relogio::time_point t1) {
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

// A child process started with the current environment plus `extra`.
pid_t iniciar(const std::vector<std::string>& argumentos, const std::vector<std::string>& extra,
              const std::string& pasta = {}, const std::string& saida = "/dev/null") {
    std::vector<std::string> ambiente;
    for (char** e = environ; *e != nullptr; ++e) ambiente.emplace_back(*e);
    for (const std::string& v : extra) {
        const std::string nome = v.substr(0, v.find('=') + 1);
        std::erase_if(ambiente, [&](const std::string& a) { return a.rfind(nome, 0) == 0; });
        ambiente.push_back(v);
    }
    std::vector<char*> argv;
    for (const auto& a : argumentos) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& a : ambiente) envp.push_back(a.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t acoes;
    posix_spawn_file_actions_init(&acoes);
    posix_spawn_file_actions_addopen(&acoes, 1, saida.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&acoes, 1, 2);
    if (!pasta.empty()) posix_spawn_file_actions_addchdir_np(&acoes, pasta.c_str());
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &acoes, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&acoes);
    return pid;
}

int executar(const std::vector<std::string>& argumentos, const std::vector<std::string>& extra) {
    const pid_t pid = iniciar(argumentos, extra);
    if (pid < 0) return -1;
    int estado = 0;
    waitpid(pid, &estado, 0);
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
}

bool terminou(pid_t pid, int esperaMs) {
    const auto fim = Relogio::now() + std::chrono::milliseconds(esperaMs);
    do {
        int estado = 0;
        if (waitpid(pid, &estado, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (Relogio::now() < fim);
    return false;
}

void parar(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (!terminou(pid, 3000)) {
        kill(pid, SIGKILL);
        terminou(pid, 3000);
    }
}

// CPU time of every thread of the process, in nanoseconds.
double cpuNs(pid_t pid) {
    double total = 0.0;
    std::error_code erro;
    for (const auto& t : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", erro)) {
        std::ifstream entrada(t.path() / "schedstat");
        double ns = 0.0;
        if (entrada >> ns) total += ns;
    }
    return total;
}

long statusKb(pid_t pid, const char* campo) {
    std::ifstream entrada("/proc/" + std::to_string(pid) + "/status");
    for (std::string linha; std::getline(entrada, linha);) {
        if (linha.rfind(campo, 0) == 0)
            return std::strtol(linha.c_str() + std::strlen(campo), nullptr, 10);
    }
    return -1;
}

// 16-bit mono WAV at 44100 Hz: E2 and three analyser bins above it, alternating every 0.7 s.
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
    const double frequencias[2] = {82.4069, 125.0 * 11025.0 / 16384.0};
    double fase = 0.0;
    for (std::uint32_t i = 0; i < quadros; ++i) {
        const int trecho = static_cast<int>(i / (0.7 * taxa)) % 2;
        fase += 2.0 * M_PI * frequencias[trecho] / taxa;
        u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(12000.0 * std::sin(fase))));
    }
}

struct Tela {
    pid_t xvfb = -1;
    std::string display;
    xcb_connection_t* conexao = nullptr;
    xcb_window_t raiz = 0;

    bool abrir(const std::string& pasta) {
        const std::string arquivo = pasta + "/display";
        int fd = ::open(arquivo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return false;
        if (fd != 5) {
            dup2(fd, 5);
            ::close(fd);
        }
        xvfb = iniciar({"Xvfb", "-displayfd", "5", "-screen", "0", "1024x768x24", "-dpi", "96",
                        "-nolisten", "tcp"},
                       {});
        ::close(5);
        for (int i = 0; i < 200 && display.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            std::ifstream entrada(arquivo);
            std::string numero;
            if (std::getline(entrada, numero) && !numero.empty()) display = ":" + numero;
        }
        if (display.empty()) return false;
        conexao = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(conexao)) return false;
        raiz = xcb_setup_roots_iterator(xcb_get_setup(conexao)).data->root;
        const std::uint32_t mascara = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(conexao, raiz, XCB_CW_EVENT_MASK, &mascara);
        xcb_flush(conexao);
        return true;
    }

    // Waits for a window of that size to be mapped; its id, or nothing after `esperaMs`.
    std::optional<xcb_window_t> esperarJanela(int largura, int altura, int esperaMs) {
        const auto fim = Relogio::now() + std::chrono::milliseconds(esperaMs);
        while (Relogio::now() < fim) {
            xcb_generic_event_t* evento = xcb_poll_for_event(conexao);
            if (evento == nullptr) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            std::optional<xcb_window_t> achada;
            if ((evento->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto* mapa = reinterpret_cast<xcb_map_notify_event_t*>(evento);
                auto* g = xcb_get_geometry_reply(conexao, xcb_get_geometry(conexao, mapa->window),
                                                 nullptr);
                if (g != nullptr && g->width == largura && g->height == altura)
                    achada = mapa->window;
                std::free(g);
            }
            std::free(evento);
            if (achada) return achada;
        }
        return std::nullopt;
    }

    xcb_atom_t atomo(const char* nome) {
        auto* r = xcb_intern_atom_reply(
            conexao,
            xcb_intern_atom(conexao, 0, static_cast<std::uint16_t>(std::strlen(nome)), nome),
            nullptr);
        const xcb_atom_t a = r != nullptr ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(r);
        return a;
    }

    // What a window manager sends when the user closes a window.
    void fechar(xcb_window_t janela) {
        xcb_client_message_event_t m{};
        m.response_type = XCB_CLIENT_MESSAGE;
        m.format = 32;
        m.window = janela;
        m.type = atomo("WM_PROTOCOLS");
        m.data.data32[0] = atomo("WM_DELETE_WINDOW");
        m.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(conexao, 0, janela, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<char*>(&m));
        xcb_flush(conexao);
    }

    ~Tela() {
        if (conexao != nullptr) xcb_disconnect(conexao);
        parar(xvfb);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const fs::path origem = fs::path(TESSARIN_APP_DIR);
    if (!fs::exists(origem / "tessarin")) {
        std::fprintf(stderr, "bench_app: %s/tessarin is not built\n", origem.c_str());
        return 1;
    }
    char modelo[] = "/tmp/tessarin-bench-app-XXXXXX";
    if (mkdtemp(modelo) == nullptr) return 1;
    const std::string pasta = modelo;
    fs::copy(origem, pasta + "/app", fs::copy_options::recursive);
    fs::create_directories(pasta + "/run");
    fs::permissions(pasta + "/run", fs::perms::owner_all);
    fs::create_directories(pasta + "/home");
    const std::vector<std::string> extra = {"XDG_RUNTIME_DIR=" + pasta + "/run",
                                            "HOME=" + pasta + "/home"};

    // The microphone: a null sink's monitor, fed at real speed.
    executar({"pulseaudio", "-n", "--daemonize=yes", "--exit-idle-time=-1",
              "--log-target=file:" + pasta + "/pulse.log", "--load=module-native-protocol-unix",
              "--load=module-null-sink sink_name=tone"},
             extra);
    for (int i = 0; i < 50 && executar({"pactl", "info"}, extra) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    executar({"pactl", "set-default-source", "tone.monitor"}, extra);
    escreverTom(pasta + "/tone.wav", 120.0);
    // A short latency, as a microphone delivers sound as it comes (at its default latency,
    // the player alone on the null sink hands the monitor its sound in blocks of a second).
    const pid_t tom =
        iniciar({"paplay", "--device=tone", "--latency-msec=20", pasta + "/tone.wav"}, extra);

    int resultado = 0;
    {
        Tela tela;
        if (!tela.abrir(pasta)) {
            std::fprintf(stderr, "bench_app: Xvfb did not start\n");
            resultado = 1;
        }
        std::vector<double> partidas;
        double razao = -1.0;
        long memoria = -1;
        std::vector<std::string> ambiente = extra;
        ambiente.push_back("DISPLAY=" + tela.display);
        for (int vez = 0; vez < 3 && resultado == 0; ++vez) {
            std::ofstream(pasta + "/app/tessarin.ini", std::ios::binary)
                << "[geral]\r\nidioma=English\r\nafinacaoSelecionada=0\r\ntipoSistema=0\r\n";
            const auto t0 = Relogio::now();
            const pid_t programa = iniciar({pasta + "/app/tessarin"}, ambiente, pasta + "/app",
                                           pasta + "/tessarin.log");
            const auto janela = tela.esperarJanela(802, 532, 30000);
            const auto t1 = Relogio::now();
            if (programa < 0 || !janela) {
                std::fprintf(stderr, "bench_app: the main window did not show (see %s)\n",
                             (pasta + "/tessarin.log").c_str());
                parar(programa);
                resultado = 1;
                break;
            }
            partidas.push_back(msDesde(t0, t1) - kEsperaSplashMs);
            if (vez == 2) {
                // Let capture and the display loop settle, then measure.
                std::this_thread::sleep_for(std::chrono::seconds(2));
                const double c0 = cpuNs(programa);
                const auto w0 = Relogio::now();
                std::this_thread::sleep_for(std::chrono::duration<double>(kSegundosMedidos));
                const double c1 = cpuNs(programa);
                const auto w1 = Relogio::now();
                razao = (c1 - c0) / 1e6 / msDesde(w0, w1);
                memoria = statusKb(programa, "VmHWM:");
            }
            tela.fechar(*janela);
            if (!terminou(programa, 10000)) {
                std::fprintf(stderr,
                             "bench_app: the program did not end after its window closed\n");
                parar(programa);
                resultado = 1;
            }
        }
        if (!partidas.empty()) {
            std::sort(partidas.begin(), partidas.end());
            std::printf("TIME startup_to_window_ms %.0f\n", partidas[partidas.size() / 2]);
        }
        if (razao >= 0.0) {
            std::printf("RATIO app_cpu/realtime %.4f\n", razao);
            std::printf("MEM app_rss_kb %ld\n", memoria);
        }
    }

    parar(tom);
    executar({"pulseaudio", "--kill"}, extra);
    std::error_code erro;
    fs::remove_all(pasta, erro);
    return resultado;
}
