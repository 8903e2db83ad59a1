#pragma once
// The language chooser: a small modal tool window with the list of installed languages and two
// picture buttons (a green check for OK, a red cross for Cancel). It is shown before any language
// is loaded, so it carries no text at all.

#include <QDialog>
#include <QPixmap>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

class TformListaIdiomas : public QDialog {
    Q_OBJECT
public:
    explicit TformListaIdiomas(QWidget* parent = nullptr);

    // Fills the list with the names (Windows-1252) in their order, selects line `indiceAtual`
    // (-1: none), shows the window modally and returns the selected line's index when it was
    // closed with OK (-1 when no line is selected); -1 for every other way of closing it.
    int executar(const std::vector<std::string>& nomesIdiomas, int indiceAtual);

    QListWidget* listaIdiomas() const { return listaIdiomas_; }
    QPushButton* btnOk() const { return btnOk_; }
    QPushButton* btnCancelar() const { return btnCancelar_; }

    // The 18 x 18 button glyphs: the check (ok) or the cross, normal or greyed out for the
    // disabled state, on a transparent background.
    static QPixmap glifo(bool ok, bool habilitado);

protected:
    void showEvent(QShowEvent* event) override;  // FormShow
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void listaIdiomasDblClick();
    int linhaSelecionada() const;

    QListWidget* listaIdiomas_;
    QPushButton* btnOk_;
    QPushButton* btnCancelar_;
};
