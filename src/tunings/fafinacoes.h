#pragma once
// TformAfinacoes: the modal window in which the user picks another tuning. It lists the tunings
// of four to six strings of the tuning manager, one row each, with the current one selected;
// confirming a different row makes that tuning current and has the main window show it at once.
// Created once at start-up, after the main window (so the tunings are loaded), and reused.

#include <QDialog>
#include <QPixmap>
#include <functional>
#include <vector>

class GerenciadorAfinacoes;
class MovimentoJanela;
class QFrame;
class QLabel;
class QListWidget;
class TImage;

class TformAfinacoes : public QDialog {
public:
    explicit TformAfinacoes(QWidget* parent = nullptr);
    ~TformAfinacoes() override;

    // What confirming a different tuning calls after making it current: the main window's
    // aplicarAfinacao.
    void setAplicarAfinacao(std::function<void()> aplicar) {
        aplicarAfinacao_ = std::move(aplicar);
    }

    // The tuning index each row stands for, in row order.
    const std::vector<int>& indicesLinhas() const { return indicesLinhas_; }

    // The window's handlers, public so that the main window and tests can act as the user does.
    void btnOkClick();
    void btnCancelarClick();
    void listaAfinacoesDblClick();

    QListWidget* listaAfinacoes() const { return listaAfinacoes_; }
    QLabel* lblSelecione() const { return lblSelecione_; }
    TImage* imgFundo() const { return imgFundo_; }
    TImage* btnOk() const { return btnOk_; }
    TImage* btnCancelar() const { return btnCancelar_; }
    // The picture holders: OK and Cancel, normal and pressed.
    const QPixmap& imgBtnOk() const { return imgBtnOk_; }
    const QPixmap& imgBtnOkI() const { return imgBtnOkI_; }
    const QPixmap& imgBtnCancelar() const { return imgBtnCancelar_; }
    const QPixmap& imgBtnCancelarI() const { return imgBtnCancelarI_; }

protected:
    void showEvent(QShowEvent* event) override;  // FormShow
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void preencherLista();
    void FormShow();
    bool FormKeyDown(int tecla);

    GerenciadorAfinacoes* gerenciadorAfinacoes_;
    std::vector<int> indicesLinhas_;
    std::function<void()> aplicarAfinacao_;

    QFrame* painelFundo_;
    TImage* imgFundo_;
    QLabel* lblSelecione_;
    QListWidget* listaAfinacoes_;
    TImage* btnOk_;
    TImage* btnCancelar_;
    QPixmap imgBtnOk_, imgBtnOkI_, imgBtnCancelar_, imgBtnCancelarI_;
    MovimentoJanela* movimento_;
};
