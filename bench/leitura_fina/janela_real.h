#pragma once
// The fine reading as a player meets it: the program's own main window (offscreen), in the fine
// reading, capturing from a private sound server whose default source is a pipe that this
// benchmark feeds at real speed in 10 ms blocks. The window's figure is recorded after each of
// its ticks; each item's readings are timed from the moment its first sample went into the
// sound server, so all the audio latency counts.

#include <memory>
#include <string>
#include <vector>

#include "material.h"
#include "metrica.h"

namespace testkit {
class PrivateSoundServer;
}
class TformPrincipal;

namespace bench {

class JanelaReal {
public:
    JanelaReal();
    ~JanelaReal();

    // The sound server, the pipe source, the program's languages and a tuning file in
    // `pasta`, and the window. False (with the reason on stderr) when any is missing.
    bool abrir(const std::string& pasta, int& argc, char** argv);

    // Plays the items, each after half a second of silence during which its string is
    // selected (which starts the reading afresh), and returns each item's readings.
    std::vector<std::vector<Leitura>> tocar(const std::vector<Item>& itens);

    // Ticks whose label did not show the figure the reading gave (to a tenth of a cent).
    int desacordos() const { return desacordos_; }
    // The sound server's kind ("pulseaudio", "pipewire").
    std::string servidor() const;

private:
    std::string pasta_;
    std::unique_ptr<testkit::PrivateSoundServer> servidor_;
    std::unique_ptr<TformPrincipal> form_;
    int tubo_ = -1;
    int desacordos_ = 0;
};

}  // namespace bench
