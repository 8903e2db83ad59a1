#include "alsa_env.h"

#include <alsa/asoundlib.h>
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tone.h"

namespace {

struct TempFolder {
    std::string path;
    TempFolder() {
        char name[] = "/tmp/tessarin-alsa-XXXXXX";
        if (mkdtemp(name) != nullptr) path = name;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
};

TempFolder& folder() {
    static TempFolder f;
    return f;
}

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* a =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)a;
    return *QCoreApplication::instance();
}

int countEntries(const char* dir) {
    int n = 0;
    if (DIR* d = opendir(dir)) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

}  // namespace

const std::vector<std::uint8_t>& captureFileBytes() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> b = {128, 0, 255};
        const auto tone = sineTone8(110.0, 11025, 30 * 4069, 100.0, 3);
        b.insert(b.end(), tone.begin(), tone.end());
        return b;
    }();
    return bytes;
}

void useAlsaConfig(const std::string& text) {
    app();
    static int serial = 0;
    const std::string conf = folder().path + "/asound" + std::to_string(++serial) + ".conf";
    std::ofstream(conf) << text << "\n";
    const std::string path = "/usr/share/alsa/alsa.conf:" + conf;
    setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
    snd_config_update_free_global();
}

void useToneConfig() {
    useCaptureBytes(captureFileBytes());
}

void useCaptureBytes(const std::vector<std::uint8_t>& bytes) {
    static int serial = 0;
    const std::string raw = folder().path + "/tone" + std::to_string(++serial) + ".raw";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    useAlsaConfig("pcm.!default { type file slave.pcm \"null\" file \"/dev/null\" infile \"" + raw +
                  "\" format \"raw\" }");
}

bool runUntil(const std::function<bool()>& done, int timeoutMs) {
    app();
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void runFor(int ms) {
    app();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int threadCount() {
    // Some runtimes (ThreadSanitizer) add a helper thread when the first thread is created.
    static const bool warmedUp = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)warmedUp;
    return countEntries("/proc/self/task");
}
int fdCount() {
    return countEntries("/proc/self/fd");
}
