#include "processo.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;

double msDesde(Relogio::time_point t0, Relogio::time_point t1) {
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

pid_t iniciar(const std::vector<std::string>& argumentos, const std::vector<std::string>& extra,
              const std::string& pasta, const std::string& saida) {
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

AmostraCpu amostrarCpu(pid_t pid) {
    AmostraCpu amostra;
    std::error_code erro;
    for (const auto& t : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", erro)) {
        TempoThread tempo;
        std::ifstream(t.path() / "comm") >> tempo.nome;
        if (!(std::ifstream(t.path() / "schedstat") >> tempo.ns)) continue;
        amostra[static_cast<pid_t>(std::atoi(t.path().filename().c_str()))] = tempo;
    }
    return amostra;
}

bool threadDeCaptura(const std::string& nome) {
    return nome == "wavein-capture" || nome == "threaded-ml";
}

CpuPorThread cpuEntre(pid_t pid, const AmostraCpu& antes, const AmostraCpu& depois) {
    CpuPorThread cpu;
    for (const auto& [tid, tempo] : depois) {
        const auto anterior = antes.find(tid);
        const double ns = tempo.ns - (anterior != antes.end() ? anterior->second.ns : 0.0);
        cpu.total += ns;
        if (tid == pid)
            cpu.principal += ns;
        else if (threadDeCaptura(tempo.nome))
            cpu.captura += ns;
    }
    return cpu;
}

std::string detalharCpu(const AmostraCpu& antes, const AmostraCpu& depois) {
    std::string texto;
    for (const auto& [tid, tempo] : depois) {
        const auto anterior = antes.find(tid);
        const double ns = tempo.ns - (anterior != antes.end() ? anterior->second.ns : 0.0);
        texto += "  " + std::to_string(tid) + " " + tempo.nome + ": " +
                 std::to_string(static_cast<long>(ns / 1e6)) + " ms\n";
    }
    return texto;
}

double cpuProcessoNs(pid_t pid) {
    std::ifstream entrada("/proc/" + std::to_string(pid) + "/stat");
    std::string texto;
    if (!std::getline(entrada, texto)) return -1.0;
    // The command's name is in parentheses and may hold spaces: the fields follow the last ')'.
    const auto fim = texto.rfind(')');
    if (fim == std::string::npos) return -1.0;
    std::istringstream campos(texto.substr(fim + 2));
    std::string campo;
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
    for (int i = 3; i < 14 && campos >> campo; ++i) {
    }
    double utime = 0.0, stime = 0.0;
    if (!(campos >> utime >> stime)) return -1.0;
    return (utime + stime) * 1e9 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double cpuDasThreads(const AmostraCpu& amostra, const std::string& nome) {
    double ns = 0.0;
    for (const auto& [tid, tempo] : amostra) {
        if (tempo.nome == nome) ns += tempo.ns;
    }
    return ns;
}

long smapsKb(pid_t pid, const char* campo) {
    std::ifstream entrada("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string linha; std::getline(entrada, linha);) {
        if (linha.rfind(campo, 0) == 0)
            return std::strtol(linha.c_str() + std::strlen(campo), nullptr, 10);
    }
    return -1;
}

long statusKb(pid_t pid, const char* campo) {
    std::ifstream entrada("/proc/" + std::to_string(pid) + "/status");
    for (std::string linha; std::getline(entrada, linha);) {
        if (linha.rfind(campo, 0) == 0)
            return std::strtol(linha.c_str() + std::strlen(campo), nullptr, 10);
    }
    return -1;
}

}  // namespace bench
