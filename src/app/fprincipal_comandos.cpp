// The main window's commands: its picture buttons, the link, the keyboard, and moving the
// borderless window by its background.

#include <QDialog>
#include <QKeyEvent>
#include <QTimer>
#include <exception>
#include <filesystem>

#include "codepage.h"
#include "controle_imagem.h"
#include "form_principal.h"
#include "gerenciador_idiomas.h"
#include "lancador.h"
#include "movimento_janela.h"
#include "program_path.h"
#include "utilgui.h"

namespace {

std::string texto(const char* secao, const char* chave) {
    return GerenciadorIdiomas::getInstancia()->getTexto(secao, chave);
}

// The box for a browser that could not be asked to open something.
void mostrarErroNavegador() {
    mostrarMensagem(texto("geral", "erroAbrirNavegador"), texto("geral", "nomeAplicacao"));
}

}  // namespace

void TformPrincipal::ligarComandos() {
    movimento_ = new MovimentoJanela(this);
    // The picture buttons show their pressed picture while any mouse button is down on them;
    // the command runs on the click.
    for (TImage* botao : {btnSair_, btnAjuda_, btnMinimizar_, btnAssistente_, btnAfinacoes_}) {
        botao->OnMouseDown = [this](TImage* b, Qt::MouseButton, QPoint) {
            b->setPicture(imagensBotao_[static_cast<std::size_t>(b->Tag() + 1)]->Picture());
        };
        botao->OnMouseUp = [this](TImage* b, Qt::MouseButton) {
            b->setPicture(imagensBotao_[static_cast<std::size_t>(b->Tag())]->Picture());
        };
    }
    btnSair_->OnClick = [this](TImage*) { btnSairClick(); };
    btnMinimizar_->OnClick = [this](TImage*) { btnMinimizarClick(); };
    btnAfinacoes_->OnClick = [this](TImage*) { btnAfinacoesClick(); };
    btnAssistente_->OnClick = [this](TImage*) { btnAssistenteClick(); };
    btnAjuda_->OnClick = [this](TImage*) { btnAjudaClick(); };
    imgLink_->OnClick = [this](TImage*) { imgLinkClick(); };
    // The background, the neck and the title move the window, as its caption would.
    for (TImage* fundo : {imagemBackground_, imgBraco_, imgTitulo_}) {
        fundo->OnMouseDown = [this](TImage* origem, Qt::MouseButton botao, QPoint pos) {
            if (botao == Qt::LeftButton) movimento_->iniciar(origem, pos);
        };
    }
}

bool TformPrincipal::FormKeyDown(int tecla) {
    switch (tecla) {
        case Qt::Key_Space:
            if (afinacaoAtual_ != nullptr)
                imagemCordaClick(imagensCorda_[posicaoCorda(cordaSelecionada())]);
            return true;
        case Qt::Key_Left:
            if (afinacaoAtual_ != nullptr) {
                int s = cordaSelecionada() - 1;
                if (s < 0) s = afinacaoAtual_->getNumeroCordas() - 1;
                imagemCordaClick(imagensCorda_[posicaoCorda(s)]);
            }
            return true;
        case Qt::Key_Right:
            btnProximaCordaClick();
            return true;
        case Qt::Key_F1:
            btnAjudaClick();
            return true;
        case Qt::Key_F2:
            btnAssistenteClick();
            return true;
        case Qt::Key_F3:
            btnAfinacoesClick();
            return true;
        case Qt::Key_F4:
            alternarLeitura();
            return true;
        case Qt::Key_F5:
            setCordaAutomatica(!cordaAutomatica());
            return true;
        case Qt::Key_F6:
            setLeituraCromatica(!leituraCromatica());
            return true;
        case Qt::Key_Plus:
        case Qt::Key_Equal:  // the plus key without Shift
            setDiapasao(diapasao() + 1);
            return true;
        case Qt::Key_Minus:
            setDiapasao(diapasao() - 1);
            return true;
        case Qt::Key_PageUp:
            setDiapasao(diapasao() + 10);
            return true;
        case Qt::Key_PageDown:
            setDiapasao(diapasao() - 10);
            return true;
        case Qt::Key_Home:
            setDiapasao(4400);
            return true;
        default:
            return false;
    }
}

void TformPrincipal::keyPressEvent(QKeyEvent* event) {
    if (!FormKeyDown(event->key())) QWidget::keyPressEvent(event);
}

void TformPrincipal::btnSairClick() {
    close();
}

void TformPrincipal::btnMinimizarClick() {
    showMinimized();
}

void TformPrincipal::btnAfinacoesClick() {
    if (formAfinacoes_ != nullptr) formAfinacoes_->exec();
}

void TformPrincipal::btnAssistenteClick() {
    if (formAssistente_ == nullptr) return;
    // The assistant's own recorder needs the device this window's recorder holds.
    pararCaptura();
    formAssistente_->exec();
    // Capture and the display start again; on failure the user is told and the needle stays
    // still until the assistant is run again.
    iniciarCaptura();
}

void TformPrincipal::btnAjudaClick() {
    try {
        // The language names the help page relative to the program's folder. The folder's
        // name is the file system's (UTF-8, any characters); the language's text is
        // Windows-1252.
        const std::string pasta =
            opcoes_.pastaPrograma.empty() ? programDir() : opcoes_.pastaPrograma;
        const std::filesystem::path caminho =
            pasta + "/" + cp1252::toUtf8(texto("parametros", "caminhoAjuda"));
        if (std::filesystem::is_regular_file(caminho))
            lancador().abrirArquivoNoNavegador(caminho.string());
        else
            mostrarMensagem(texto("fmPrincipal", "erroAbrirAjuda"),
                            texto("geral", "tituloAtencao"));
    } catch (const std::exception&) {
        mostrarErroNavegador();
    }
}

void TformPrincipal::imgLinkClick() {
    try {
        abrirNoNavegador(texto("parametros", "urlVelmora"));
    } catch (const std::exception&) {
        mostrarErroNavegador();
    }
}

void TformPrincipal::abrirNoNavegador(const std::string& texto) {
    // A browser that does not start shows nothing here: the result is ignored.
    lancador().abrirNoNavegador(texto);
}
