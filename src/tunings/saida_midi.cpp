#include "saida_midi.h"

SaidaMIDI::SaidaMIDI() : SaidaMIDI(TMaxMidi::defaultLibraryPath()) {}

SaidaMIDI::SaidaMIDI(const std::string& caminhoBiblioteca)
    : biblioteca_(std::make_unique<TMaxMidi>(nullptr, caminhoBiblioteca)),
      saida_(std::make_unique<TMaxMidiOut>()) {
    saida_->setMaxMidi(biblioteca_.get());
    abrir();
    enviarMensagem(0xC0, kProgramaInicial, 0);
}

void SaidaMIDI::abrir() {
    // The mapper (-1) first, then the devices in their numbering; the first that opens stays.
    // A device that does not open leaves the output closed without an error.
    const int dispositivos = saida_->NumDevices();
    for (int d = -1; d < dispositivos && !saida_->IsOpen(); ++d) {
        dispositivo_ = d;
        saida_->Open(d, kParametroAbertura);
    }
}

SaidaMIDI::~SaidaMIDI() {
    if (saida_->IsOpen()) {
        saida_->Flush();
        saida_->Reset();
        saida_->Close();
    }
    saida_.reset();
    biblioteca_.reset();
}

bool SaidaMIDI::enviarMensagem(std::uint8_t status, std::uint8_t dado1, std::uint8_t dado2) {
    MIDIEVENT evento{};
    evento.status = status;
    evento.data1 = dado1;
    evento.data2 = dado2;
    return saida_->Put(evento);  // does nothing while closed
}

void SaidaMIDI::selecionarPrograma(std::uint8_t canal, std::uint8_t programa) {
    enviarMensagem(static_cast<std::uint8_t>(0xB0 + canal), 0, 0);
    enviarMensagem(static_cast<std::uint8_t>(0xC0 + canal), programa, 0);
}

void SaidaMIDI::silenciar() {
    if (saida_->IsOpen()) saida_->Reset();
}
