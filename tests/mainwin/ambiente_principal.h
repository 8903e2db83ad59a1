#pragma once
// One main-window test's surroundings: the application object, the shipped languages with
// English current, a scratch folder that stands for the program's folder (tuning file) and holds
// the settings file, messages recorded instead of shown, the recording MIDI driver library, and a
// clock the test moves.

#include <QApplication>
#include <QElapsedTimer>
#include <QRegion>
#include <cstdint>
#include <string>
#include <vector>

#include "form_principal.h"
#include "recording_log.h"

class TAplicacao;

struct MensagemMostrada {
    std::string texto;
    std::string titulo;
    bool operator==(const MensagemMostrada&) const = default;
};

// Five tunings: 0 guitar (6 strings), 1 bass (4), 2 five-string bass (5), 3 seven-string guitar,
// 4 a six-string instrument whose name is too long for its label.
extern const char* const kAfinacoesTeste;
// One tuning, the standard guitar.
std::string afinacaoUnica(const std::string& instrumento, int cordas,
                          const std::vector<int>& notas);

TAplicacao& aplicacao();

class AmbientePrincipal {
public:
    // `afinacoes`: the tuning file's text; nullptr: no tuning file at all. `comIdioma`: English
    // is made current (otherwise no language is current yet).
    explicit AmbientePrincipal(const char* afinacoes = kAfinacoesTeste, bool comIdioma = true);
    ~AmbientePrincipal();
    AmbientePrincipal(const AmbientePrincipal&) = delete;
    AmbientePrincipal& operator=(const AmbientePrincipal&) = delete;

    TformPrincipal::Opcoes opcoes();

    // The language text of (secao, chave).
    static std::string texto(const char* secao, const char* chave);

    const std::string& pasta() const { return pasta_; }
    std::string caminhoConfiguracoes() const { return pasta_ + "/tessarin.ini"; }
    // The file of the user's own tunings (absent until written).
    std::string arquivoUsuario() const { return pasta_ + "/dados/tessarin/Afinacoes.xml"; }
    void escreverConfiguracoes(const std::string& conteudo) const;
    // The settings file's text; empty when there is none.
    std::string lerConfiguracoes() const;

    std::vector<MensagemMostrada> mensagens;
    RecordingLog midi;
    std::int64_t agoraMs = 1000000;

private:
    std::string pasta_;
};

// Records what every widget inside one window paints, in the window's coordinates.
class RegistroPinturas : public QObject {
public:
    explicit RegistroPinturas(QWidget& janela);
    ~RegistroPinturas() override;
    // Lets pending repaints happen, then answers the area painted since the last call.
    QRegion colher();

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    QWidget& janela_;
    QRegion pintado_;
};

// Runs the event loop until `pronto` answers true, or `limiteMs` passed; false then.
template <class Condicao>
bool processarAte(Condicao pronto, int limiteMs = 10000) {
    QElapsedTimer relogio;
    relogio.start();
    while (!pronto()) {
        if (relogio.elapsed() > limiteMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}
