#pragma once
// SeletorAlvo: which target a pitch found without a selected string is read against. Over the
// strings of a tuning (the automatic string) it is the string whose target is nearest in cents;
// over the equal-tempered scale (the chromatic reading) the nearest note, from E1 to C7, at the
// concert pitch given. The target chosen last is kept until another one is nearer by more than
// kHisterese cents: a note halfway between two strings stays on one of them, and a string
// played 40 cents flat is still itself and not its neighbour.

#include <vector>

class SeletorAlvo {
public:
    static constexpr double kHisterese = 20.0;  // cents
    static constexpr int kMenorNota = 28;        // E1, MIDI numbering
    static constexpr int kMaiorNota = 96;        // C7

    struct Escolha {
        int indice = -1;   // the string's index, or the note's MIDI number; -1: none
        double hz = 0.0;   // its target
    };

    // Chooses among these string targets (Hz); forgets the previous choice.
    void setCordas(std::vector<double> alvos);
    // Chooses among the notes kMenorNota..kMaiorNota with A4 at `la4` Hz; forgets the choice.
    void setCromatico(double la4);
    bool cromatico() const { return cromatico_; }
    // Forgets the previous choice (the next one is the nearest, without hysteresis).
    void esquecer() { atual_ = Escolha{}; }

    // The target for a pitch of `hz`, which becomes the current choice; none for a pitch that
    // is not positive or when there is nothing to choose from.
    Escolha escolher(double hz);
    const Escolha& atual() const { return atual_; }

    // The equal-tempered frequency of MIDI note `nota` with A4 at `la4` Hz.
    static double hzNota(int nota, double la4);

private:
    // Distance in cents (absolute) from `hz` to the candidate `i`.
    double distancia(double hz, int i) const;
    double alvoDe(int i) const;

    bool cromatico_ = false;
    double la4_ = 440.0;
    std::vector<double> alvos_;
    Escolha atual_;
};
