#pragma once
// Afinacao: one tuning — instrument, tuning type, and per string the MIDI note, its note name and
// its reference frequency in Hz — plus the band test that tells the pitch estimator whether a
// measured frequency may belong to a string.

#include <string>
#include <vector>

// Number of entries of the MIDI frequency table: notes 0 to 126.
constexpr int kNotasMIDI = 127;

// Note name of MIDI note n (n mod 12 of "C", "C#", ..., "B"), without octave. n >= 0.
const std::string& nomeNotaMIDI(int nota);
// Reference frequency of MIDI note n, 0 <= n <= 126: 440 * 2^((n - 69) / 12) Hz.
double frequenciaNotaMIDI(int nota);

class Afinacao {
public:
    Afinacao(std::string instrumento, std::string tipoAfinacao, int numeroCordas,
             std::vector<std::string> nomesNotas, std::vector<int> notasMIDI,
             std::vector<double> frequencias);

    // A tuning from its strings' MIDI notes (each 0..126), their names and frequencies derived
    // from them. Raises Exception for no string or a note outside the table.
    static Afinacao deNotas(std::string instrumento, std::string tipoAfinacao,
                            const std::vector<int>& notasMIDI);

    // The same tuning moved by whole semitones (a capo on the second fret: +2; half a step
    // down: -1): notes, names and frequencies follow; a note leaving the table stops at its end.
    Afinacao deslocada(int semitons) const;

    // Same texts and notes (names and frequencies follow from the notes).
    bool operator==(const Afinacao& outra) const {
        return instrumento_ == outra.instrumento_ && tipoAfinacao_ == outra.tipoAfinacao_ &&
               notasMIDI_ == outra.notasMIDI_;
    }

    const std::vector<int>& getNotasMIDI() const { return notasMIDI_; }
    const std::string& getInstrumento() const { return instrumento_; }
    const std::string& getTipoAfinacao() const { return tipoAfinacao_; }
    int getNumeroCordas() const { return numeroCordas_; }
    const std::string& getNomeNota(int corda) const { return nomesNotas_[corda]; }
    int getNotaMIDI(int corda) const { return notasMIDI_[corda]; }
    double getFrequencia(int corda) const { return frequencias_[corda]; }

    void setInstrumento(std::string texto) { instrumento_ = std::move(texto); }
    void setTipoAfinacao(std::string texto) { tipoAfinacao_ = std::move(texto); }

    // "Instrument (Type) - N1, N2, ..., Nk"; without " (Type)" when the type is empty.
    std::string getDescricao() const;

    // True when the whole number of Hz lies within ±2/9 of the string's reference frequency,
    // both bounds included.
    bool estaNaFaixa(int frequencia, int corda) const;

private:
    std::string instrumento_;
    std::string tipoAfinacao_;
    int numeroCordas_;
    std::vector<std::string> nomesNotas_;
    std::vector<int> notasMIDI_;
    std::vector<double> frequencias_;
};
