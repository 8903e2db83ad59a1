// The skinned windows' building blocks: the picture control's mouse events, dragging a window
// by its background where the window manager cannot move it, the launcher and the mixer lookup.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

#include "aplicacao_teste.h"
#include "controle_imagem.h"
#include "lancador.h"
#include "movimento_janela.h"
#include "texto_qt.h"

namespace {

struct Registro {
    std::vector<std::string> eventos;
};

void observar(TImage& imagem, Registro& registro) {
    imagem.OnClick = [&registro](TImage*) { registro.eventos.push_back("click"); };
    imagem.OnDblClick = [&registro](TImage*) { registro.eventos.push_back("dblclick"); };
    imagem.OnMouseDown = [&registro](TImage*, Qt::MouseButton b, QPoint) {
        registro.eventos.push_back(b == Qt::LeftButton ? "down-left" : "down-other");
    };
    imagem.OnMouseUp = [&registro](TImage*, Qt::MouseButton b) {
        registro.eventos.push_back(b == Qt::LeftButton ? "up-left" : "up-other");
    };
}

}  // namespace

TEST(TImage, ClickDoubleClickAndOtherButtonsArriveInTheOrderHandlersExpect) {
    aplicacaoTeste();
    QWidget janela;
    janela.resize(100, 100);
    TImage imagem(&janela);
    imagem.setGeometry(10, 10, 40, 20);
    Registro registro;
    observar(imagem, registro);
    janela.show();

    QTest::mouseClick(&imagem, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(registro.eventos, (std::vector<std::string>{"down-left", "click", "up-left"}));

    registro.eventos.clear();
    cliqueDuplo(&imagem, QPoint(5, 5));
    // The second press is the double click: it counts once, not also as a click.
    EXPECT_EQ(registro.eventos, (std::vector<std::string>{"down-left", "click", "up-left",
                                                          "dblclick", "down-left", "up-left"}));

    registro.eventos.clear();
    QTest::mouseClick(&imagem, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(registro.eventos, (std::vector<std::string>{"down-other", "up-other"}));

    // Released outside the control: no click.
    registro.eventos.clear();
    QTest::mousePress(&imagem, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&imagem, Qt::LeftButton, {}, QPoint(60, 5));
    EXPECT_EQ(registro.eventos, (std::vector<std::string>{"down-left", "up-left"}));
}

TEST(TImage, AClickThatDestroysTheControlIsSafe) {
    aplicacaoTeste();
    QWidget janela;
    janela.resize(100, 100);
    auto* imagem = new TImage(&janela);
    imagem->setGeometry(0, 0, 50, 50);
    bool soltou = false;
    imagem->OnClick = [imagem](TImage*) { imagem->deleteLater(); };
    imagem->OnMouseUp = [&soltou](TImage*, Qt::MouseButton) { soltou = true; };
    janela.show();
    QTest::mouseClick(imagem, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(soltou);
    rodarPor(5);
    EXPECT_TRUE(janela.findChildren<TImage*>().isEmpty());
}

TEST(TImage, PicturesFromTheLanguageManagerSetAndClear) {
    aplicacaoTeste();
    TImage imagem;
    auto quadro = std::make_unique<QImage>(8, 4, QImage::Format_RGB32);
    quadro->fill(Qt::red);
    imagem.setPicture(quadro);
    EXPECT_EQ(imagem.Picture().size(), QSize(8, 4));
    imagem.setPicture(std::unique_ptr<QImage>());
    EXPECT_TRUE(imagem.Picture().isNull());
}

TEST(MovimentoJanela, TheWindowFollowsTheMouseUntilTheButtonIsReleased) {
    aplicacaoTeste();
    QWidget janela(nullptr, Qt::FramelessWindowHint);
    janela.setGeometry(100, 100, 200, 150);
    TImage fundo(&janela);
    fundo.setGeometry(0, 0, 200, 150);
    MovimentoJanela movimento;
    fundo.OnMouseDown = [&movimento](TImage* origem, Qt::MouseButton b, QPoint pos) {
        if (b == Qt::LeftButton) movimento.iniciar(origem, pos);
    };
    janela.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&janela));
    const QPoint antes = janela.pos();

    QTest::mousePress(&fundo, Qt::LeftButton, {}, QPoint(20, 20));
    ASSERT_TRUE(movimento.ativo());  // the offscreen platform has no window manager moves
    QTest::mouseMove(&fundo, QPoint(50, 35));
    rodarAte([&] { return janela.pos() != antes; }, 2000);
    EXPECT_EQ(janela.pos(), antes + QPoint(30, 15));
    QTest::mouseRelease(&fundo, Qt::LeftButton, {}, QPoint(50, 35));
    EXPECT_FALSE(movimento.ativo());

    // The right button drags nothing.
    const QPoint depois = janela.pos();
    QTest::mousePress(&fundo, Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_FALSE(movimento.ativo());
    QTest::mouseRelease(&fundo, Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(janela.pos(), depois);
}

TEST(TextoQt, LanguageLineBreaksAndAccentsShowAsTheyRead) {
    EXPECT_EQ(textoQt("Afina\xE7\xE3o\r\nsegunda"), QString::fromUtf8("Afinação\nsegunda"));
}

TEST(Lancador, TheMixerIsLookedUpOnTheSearchPathAndStartedDetached) {
    aplicacaoTeste();
    PastaTemporaria pasta;
    const std::string saida = pasta.arquivo("argumentos.txt");
    pasta.escrever("bin/pavucontrol", "#!/bin/sh\necho \"$@\" > '" + saida + "'\n");
    ::chmod(pasta.arquivo("bin/pavucontrol").c_str(), 0755);

    const std::string caminhoAntes = ::getenv("PATH") ? ::getenv("PATH") : "";
    ::setenv("PATH", pasta.arquivo("vazio").c_str(), 1);
    EXPECT_TRUE(localizarMixer().programa.empty());

    ::setenv("PATH", pasta.arquivo("bin").c_str(), 1);
    const ProgramaMixer mixer = localizarMixer();
    EXPECT_EQ(mixer.programa, "pavucontrol");
    EXPECT_TRUE(lancador().executar(mixer.programa, mixer.argumentos));
    EXPECT_TRUE(rodarAte([&] { return !pasta.ler("argumentos.txt").empty(); }, 5000));
    EXPECT_EQ(pasta.ler("argumentos.txt"), "--tab=4\n");
    EXPECT_FALSE(lancador().executar("programa-que-nao-existe", {}));
    ::setenv("PATH", caminhoAntes.c_str(), 1);
}

TEST(Lancador, AReplacementReceivesTheCallsUntilRestored) {
    struct Gravador : Lancador {
        std::vector<std::string>* textos;
        bool abrirNoNavegador(const std::string& texto) override {
            textos->push_back(texto);
            return true;
        }
    };
    std::vector<std::string> textos;
    auto novo = std::make_unique<Gravador>();
    novo->textos = &textos;
    setLancador(std::move(novo));
    lancador().abrirNoNavegador("https://example.org/a b");
    EXPECT_EQ(textos, (std::vector<std::string>{"https://example.org/a b"}));
    EXPECT_NE(setLancador(nullptr), nullptr);
    EXPECT_EQ(setLancador(nullptr), nullptr);
}
