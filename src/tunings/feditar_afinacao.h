#pragma once
// TformEditarAfinacao: the window in which the user makes or changes a tuning of their own:
// the instrument, the tuning's name, four to six strings, and each string's note picked by
// name and octave (its frequency at the concert pitch shown beside it). Drawn like the tuning
// chooser, on its background; Tab goes through the fields, Return confirms, Escape cancels.

#include <QDialog>
#include <array>
#include <optional>

#include "afinacao.h"
#include "botao_skin.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class TImage;

class TformEditarAfinacao : public QDialog {
public:
    // Opens on `inicial` (a copy's source, or the tuning to change); the frequencies shown are
    // at A4 = `diapasaoHz`.
    TformEditarAfinacao(QWidget* parent, const Afinacao& inicial, double diapasaoHz);

    static constexpr int kMenorCordas = 4;
    static constexpr int kMaiorCordas = 6;
    // The notes offered: C0 to B8 (a shift of -5 to +7 keeps every one in the MIDI table).
    static constexpr int kMenorOitava = 0;
    static constexpr int kMaiorOitava = 8;

    // The tuning as the fields describe it; nothing without an instrument name.
    std::optional<Afinacao> afinacao() const;

    // Confirms when the fields describe a tuning (otherwise says what is missing).
    void btnOkClick();
    void btnCancelarClick();

    QLineEdit* editInstrumento() const { return editInstrumento_; }
    QLineEdit* editNome() const { return editNome_; }
    QSpinBox* editCordas() const { return editCordas_; }
    QComboBox* editNota(int corda) const { return notas_[static_cast<std::size_t>(corda)]; }
    QSpinBox* editOitava(int corda) const { return oitavas_[static_cast<std::size_t>(corda)]; }
    QLabel* lblFrequencia(int corda) const { return frequencias_[static_cast<std::size_t>(corda)]; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void mostrarCordas();
    int notaMIDI(int corda) const;

    double diapasaoHz_;
    FigurasBotao figurasOk_, figurasCancelar_;
    QLineEdit* editInstrumento_;
    QLineEdit* editNome_;
    QSpinBox* editCordas_;
    std::array<QLabel*, kMaiorCordas> rotulos_{};
    std::array<QComboBox*, kMaiorCordas> notas_{};
    std::array<QSpinBox*, kMaiorCordas> oitavas_{};
    std::array<QLabel*, kMaiorCordas> frequencias_{};
};

// A name as the program keeps it: Windows-1252, without control characters, trimmed and with
// runs of spaces made one. Characters Windows-1252 lacks are refused by the fields beforehand.
std::string textoDoCampo(const QString& texto);
