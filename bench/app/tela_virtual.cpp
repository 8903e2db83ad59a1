#include "tela_virtual.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "processo.h"

namespace bench {

TelaVirtual::~TelaVirtual() {
    if (conexao_ != nullptr) xcb_disconnect(conexao_);
    parar(xvfb_);
}

bool TelaVirtual::abrir(const std::string& pasta) {
    const std::string arquivo = pasta + "/display";
    int fd = ::open(arquivo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    if (fd != 5) {
        dup2(fd, 5);
        ::close(fd);
    }
    xvfb_ = iniciar({"Xvfb", "-displayfd", "5", "-screen", "0", "1024x768x24", "-dpi", "96",
                     "-nolisten", "tcp"},
                    {});
    ::close(5);
    for (int i = 0; i < 200 && display_.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::ifstream entrada(arquivo);
        std::string numero;
        if (std::getline(entrada, numero) && !numero.empty()) display_ = ":" + numero;
    }
    if (display_.empty()) return false;
    conexao_ = xcb_connect(display_.c_str(), nullptr);
    if (xcb_connection_has_error(conexao_)) return false;
    raiz_ = xcb_setup_roots_iterator(xcb_get_setup(conexao_)).data->root;
    const std::uint32_t mascara = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(conexao_, raiz_, XCB_CW_EVENT_MASK, &mascara);
    xcb_flush(conexao_);
    return true;
}

std::optional<xcb_window_t> TelaVirtual::esperarJanela(int largura, int altura, int esperaMs) {
    const auto fim = Relogio::now() + std::chrono::milliseconds(esperaMs);
    while (Relogio::now() < fim) {
        xcb_generic_event_t* evento = xcb_poll_for_event(conexao_);
        if (evento == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        std::optional<xcb_window_t> achada;
        if ((evento->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto* mapa = reinterpret_cast<xcb_map_notify_event_t*>(evento);
            auto* g = xcb_get_geometry_reply(conexao_, xcb_get_geometry(conexao_, mapa->window),
                                             nullptr);
            if (g != nullptr && g->width == largura && g->height == altura) achada = mapa->window;
            std::free(g);
        }
        std::free(evento);
        if (achada) return achada;
    }
    return std::nullopt;
}

xcb_atom_t TelaVirtual::atomo(const char* nome) {
    auto* r = xcb_intern_atom_reply(
        conexao_,
        xcb_intern_atom(conexao_, 0, static_cast<std::uint16_t>(std::strlen(nome)), nome),
        nullptr);
    const xcb_atom_t a = r != nullptr ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(r);
    return a;
}

void TelaVirtual::fechar(xcb_window_t janela) {
    xcb_client_message_event_t m{};
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = janela;
    m.type = atomo("WM_PROTOCOLS");
    m.data.data32[0] = atomo("WM_DELETE_WINDOW");
    m.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(conexao_, 0, janela, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<char*>(&m));
    xcb_flush(conexao_);
}

}  // namespace bench
