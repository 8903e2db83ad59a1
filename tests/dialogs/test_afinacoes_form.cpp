// The tuning chooser with the real tuning manager, its reader and the language manager: which
// rows it lists, what confirming and cancelling change, the keys and the pressed pictures.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTest>
#include <optional>
#include <string>

#include "aplicacao_teste.h"
#include "controle_imagem.h"
#include "fafinacoes.h"
#include "feditar_afinacao.h"
#include "gerenciador_afinacoes.h"
#include "idioma_teste.h"
#include "mensagem.h"
#include "xml_afinacao_parser.h"

namespace {

struct MensagemMostrada {
    std::string texto;
    std::string titulo;
    bool operator==(const MensagemMostrada&) const = default;
};

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
    // The pictures are decoded while the window shows, and let go when it closes.
    EXPECT_TRUE(form->btnOk()->Picture().isNull());
    EXPECT_TRUE(form->imgFundo()->Picture().isNull());
    mostrar();
    EXPECT_TRUE(mesmaCor(corCentral(form->btnOk()->Picture()), ok));
    EXPECT_TRUE(mesmaCor(corCentral(form->imgFundo()->Picture()),
                         corImagemTeste("fmAssistente", "imgFundo")));
    QTest::mousePress(form->btnOk(), Qt::RightButton);
    EXPECT_TRUE(mesmaCor(corCentral(form->btnOk()->Picture()), okI));
    QTest::mouseRelease(form->btnOk(), Qt::RightButton);
    EXPECT_TRUE(mesmaCor(corCentral(form->btnOk()->Picture()), ok));
    EXPECT_TRUE(form->isVisible());  // only a left click is a click

    QTest::mousePress(form->btnCancelar(), Qt::LeftButton);
    EXPECT_TRUE(mesmaCor(corCentral(form->btnCancelar()->Picture()), cancelarI));
    QTest::mouseRelease(form->btnCancelar(), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->btnCancelar()->Picture().isNull());
    EXPECT_TRUE(form->imgFundo()->Picture().isNull());
    mostrar();
    EXPECT_TRUE(mesmaCor(corCentral(form->btnCancelar()->Picture()),
                         corImagemTeste("fmAfinacoes", "imgBtnCancelar")));
}

// The user's own tunings from the chooser's keys and buttons, with the editor answered by the
// test: what is made, copied, changed and deleted is on disk at once, the shipped tunings stay
// as they are, and the main window shows the tunings again however the window closes.
TEST_F(FormAfinacoesTest, TuningsOfOnesOwnAreMadeCopiedChangedAndDeletedAndSavedAtOnce) {
    const std::string arquivo = pasta.arquivo("dados/tessarin/Afinacoes.xml");
    gerenciador->carregarUsuario(arquivo);
    std::vector<MensagemMostrada> mensagens;
    setMostradorMensagem([&](const std::string& t, const std::string&) { mensagens.push_back({t, ""}); });
    std::vector<Afinacao> iniciais;
    std::optional<Afinacao> resposta;
    form->setEditar([&](const Afinacao& inicial) {
        iniciais.push_back(inicial);
        return resposta;
    });
    bool confirma = false;
    form->setConfirmar([&](const QString&) { return confirma; });
    const auto emDisco = [&] {
        return XMLAfinacaoParser().lerAfinacoesUsuario(arquivo).afinacoes;
    };
    gerenciador->setIndiceAtual(0);
    mostrar();
    QListWidget* lista = form->listaAfinacoes();

    // Insert: a new one, from a guitar's strings; the editor's answer is listed and selected.
    const Afinacao dropC = Afinacao::deNotas("Guitar", "Drop C", {36, 43, 48, 53, 57, 62});
    resposta = dropC;
    QTest::keyClick(lista, Qt::Key_Insert);
    ASSERT_EQ(iniciais.size(), 1u);
    EXPECT_EQ(iniciais[0].getNotasMIDI(), (std::vector<int>{40, 45, 50, 55, 59, 64}));
    EXPECT_EQ(lista->count(), 4);
    EXPECT_EQ(linhaSelecionada(), 3);
    EXPECT_TRUE(lista->item(3)->font().italic());
    EXPECT_EQ(emDisco(), std::vector<Afinacao>{dropC});

    // A shipped tuning: Edit and Delete refuse with a message; Copy starts from it.
    lista->setCurrentRow(0);
    QTest::keyClick(lista, Qt::Key_F2);
    QTest::keyClick(lista, Qt::Key_Delete);
    EXPECT_EQ(mensagens.size(), 2u);
    EXPECT_EQ(iniciais.size(), 1u);
    const Afinacao meioTom = Afinacao::deNotas("Seis", "Eb", {39, 44, 49, 54, 58, 63});
    resposta = meioTom;
    QTest::keyClick(lista, Qt::Key_C, Qt::ControlModifier);
    ASSERT_EQ(iniciais.size(), 2u);
    EXPECT_EQ(iniciais[1], gerenciador->getAfinacao(0));
    EXPECT_EQ(emDisco(), (std::vector<Afinacao>{dropC, meioTom}));

    // One's own: Edit changes it in place; Delete asks, and a no keeps it.
    lista->setCurrentRow(3);
    const Afinacao dropB = Afinacao::deNotas("Guitar", "Drop B", {35, 42, 47, 52, 56, 61});
    resposta = dropB;
    QTest::mouseClick(form->findChild<TImage*>("btnEditar"), Qt::LeftButton);
    EXPECT_EQ(iniciais[2], dropC);
    EXPECT_EQ(emDisco(), (std::vector<Afinacao>{dropB, meioTom}));
    resposta.reset();  // the editor cancelled: nothing changes
    QTest::keyClick(lista, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(emDisco(), (std::vector<Afinacao>{dropB, meioTom}));
    QTest::keyClick(lista, Qt::Key_Delete);
    EXPECT_EQ(lista->count(), 5);
    confirma = true;
    QTest::mouseClick(form->findChild<TImage*>("btnExcluir"), Qt::LeftButton);
    EXPECT_EQ(lista->count(), 4);
    EXPECT_EQ(emDisco(), std::vector<Afinacao>{meioTom});
    EXPECT_EQ(mensagens.size(), 2u);

    // Cancel picks no other tuning, but the main window shows the changed list again.
    QTest::keyClick(lista, Qt::Key_Escape);
    EXPECT_EQ(gerenciador->getIndiceAtual(), 0);
    EXPECT_EQ(aplicacoes, 1);
    setMostradorMensagem({});
}

// The shift under the list: + and - (or its boxes) within -5 to +7 semitones; OK applies it,
// Cancel leaves the one in use.
TEST_F(FormAfinacoesTest, TheShiftWaitsForOkAndStaysWithinItsRange) {
    gerenciador->setDeslocamento(0);
    mostrar();
    QTest::keyClick(form->listaAfinacoes(), Qt::Key_Plus);
    QTest::mouseClick(form->findChild<TImage*>("btnDeslocamentoMais"), Qt::LeftButton);
    EXPECT_EQ(form->deslocamento(), 2);
    EXPECT_TRUE(form->lblDeslocamento()->text().endsWith(QStringLiteral(" +2")));
    form->btnCancelarClick();
    EXPECT_EQ(gerenciador->getDeslocamento(), 0);
    EXPECT_EQ(aplicacoes, 0);

    mostrar();
    EXPECT_EQ(form->deslocamento(), 0);
    for (int i = 0; i < 9; ++i) QTest::keyClick(form->listaAfinacoes(), Qt::Key_Minus);
    EXPECT_EQ(form->deslocamento(), GerenciadorAfinacoes::kDeslocamentoMenor);
    EXPECT_TRUE(form->lblDeslocamento()->text().endsWith(QStringLiteral(" \u22125")));
    QTest::keyClick(form->listaAfinacoes(), Qt::Key_Return);
    EXPECT_EQ(gerenciador->getDeslocamento(), -5);
    EXPECT_EQ(gerenciador->getAfinacaoAtual().getNotaMIDI(0), 35);
    EXPECT_EQ(aplicacoes, 1);
    gerenciador->setDeslocamento(0);
}

// The editor: four to six strings by note and octave, each frequency at the concert pitch, a
// name the program's texts can hold, and no tuning without an instrument.
TEST_F(FormAfinacoesTest, TheEditorDescribesATuningByItsFieldsAndRefusesWhatCannotBeKept) {
    TformEditarAfinacao editor(nullptr, Afinacao::deNotas("Bass", "Std", {28, 33, 38, 43}), 442.0);
    EXPECT_EQ(editor.editCordas()->value(), 4);
    EXPECT_FALSE(editor.editNota(4)->isVisibleTo(&editor));
    EXPECT_EQ(editor.lblFrequencia(1)->text(), QStringLiteral("55.25 Hz"));  // A1 at 442
    editor.editCordas()->setValue(5);
    EXPECT_TRUE(editor.editNota(4)->isVisibleTo(&editor));
    editor.editNota(4)->setCurrentIndex(0);  // C
    editor.editOitava(4)->setValue(3);
    // What Windows-1252 holds is typed; a Cyrillic letter or a control character is refused.
    const QValidator* validador = editor.editNome()->validator();
    ASSERT_NE(validador, nullptr);
    for (const char* recusado : {"Tenor \xD0\x96", "a\tb"}) {
        QString t = QString::fromUtf8(recusado);
        int pos = 0;
        EXPECT_EQ(validador->validate(t, pos), QValidator::Invalid) << recusado;
    }
    QString aceito = QString::fromUtf8("  Tenor   <ação> \u20AC ");
    int pos = 0;
    EXPECT_EQ(validador->validate(aceito, pos), QValidator::Acceptable);
    editor.editNome()->setText(aceito);
    const auto afinacao = editor.afinacao();
    ASSERT_TRUE(afinacao);
    EXPECT_EQ(afinacao->getNotasMIDI(), (std::vector<int>{28, 33, 38, 43, 48}));
    EXPECT_EQ(afinacao->getTipoAfinacao(), "Tenor <a\xE7\xE3o> \x80");  // trimmed, one space

    std::vector<std::string> mensagens;
    setMostradorMensagem([&](const std::string& t, const std::string&) { mensagens.push_back(t); });
    editor.editInstrumento()->setText(QStringLiteral("   "));
    editor.btnOkClick();
    EXPECT_EQ(mensagens.size(), 1u);
    EXPECT_NE(editor.result(), QDialog::Accepted);
    setMostradorMensagem({});
}
