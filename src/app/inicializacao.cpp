#include "inicializacao.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <future>
#include <memory>
#include <optional>

#include "aplicacao.h"
#include "configuracoes_usuario.h"
#include "errors.h"
#include "fafinacoes.h"
#include "fassistente.h"
#include "form_splash.h"
#include "gerenciador_idiomas.h"
#include "imagem_janela.h"
#include "saida_midi.h"
#include "terminacao.h"
#include "ultimo_recurso.h"
#include "utilgui.h"
#include "versao_programa.h"

namespace {

double resolucaoPrimaria() {
    const QScreen* tela = QGuiApplication::primaryScreen();
    return tela != nullptr ? tela->logicalDotsPerInch() : 96.0;
}

// Waits with the message loop running, so the splash stays painted, without user input.
void esperar(int milissegundos) {
    if (milissegundos <= 0) return;
    QEventLoop espera;
    QTimer::singleShot(milissegundos, &espera, &QEventLoop::quit);
    espera.exec(QEventLoop::ExcludeUserInputEvents);
}

// The windows of a run, destroyed in reverse order of creation when the run ends.
struct Janelas {
    std::unique_ptr<TformPrincipal> principal;
    std::unique_ptr<TformAssistente> assistente;
    std::unique_ptr<TformAfinacoes> afinacoes;
};

}  // namespace

bool resolucaoAceita(double pontosPorPolegada) {
    return std::lround(pontosPorPolegada) <= 96;
}

void tratarUltimoRecurso(std::exception_ptr erro) {
    const auto textos = []() -> std::optional<TextosErroIdioma> {
        const GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
        if (idiomas->getIdiomaAtual() == nullptr) return std::nullopt;
        return TextosErroIdioma{idiomas->getTexto("geral", "erroGeral"),
                                idiomas->getTexto("geral", "nomeAplicacao")};
    };
    MensagemErro mensagem;
    try {
        std::rethrow_exception(erro);
    } catch (const Exception& e) {
        mensagem = mensagemErroPrograma(e.className(), e.message(), textos(), versaoPrograma());
    } catch (const std::exception& e) {
        // An error of the standard library or of another library: its class and message are
        // what the user can pass on, as for the program's own errors.
        mensagem =
            mensagemErroPrograma(nomeClasseExcecao(e), e.what(), textos(), versaoPrograma());
    } catch (...) {
        mensagem = mensagemErroDesconhecido(versaoPrograma());
    }
    mostrarMensagem(mensagem.texto, mensagem.titulo);
}

int executarAplicacao(TAplicacao& aplicacao, const OpcoesInicializacao& opcoes) {
    // The main window ends the run when it closes; the other windows never do.
    aplicacao.setQuitOnLastWindowClosed(false);
    Janelas janelas;
    try {
        // 1., 2. The user's language, or the one the user picks now.
        const std::string nomeIdioma = ConfiguracoesUsuario::lerIdioma();
        GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
        if (idiomas->selecionarIdioma(nomeIdioma) == nullptr)
            return idiomas->getNomesIdiomas().empty() ? 1 : 0;

        // 3. The windows are drawn for 96 dots per inch.
        const double ppp = opcoes.resolucaoTela ? opcoes.resolucaoTela() : resolucaoPrimaria();
        if (!resolucaoAceita(ppp)) {
            mostrarMensagem(idiomas->getTexto("geral", "erroPPP"),
                            idiomas->getTexto("geral", "nomeAplicacao"));
            return 1;
        }

        // While the splash shows, workers decode the main window's pictures and open the
        // reference-tone output (the driver library loads its synthesiser and SoundFont), so
        // that the main window finds both ready instead of waiting for them on its way to the
        // screen.
        anteciparImagensJanela("fmPrincipal");
        std::future<std::unique_ptr<SaidaMIDI>> saidaMidi;
        TformPrincipal::Opcoes opcoesPrincipal = opcoes.principal;
        if (!opcoesPrincipal.saidaMidi) {
            saidaMidi = std::async(std::launch::async, TformPrincipal::abrirSaidaMidi,
                                   opcoes.principal.bibliotecaMidi);
            opcoesPrincipal.saidaMidi = [&saidaMidi] { return saidaMidi.get(); };
        }

        // 4. The splash, painted at once, for a second.
        auto splash = std::make_unique<TformSplash>();
        splash->mostrar();
        esperar(opcoes.esperaSplashMs);

        // 5. The application object exists since the language chooser needed it; the title
        // stays empty until the main window sets it.
        TAplicacao::setTitulo("");

        // 6. The windows, the main window first.
        janelas.principal = std::make_unique<TformPrincipal>(opcoesPrincipal);
        QObject::connect(janelas.principal.get(), &TformPrincipal::fechada, &aplicacao,
                         &QCoreApplication::quit, Qt::QueuedConnection);

        // A tuning file that could not be read ended the run in the main window's
        // construction: the user was told, nothing is shown.
        if (janelas.principal->construida() && !terminacaoSolicitada()) {
            // Then the setup assistant and the tuning chooser, which the main window's
            // commands show; they report and apply through the main window.
            TformPrincipal* principal = janelas.principal.get();
            janelas.assistente = std::make_unique<TformAssistente>();
            janelas.assistente->setMostrarErroAudio(
                [principal](int codigo) { principal->mostrarErroAudio(codigo); });
            principal->setFormAssistente(janelas.assistente.get());
            janelas.afinacoes = std::make_unique<TformAfinacoes>();
            janelas.afinacoes->setAplicarAfinacao([principal] { principal->aplicarAfinacao(); });
            janelas.afinacoes->setFonteDiapasao([principal] { return principal->diapasao() / 10.0; });
            principal->setFormAfinacoes(janelas.afinacoes.get());
        }

        // 7. The splash goes.
        splash.reset();

        if (!janelas.principal->construida() || terminacaoSolicitada()) return 1;

        // 8. The message loop, until the main window closes.
        janelas.principal->show();
        if (opcoes.aoMostrar) opcoes.aoMostrar(*janelas.principal);
        if (!terminacaoSolicitada()) aplicacao.exec();
        return 0;
    } catch (...) {
        tratarUltimoRecurso(std::current_exception());
        return 1;
    }
}
