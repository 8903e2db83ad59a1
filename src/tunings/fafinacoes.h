#pragma once
// TformAfinacoes: the modal window in which the user picks another tuning. It lists the tunings
// of four to six strings of the tuning manager, one row each, with the current one selected;
// confirming a different row makes that tuning current and has the main window show it at once.
// Created once at start-up, after the main window (so the tunings are loaded), and reused.
//
// Below the list: New, Edit, Copy and Delete for the user's own tunings (the shipped ones can
// only be copied), each saved at once, and the shift of the tunings in semitones, which OK
// applies. Keys: Insert (or Ctrl+N) new, F2 (or Ctrl+E) edit, Ctrl+C copy, Delete delete,
// + and - the shift, Return OK, Escape Cancel.

#include <QDialog>
#include <QPixmap>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "botao_skin.h"

class GerenciadorAfinacoes;
class MovimentoJanela;
class QFrame;
class QLabel;
class QListWidget;
class TImage;
class Afinacao;

class TformAfinacoes : public QDialog {
public:
    explicit TformAfinacoes(QWidget* parent = nullptr);
    ~TformAfinacoes() override;

    // What confirming a different tuning calls after making it current: the main window's
    // aplicarAfinacao.
    void setAplicarAfinacao(std::function<void()> aplicar) {
        aplicarAfinacao_ = std::move(aplicar);
    }

    // Where the tuning editor takes the concert pitch it shows frequencies at (A4, Hz).
    void setFonteDiapasao(std::function<double()> fonte) { fonteDiapasao_ = std::move(fonte); }
    // How the window asks before deleting and how it runs the editor (tests answer for the user).
    using Confirmar = std::function<bool(const QString& pergunta)>;
    using Editar = std::function<std::optional<Afinacao>(const Afinacao& inicial)>;
    void setConfirmar(Confirmar confirmar) { confirmar_ = std::move(confirmar); }
    void setEditar(Editar editar) { editar_ = std::move(editar); }

    // The tuning index each row stands for, in row order.
    const std::vector<int>& indicesLinhas() const { return indicesLinhas_; }

    // The window's handlers, public so that the main window and tests can act as the user does.
    void btnOkClick();
    void btnCancelarClick();
    void listaAfinacoesDblClick();
    void btnNovaClick();
    void btnEditarClick();
    void btnCopiarClick();
    void btnExcluirClick();
    // The shift OK applies, shown under the list.
    void setDeslocamento(int semitons);
    int deslocamento() const { return deslocamento_; }
    QLabel* lblDeslocamento() const { return lblDeslocamento_; }

    QListWidget* listaAfinacoes() const { return listaAfinacoes_; }
    QLabel* lblSelecione() const { return lblSelecione_; }
    TImage* imgFundo() const { return imgFundo_; }
    TImage* btnOk() const { return btnOk_; }
    TImage* btnCancelar() const { return btnCancelar_; }

protected:
    void showEvent(QShowEvent* event) override;  // FormShow
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    // The window's pictures, decoded when it shows and let go when it closes: it is open for a
    // moment now and then, and its background alone is some 400 kB decoded.
    void carregarFiguras();
    void liberarFiguras();
    void preencherLista();
    // The tuning index of the selected row, or -1.
    int indiceSelecionado() const;
    void selecionarIndice(int indice);
    // The selected tuning's index when it is one of the user's; -1 when none is selected, or a
    // shipped one (the user is told that those cannot be changed).
    int selecionadaDoUsuario();
    // Makes a change of the user's tunings (which saves them); on failure tells the user and
    // returns false, the list as it was; otherwise lists the tunings again.
    bool guardar(const std::function<void()>& mudanca);
    // Runs the editor on `inicial` and keeps the result (new or in place of `indice`).
    void editarEGuardar(const Afinacao& inicial, int indice);
    void avisar(const char* chave, const std::string& detalhe = {});
    void mostrarDeslocamento();
    void fechar(int resultado);
    void FormShow();
    bool FormKeyDown(int tecla, Qt::KeyboardModifiers modificadores = {});

    GerenciadorAfinacoes* gerenciadorAfinacoes_;
    std::vector<int> indicesLinhas_;
    std::function<void()> aplicarAfinacao_;
    Confirmar confirmar_;
    Editar editar_;
    std::function<double()> fonteDiapasao_;
    int deslocamento_ = 0;
    // The user's tunings changed while the window was open: the main window shows them again.
    bool alterada_ = false;

    QFrame* painelFundo_;
    TImage* imgFundo_;
    QLabel* lblSelecione_;
    QListWidget* listaAfinacoes_;
    TImage* btnOk_;
    TImage* btnCancelar_;
    enum : std::size_t {
        kFiguraOk,
        kFiguraCancelar,
        kFiguraNova,  // then Edit, Copy, Delete
        kFiguras = kFiguraNova + 4
    };
    std::array<FigurasBotao, kFiguras> figuras_;
    std::array<TImage*, kFiguras> botoes_{};
    bool figurasCarregadas_ = false;
    MovimentoJanela* movimento_;
    QLabel* lblDeslocamento_;
};
