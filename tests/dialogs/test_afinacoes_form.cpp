// The tuning chooser with the real tuning manager, its reader and the language manager: which
// rows it lists, what confirming and cancelling change, the keys and the pressed pictures.

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <string>

#include "aplicacao_teste.h"
#include "controle_imagem.h"
#include "fafinacoes.h"
#include "gerenciador_afinacoes.h"
#include "idioma_teste.h"

namespace {

std::string afinacao(const std::string& nome, std::initializer_list<int> notas) {
    std::string xml = "<Afinacao><instrumento>" + nome +
                      "</instrumento><tipoAfinacao>T</tipoAfinacao><numeroCordas>" +
                      std::to_string(notas.size()) + "</numeroCordas><frequenciasMIDI>";
    for (int n : notas) xml += "<corda>" + std::to_string(n) + "</corda>";
    return xml + "</frequenciasMIDI></Afinacao>";
}

// Tunings of 6, 7, 6, 3 and 4 strings: the chooser lists rows for indexes 0, 2 and 4.
class FormAfinacoesTest : public ::testing::Test {
protected:
    void SetUp() override {
        usarIdiomaTeste();
        pasta.escrever("Afinacoes.xml", "<Afinacoes>" + afinacao("Seis", {40, 45, 50, 55, 59, 64}) +
                                            afinacao("Sete", {35, 40, 45, 50, 55, 59, 64}) +
                                            afinacao("Outra", {38, 45, 50, 55, 59, 64}) +
                                            afinacao("Tres", {55, 60, 64}) +
                                            afinacao("Baixo", {28, 33, 38, 43}) + "</Afinacoes>");
        gerenciador = GerenciadorAfinacoes::getInstancia();
        gerenciador->carregar(pasta.arquivo("Afinacoes.xml"));
        form = std::make_unique<TformAfinacoes>();
        form->setAplicarAfinacao([this] { ++aplicacoes; });
    }

    // Shows the window as the main window does (modal), then lets the test act on it.
    void mostrar() {
        form->open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    int linhaSelecionada() const {
        const auto itens = form->listaAfinacoes()->selectedItems();
        return itens.isEmpty() ? -1 : form->listaAfinacoes()->row(itens.first());
    }
    QPoint centroLinha(int linha) const {
        return form->listaAfinacoes()->visualItemRect(form->listaAfinacoes()->item(linha)).center();
    }

    PastaTemporaria pasta;
    GerenciadorAfinacoes* gerenciador = nullptr;
    std::unique_ptr<TformAfinacoes> form;
    int aplicacoes = 0;
};

}  // namespace

TEST_F(FormAfinacoesTest, ListsOnlyFourToSixStringsAndConfirmsTheTuningOfTheRow) {
    QListWidget* lista = form->listaAfinacoes();
    ASSERT_EQ(lista->count(), 3);
    EXPECT_EQ(form->indicesLinhas(), (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(lista->item(1)->text().toStdString(), gerenciador->getAfinacao(2).getDescricao());
    EXPECT_EQ(form->lblSelecione()->text(), QString::fromUtf8("Escolha a afinação:"));

    gerenciador->setIndiceAtual(0);
    mostrar();
    EXPECT_EQ(linhaSelecionada(), 0);
    EXPECT_EQ(QApplication::focusWidget(), lista);
    lista->setCurrentRow(1);
    form->btnOkClick();
    EXPECT_EQ(gerenciador->getIndiceAtual(), 2);
    EXPECT_EQ(aplicacoes, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(FormAfinacoesTest, CancelAndEscapeChangeNothingAndTheNextShowingSelectsTheCurrentAgain) {
    gerenciador->setIndiceAtual(2);
    mostrar();
    EXPECT_EQ(linhaSelecionada(), 1);
    // The arrow keys reach the list; Esc reaches the window first.
    QTest::keyClick(form->listaAfinacoes(), Qt::Key_Down);
    EXPECT_EQ(linhaSelecionada(), 2);
    QTest::keyClick(form->listaAfinacoes(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_EQ(gerenciador->getIndiceAtual(), 2);

    mostrar();
    EXPECT_EQ(linhaSelecionada(), 1);
    form->listaAfinacoes()->setCurrentRow(0);
    QTest::mouseClick(form->btnCancelar(), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(gerenciador->getIndiceAtual(), 2);
    EXPECT_EQ(aplicacoes, 0);
}

TEST_F(FormAfinacoesTest, ConfirmingTheCurrentRowClosesWithoutApplyingAgain) {
    gerenciador->setIndiceAtual(4);
    mostrar();
    QTest::keyClick(form->listaAfinacoes(), Qt::Key_Return);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(gerenciador->getIndiceAtual(), 4);
    EXPECT_EQ(aplicacoes, 0);

    // The current tuning is one the list does not show: no row is selected, and OK keeps it.
    gerenciador->setIndiceAtual(3);
    mostrar();
    EXPECT_EQ(linhaSelecionada(), -1);
    QTest::mouseClick(form->btnOk(), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(gerenciador->getIndiceAtual(), 3);
    EXPECT_EQ(aplicacoes, 0);
}

TEST_F(FormAfinacoesTest, DoubleClickConfirmsTheRowSelectedAtThatMoment) {
    gerenciador->setIndiceAtual(0);
    mostrar();
    cliqueDuplo(form->listaAfinacoes()->viewport(), centroLinha(2));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(gerenciador->getIndiceAtual(), 4);
    EXPECT_EQ(aplicacoes, 1);

    // Below the last row: the selected row stands.
    mostrar();
    EXPECT_EQ(linhaSelecionada(), 2);
    form->listaAfinacoes()->setCurrentRow(1);
    const QPoint vazio(10, form->listaAfinacoes()->viewport()->height() - 3);
    ASSERT_EQ(form->listaAfinacoes()->itemAt(vazio), nullptr);
    cliqueDuplo(form->listaAfinacoes()->viewport(), vazio);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(gerenciador->getIndiceAtual(), 2);
    EXPECT_EQ(aplicacoes, 2);
}

TEST_F(FormAfinacoesTest, ButtonsShowTheirPressedPictureWhileAnyMouseButtonIsDown) {
    const QColor ok = corImagemTeste("fmAfinacoes", "imgBtnOk");
    const QColor okI = corImagemTeste("fmAfinacoes", "imgBtnOkI");
    const QColor cancelarI = corImagemTeste("fmAfinacoes", "imgBtnCancelarI");
    EXPECT_TRUE(mesmaCor(corCentral(form->btnOk()->Picture()), ok));
    EXPECT_TRUE(mesmaCor(corCentral(form->imgFundo()->Picture()),
                         corImagemTeste("fmAssistente", "imgFundo")));
    mostrar();
    QTest::mousePress(form->btnOk(), Qt::RightButton);
    EXPECT_TRUE(mesmaCor(corCentral(form->btnOk()->Picture()), okI));
    QTest::mouseRelease(form->btnOk(), Qt::RightButton);
    EXPECT_TRUE(mesmaCor(corCentral(form->btnOk()->Picture()), ok));
    EXPECT_TRUE(form->isVisible());  // only a left click is a click

    QTest::mousePress(form->btnCancelar(), Qt::LeftButton);
    EXPECT_TRUE(mesmaCor(corCentral(form->btnCancelar()->Picture()), cancelarI));
    QTest::mouseRelease(form->btnCancelar(), Qt::LeftButton);
    EXPECT_TRUE(mesmaCor(corCentral(form->btnCancelar()->Picture()),
                         corImagemTeste("fmAfinacoes", "imgBtnCancelar")));
    EXPECT_FALSE(form->isVisible());
}
