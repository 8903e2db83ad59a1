#include "form_lista_idiomas.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

QApplication& aplicacao() {
    static int argc = 1;
    static char nome[] = "form_lista_idiomas_test";
    static char* argv[] = {nome, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Runs executar and, once the window shows, does `acao` to it.
int executarCom(TformListaIdiomas& form, const std::vector<std::string>& nomes, int atual,
                std::function<void(TformListaIdiomas&)> acao) {
    bool feito = false;
    QTimer vigia;
    vigia.setInterval(5);
    QObject::connect(&vigia, &QTimer::timeout, [&] {
        if (!feito && form.isVisible()) {
            feito = true;
            acao(form);
        }
    });
    vigia.start();
    return form.executar(nomes, atual);
}

const std::vector<std::string> kNomes = {"English", "Espa\xF1ol", "Portugu\xEAs (Brasil)"};

class FormListaIdiomasTest : public ::testing::Test {
protected:
    QApplication& app_ = aplicacao();
    TformListaIdiomas form;
};

}  // namespace

TEST_F(FormListaIdiomasTest, LayoutAndFilling) {
    EXPECT_EQ(form.size(), QSize(236, 252));
    EXPECT_TRUE(form.windowTitle().isEmpty());
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(form.listaIdiomas()->geometry(), QRect(13, 15, 210, 185));
    EXPECT_EQ(form.btnOk()->geometry(), QRect(95, 214, 75, 25));
    EXPECT_EQ(form.btnCancelar()->geometry(), QRect(175, 214, 48, 25));
    EXPECT_TRUE(form.btnOk()->text().isEmpty());
    EXPECT_FALSE(form.btnOk()->icon().isNull());
    EXPECT_EQ(form.btnOk()->cursor().shape(), Qt::PointingHandCursor);
    // The disabled glyph differs from the normal one.
    EXPECT_NE(TformListaIdiomas::glifo(true, true).toImage(),
              TformListaIdiomas::glifo(true, false).toImage());
    EXPECT_EQ(TformListaIdiomas::glifo(false, true).size(), QSize(18, 18));

    int linhas = -1;
    QString segunda;
    bool focoNaLista = false;
    bool padrao = false;
    const int r = executarCom(form, kNomes, 2, [&](TformListaIdiomas& f) {
        linhas = f.listaIdiomas()->count();
        segunda = f.listaIdiomas()->item(1)->text();
        // The focus widget is set even when the window manager has not activated the window yet.
        focoNaLista = f.focusWidget() == f.listaIdiomas();
        padrao = f.btnOk()->isDefault();
        f.btnOk()->click();
    });
    EXPECT_EQ(r, 2);
    EXPECT_EQ(linhas, 3);
    EXPECT_EQ(segunda, QString::fromUtf8("Español"));
    EXPECT_TRUE(focoNaLista);
    EXPECT_TRUE(padrao);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(FormListaIdiomasTest, EnterAndArrowChooseALine) {
    const int r = executarCom(form, kNomes, 0, [](TformListaIdiomas& f) {
        QTest::keyClick(f.listaIdiomas(), Qt::Key_Down);
        QTest::keyClick(f.listaIdiomas(), Qt::Key_Return);
    });
    EXPECT_EQ(r, 1);
}

TEST_F(FormListaIdiomasTest, EveryCloseWithoutOkGivesMinusOne) {
    EXPECT_EQ(executarCom(form, kNomes, 1, [](TformListaIdiomas& f) { f.btnCancelar()->click(); }),
              -1);
    EXPECT_EQ(executarCom(form, kNomes, 1,
                          [](TformListaIdiomas& f) { QTest::keyClick(&f, Qt::Key_Escape); }),
              -1);
    EXPECT_EQ(executarCom(form, kNomes, 1, [](TformListaIdiomas& f) { f.close(); }), -1);
    // OK with no line selected.
    EXPECT_EQ(executarCom(form, kNomes, -1, [](TformListaIdiomas& f) { f.btnOk()->click(); }), -1);
    // An empty list: the window still shows; OK, Cancel and close all give -1.
    EXPECT_EQ(executarCom(form, {}, 0, [](TformListaIdiomas& f) { f.btnOk()->click(); }), -1);
    EXPECT_EQ(executarCom(form, {}, -1, [](TformListaIdiomas& f) { f.close(); }), -1);
}

TEST_F(FormListaIdiomasTest, DoubleClickIsOkAlsoBelowTheLastName) {
    const int naLinha = executarCom(form, kNomes, -1, [](TformListaIdiomas& f) {
        QWidget* area = f.listaIdiomas()->viewport();
        const QPoint ponto = f.listaIdiomas()->visualItemRect(f.listaIdiomas()->item(1)).center();
        QTest::mouseClick(area, Qt::LeftButton, {}, ponto);
        QTest::mouseDClick(area, Qt::LeftButton, {}, ponto);
    });
    EXPECT_EQ(naLinha, 1);
    const int abaixo = executarCom(form, kNomes, 2, [](TformListaIdiomas& f) {
        QTest::mouseDClick(f.listaIdiomas()->viewport(), Qt::LeftButton, {}, QPoint(100, 170));
    });
    EXPECT_EQ(abaixo, 2);
    const int semSelecao = executarCom(form, kNomes, -1, [](TformListaIdiomas& f) {
        QTest::mouseDClick(f.listaIdiomas()->viewport(), Qt::LeftButton, {}, QPoint(100, 170));
    });
    EXPECT_EQ(semSelecao, -1);
}
