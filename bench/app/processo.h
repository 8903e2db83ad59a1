#pragma once
// Child processes of the whole-program benchmark, and what /proc tells about them: CPU time per
// thread and memory.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace bench {

using Relogio = std::chrono::steady_clock;

double msDesde(Relogio::time_point t0, Relogio::time_point t1);

// A child process started with the current environment plus `extra` (NAME=value, replacing a
// variable of the same name), in `pasta` when given, its output in `saida`. -1 when it cannot
// start.
pid_t iniciar(const std::vector<std::string>& argumentos, const std::vector<std::string>& extra,
              const std::string& pasta = {}, const std::string& saida = "/dev/null");
// Runs a command to its end; its exit status, or -1.
int executar(const std::vector<std::string>& argumentos, const std::vector<std::string>& extra);
// Whether the child ended within `esperaMs` (it is reaped then).
bool terminou(pid_t pid, int esperaMs);
// Asks the child to end, then ends it.
void parar(pid_t pid);

// One thread's name and the CPU time it has used so far.
struct TempoThread {
    std::string nome;
    double ns = 0.0;
};
// Every thread of a process, by thread id.
using AmostraCpu = std::map<pid_t, TempoThread>;
AmostraCpu amostrarCpu(pid_t pid);

// CPU time between two samples of one process, split by thread.
struct CpuPorThread {
    double principal = 0.0;  // the thread that runs main()
    double captura = 0.0;    // the threads that capture sound (ours and the sound library's)
    double total = 0.0;      // every thread
};
// A thread that started after `antes` counts from zero; one that ended before `depois` is lost.
CpuPorThread cpuEntre(pid_t pid, const AmostraCpu& antes, const AmostraCpu& depois);

// Each thread's CPU time between the samples, "name: ms" per line (diagnostics).
std::string detalharCpu(const AmostraCpu& antes, const AmostraCpu& depois);

// Whether a thread of this name captures sound: our capture thread, and the main-loop thread of
// the PulseAudio client library (through ALSA's pulse plugin or our own connection).
bool threadDeCaptura(const std::string& nome);

// CPU time the whole process has used so far, in ns, its ended threads included (from
// /proc/<pid>/stat, to the clock tick); -1 when it cannot be read.
double cpuProcessoNs(pid_t pid);

// CPU time of the threads called `nome` in the sample, in ns.
double cpuDasThreads(const AmostraCpu& amostra, const std::string& nome);

// A field of /proc/<pid>/smaps_rollup in kB ("Anonymous:", "Rss:"); -1 when it cannot be read.
long smapsKb(pid_t pid, const char* campo);

// A field of /proc/<pid>/status in kB ("VmHWM:", "VmRSS:"); -1 when it cannot be read.
long statusKb(pid_t pid, const char* campo);

}  // namespace bench
