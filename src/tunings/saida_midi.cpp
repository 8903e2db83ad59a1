#include "saida_midi.h"

#include <algorithm>
#include <cmath>

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

std::array<SaidaMIDI::Mensagem, 9> SaidaMIDI::mensagensAfinacao(std::uint8_t canal,
                                                                double cents) {
    const double c = std::isfinite(cents) ? std::clamp(cents, -6300.0, 6300.0) : 0.0;
    const double semitons = std::round(c / 100.0);
    const int grossa = 64 + static_cast<int>(semitons);
    const int fina = std::clamp(
        8192 + static_cast<int>(std::lround((c - 100.0 * semitons) * 8192.0 / 100.0)), 0, 16383);
    const auto k = static_cast<std::uint8_t>(0xB0 + (canal & 0x0F));
    const auto b = [](int v) { return static_cast<std::uint8_t>(v & 0x7F); };
    return {{{k, 101, 0}, {k, 100, 2}, {k, 6, b(grossa)},                    // coarse tuning
             {k, 101, 0}, {k, 100, 1}, {k, 6, b(fina >> 7)}, {k, 38, b(fina)},  // fine tuning
             // none selected: a stray data entry changes nothing
             {k, 101, 127}, {k, 100, 127}}};
}

SaidaMIDI::Transposicao SaidaMIDI::transposicao(double cents) {
    if (!std::isfinite(cents)) return Transposicao{};
    Transposicao t;
    const double c = std::clamp(cents, -6300.0, 6300.0);
    t.semitons = static_cast<int>(std::lround(c / 100.0));
    t.cents = c - 100.0 * t.semitons;
    return t;
}

void SaidaMIDI::afinarCanal(std::uint8_t canal, double cents) {
    for (const Mensagem& m : mensagensAfinacao(canal, cents))
        enviarMensagem(m.status, m.dado1, m.dado2);
}

void SaidaMIDI::silenciar() {
    if (saida_->IsOpen()) saida_->Reset();
}
