#include "form_lista_idiomas.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "gerenciador_idiomas.h"
#include "pasta_temporaria.h"
#include "terminacao.h"
#include "utilgui.h"

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

namespace {

// The manager asking through the real chooser window.
class EscolhaNaJanelaTest : public ::testing::Test {
protected:
    void SetUp() override {
        cancelarTerminacao();
        anterior_ = setMostradorMensagem(
            [this](const std::string& texto, const std::string&) { mensagens.push_back(texto); });
        for (const char* nome : {"Beta", "Alfa"})
            pasta.escrever(std::string(nome) + ".idm",
                           std::string("[EspecificacaoIdioma]\r\nnomeIdioma=") + nome +
                               "\r\ncodAplicacao=Tessarin 2.0\r\n");
    }
    void TearDown() override {
        QCoreApplication::sendPostedEvents();  // a queued quit is spent outside any loop
        setMostradorMensagem(anterior_);
        cancelarTerminacao();
    }

    // Does `acao` to the chooser window once it shows.
    void quandoAparecer(std::function<void(TformListaIdiomas&)> acao) {
        auto* vigia = new QTimer(&app_);
        vigia->setInterval(5);
        QObject::connect(vigia, &QTimer::timeout, [vigia, acao] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* form = qobject_cast<TformListaIdiomas*>(w);
                if (form && form->isVisible()) {
                    vigia->stop();
                    vigia->deleteLater();
                    acao(*form);
                    return;
                }
            }
        });
        vigia->start();
    }

    QApplication& app_ = aplicacao();
    PastaTemporaria pasta;
    std::vector<std::string> mensagens;
    MostradorMensagem anterior_;
};

}  // namespace

TEST_F(EscolhaNaJanelaTest, ChosenLineBecomesTheLanguage) {
    GerenciadorIdiomas gerenciador(pasta.caminho());
    std::vector<QString> linhas;
    quandoAparecer([&](TformListaIdiomas& f) {
        for (int i = 0; i < f.listaIdiomas()->count(); ++i)
            linhas.push_back(f.listaIdiomas()->item(i)->text());
        f.listaIdiomas()->setCurrentRow(1);
        f.btnOk()->click();
    });
    Idioma* idioma = gerenciador.selecionarIdioma("");
    ASSERT_NE(idioma, nullptr);
    EXPECT_EQ(idioma->getNome(), "Beta");
    EXPECT_EQ(linhas, (std::vector<QString>{"Alfa", "Beta"}));
    // No language saved yet (a first start): the chooser without a message before it.
    EXPECT_TRUE(mensagens.empty());
    EXPECT_FALSE(terminacaoSolicitada());
}

TEST_F(EscolhaNaJanelaTest, ClosedChooserRequestsTermination) {
    GerenciadorIdiomas gerenciador(pasta.caminho());
    quandoAparecer([](TformListaIdiomas& f) { f.close(); });
    EXPECT_EQ(gerenciador.selecionarIdioma("Gamma"), nullptr);
    EXPECT_EQ(mensagens.size(), 2u);
    EXPECT_TRUE(terminacaoSolicitada());
}
