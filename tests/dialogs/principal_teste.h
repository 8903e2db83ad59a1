#pragma once
// What the main window's command tests share: running an action once the modal window that the
// next command opens is up, and counting the buffers a recorder completes.

#include <QTimer>
#include <functional>

#include "audio_client_event.h"
#include "component.h"

// Runs `acao` once the modal window that the next command opens is running.
inline void quandoModal(std::function<void()> acao) {
    QTimer::singleShot(0, [acao = std::move(acao)] { acao(); });
}

// A recorder client that counts the completed buffers it hears of.
class ContadorBuffers : public TComponent {
public:
    int buffers = 0;
    void aoNotificar(TComponent*, std::uint8_t tipo) {
        if (tipo == kAudioBufferReady) ++buffers;
    }
};
