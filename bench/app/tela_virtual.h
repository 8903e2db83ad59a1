#pragma once
// A virtual screen (Xvfb) for the whole-program benchmark, watched through XCB: it reports the
// windows that are mapped and closes a window as a window manager would.

#include <sys/types.h>
#include <xcb/xcb.h>

#include <optional>
#include <string>

namespace bench {

class TelaVirtual {
public:
    TelaVirtual() = default;
    ~TelaVirtual();
    TelaVirtual(const TelaVirtual&) = delete;
    TelaVirtual& operator=(const TelaVirtual&) = delete;

    // Starts Xvfb (its display number written to a file in `pasta`) and connects to it.
    bool abrir(const std::string& pasta);
    // ":<n>", once open.
    const std::string& display() const { return display_; }

    // Waits for a window of that size to be mapped; its id, or nothing after `esperaMs`.
    std::optional<xcb_window_t> esperarJanela(int largura, int altura, int esperaMs);
    // What a window manager sends when the user closes a window.
    void fechar(xcb_window_t janela);

private:
    xcb_atom_t atomo(const char* nome);

    pid_t xvfb_ = -1;
    std::string display_;
    xcb_connection_t* conexao_ = nullptr;
    xcb_window_t raiz_ = 0;
};

}  // namespace bench
