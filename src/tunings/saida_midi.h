#pragma once
// SaidaMIDI: the reference-tone output. It opens the first MIDI output of the driver library
// that works (the mapper first, then the devices in their numbering), selects the first program
// and sends single short messages on it. With no output open it stays silent, without a message.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "maxmidi.h"

class SaidaMIDI {
public:
    // Open parameter handed to every output the constructor tries.
    static constexpr std::uint32_t kParametroAbertura = 78624;
    // Program selected on channel 0 when the output opens (as sent, counting from 0).
    static constexpr std::uint8_t kProgramaInicial = 27;

    // Loads the driver library from the program's folder. Raises EMaxMidiException when it
    // cannot be loaded or lacks a procedure.
    SaidaMIDI();
    // Same, with the library at `caminhoBiblioteca`.
    explicit SaidaMIDI(const std::string& caminhoBiblioteca);
    // Flushes, resets and closes an open output, then releases the library.
    ~SaidaMIDI();

    SaidaMIDI(const SaidaMIDI&) = delete;
    SaidaMIDI& operator=(const SaidaMIDI&) = delete;

    // Sends one short message now; nothing while the output is closed. False when nothing was
    // sent or the output refused the message (for a note on: it cannot sound).
    bool enviarMensagem(std::uint8_t status, std::uint8_t dado1, std::uint8_t dado2);
    // Bank select 0, then the program change, on the channel.
    void selecionarPrograma(std::uint8_t canal, std::uint8_t programa);
    // Stops every sounding note; the selected program stays. Nothing while closed.
    void silenciar();
    // Moves the channel's notes by `cents` from equal temperament at A4 = 440 Hz (the concert
    // pitch): the registered parameters channel coarse tuning (whole semitones) and channel
    // fine tuning (the rest, within a semitone either way, to 1/8192 of a semitone), then no
    // parameter selected. Limited to ±6300 cents.
    void afinarCanal(std::uint8_t canal, double cents);
    // A shift of `cents` as the reference notes make it: whole semitones by playing another
    // key (each key is corrected to its own equal-tempered pitch), the rest, within half a
    // semitone, by the channel's tuning (a synthesiser's pitch stays truest near the sample's
    // own).
    struct Transposicao {
        int semitons = 0;
        double cents = 0.0;
    };
    static Transposicao transposicao(double cents);
    // The messages afinarCanal sends.
    struct Mensagem {
        std::uint8_t status, dado1, dado2;
    };
    static std::array<Mensagem, 9> mensagensAfinacao(std::uint8_t canal, double cents);

    bool estaAberta() const { return saida_->IsOpen(); }
    // The device last tried at construction (-1 is the mapper).
    int getDispositivo() const { return dispositivo_; }

private:
    void abrir();

    int dispositivo_ = -1;
    std::unique_ptr<TMaxMidi> biblioteca_;
    std::unique_ptr<TMaxMidiOut> saida_;
};
