// The main window's commands with the real main window, assistant and chooser: the keys, the
// picture buttons, help and the web page through a recording launcher, the assistant taking
// the capture device over and handing it back, the chooser applying a tuning, dragging, and
// start-up creating the three windows.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QListWidget>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "alsa_teste.h"
#include "ambiente_principal.h"
#include "aplicacao_teste.h"
#include "controle_imagem.h"
#include "fafinacoes.h"
#include "fassistente.h"
#include "form_principal.h"
#include "gerenciador_afinacoes.h"
#include "inicializacao.h"
#include "lancador.h"
#include "principal_teste.h"
#include "program_path.h"
#include "recorder.h"
#include "rotimg.h"
#include "tone.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class LancadorGravador : public Lancador {
public:
    std::vector<std::string> enderecos;
    bool falhar = false;
    bool abrirNoNavegador(const std::string& texto) override {
        if (falhar) throw std::runtime_error("no browser");
        enderecos.push_back(texto);
        return true;
    }
    bool abrirArquivoNoNavegador(const std::string& caminho) override {
        return abrirNoNavegador(caminho);
    }
};

class ComandosPrincipalTest : public ::testing::Test {
protected:
    void SetUp() override {
        capturarConstante(128);
        form = std::make_unique<TformPrincipal>(ambiente.opcoes());
        ASSERT_TRUE(form->construida());
        auto novo = std::make_unique<LancadorGravador>();
        lancamentos = novo.get();
        setLancador(std::move(novo));
    }
    void TearDown() override {
        form.reset();
        setLancador(nullptr);
    }
    void mostrar() {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    std::string nota(int midi) const {
        char linha[40];
        std::snprintf(linha, sizeof linha, "PutMidiOut 100 90 %02X 7F", midi);
        return linha;
    }

    AmbientePrincipal ambiente;
    std::unique_ptr<TformPrincipal> form;
    LancadorGravador* lancamentos = nullptr;
};

}  // namespace

TEST_F(ComandosPrincipalTest, ArrowKeysWrapBothWaysAndSpacePlaysTheSelectedStringAgain) {
    mostrar();
    ambiente.midi.clear();
    QTest::keyClick(form.get(), Qt::Key_Left);  // string 0 -> the last string
    EXPECT_EQ(form->cordaSelecionada(), 5);
    EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", nota(64)));
    ambiente.midi.clear();
    QTest::keyClick(form.get(), Qt::Key_Right, Qt::ShiftModifier);  // back to string 0
    EXPECT_EQ(form->cordaSelecionada(), 0);
    EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", nota(40)));

    // A four-string tuning with string 2 selected: Space plays string 2 again.
    form->gerenciadorAfinacoes()->setIndiceAtual(1);
    form->aplicarAfinacao();
    QTest::keyClick(form.get(), Qt::Key_Right);
    QTest::keyClick(form.get(), Qt::Key_Right);
    ambiente.midi.clear();
    QTest::keyClick(form.get(), Qt::Key_Space);
    EXPECT_EQ(form->cordaSelecionada(), 2);
    EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", nota(38)));
    EXPECT_EQ(form->imagensCorda()[3]->Picture().cacheKey(),
              form->imagemCordaSelecionada()->Picture().cacheKey());
    QTest::keyClick(form.get(), Qt::Key_Right);
    QTest::keyClick(form.get(), Qt::Key_Right);  // string 3 -> string 0
    EXPECT_EQ(form->cordaSelecionada(), 0);
    ambiente.midi.clear();
    QTest::keyClick(form.get(), Qt::Key_Left);
    EXPECT_EQ(form->cordaSelecionada(), 3);
    EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", nota(43)));

    ambiente.midi.clear();
    QTest::keyClick(form.get(), Qt::Key_A);  // other keys do nothing
    EXPECT_EQ(form->cordaSelecionada(), 3);
    EXPECT_THAT(ambiente.midi.lines(), IsEmpty());
}

TEST_F(ComandosPrincipalTest, HelpAndTheWebPageOpenInTheBrowserUnchangedOrSayWhatFailed) {
    mostrar();
    const std::string caminhoAjuda = AmbientePrincipal::texto("parametros", "caminhoAjuda");
    const std::string ajuda = programDir() + "/" + caminhoAjuda;
    ASSERT_FALSE(caminhoAjuda.empty());
    // The page's folder beside the test program: this test alone puts it there and takes it away.
    const std::filesystem::path pastaAjuda =
        std::filesystem::path(programDir()) / *std::filesystem::path(caminhoAjuda).begin();
    struct Remocao {
        std::filesystem::path pasta;
        ~Remocao() { std::filesystem::remove_all(pasta); }
    } remocao{pastaAjuda};
    std::filesystem::remove_all(pastaAjuda);

    // A help page that is not there: the help box, and no browser.
    QTest::keyClick(form.get(), Qt::Key_F1);
    EXPECT_THAT(ambiente.mensagens, ElementsAre(MensagemMostrada{
                                        AmbientePrincipal::texto("fmPrincipal", "erroAbrirAjuda"),
                                        AmbientePrincipal::texto("geral", "tituloAtencao")}));
    EXPECT_THAT(lancamentos->enderecos, IsEmpty());

    // With the page there, the browser gets its path as it is.
    std::filesystem::create_directories(std::filesystem::path(ajuda).parent_path());
    std::ofstream(ajuda) << "<html></html>";
    ambiente.mensagens.clear();
    QTest::mouseClick(form->btnAjuda(), Qt::LeftButton);
    QTest::mouseClick(form->imgLink(), Qt::LeftButton);
    EXPECT_THAT(lancamentos->enderecos,
                ElementsAre(ajuda, AmbientePrincipal::texto("parametros", "urlVelmora")));
    EXPECT_THAT(ambiente.mensagens, IsEmpty());

    // A launcher that fails: the browser box for both.
    lancamentos->falhar = true;
    form->btnAjudaClick();
    form->imgLinkClick();
    const MensagemMostrada erro{AmbientePrincipal::texto("geral", "erroAbrirNavegador"),
                                AmbientePrincipal::texto("geral", "nomeAplicacao")};
    EXPECT_THAT(ambiente.mensagens, ElementsAre(erro, erro));
}

// Help from a program folder whose name Windows-1252 cannot spell (a Cyrillic and Chinese home
// folder): the page is found and the browser gets its path as the file system spells it.
TEST_F(ComandosPrincipalTest, HelpOpensFromAProgramFolderWithAnyCharactersInItsName) {
    const std::filesystem::path pasta =
        std::filesystem::path(ambiente.pasta()) / "Тюнер 调音器 – ÿ";
    const std::string ajuda =
        pasta.string() + "/" + AmbientePrincipal::texto("parametros", "caminhoAjuda");
    std::filesystem::create_directories(std::filesystem::path(ajuda).parent_path());
    std::ofstream(ajuda) << "<html></html>";
    TformPrincipal::Opcoes opcoes = ambiente.opcoes();
    opcoes.pastaPrograma = pasta.string();
    form = std::make_unique<TformPrincipal>(opcoes);
    mostrar();
    QTest::keyClick(form.get(), Qt::Key_F1);
    EXPECT_THAT(lancamentos->enderecos, ElementsAre(ajuda));
    EXPECT_THAT(ambiente.mensagens, IsEmpty());
}

TEST_F(ComandosPrincipalTest, TheAssistantTakesTheCaptureDeviceAndHandsItBack) {
    capturarConstante(0);  // full scale, so both meters have something to show
    TformAssistente assistente;
    assistente.setMostrarErroAudio([this](int codigo) { form->mostrarErroAudio(codigo); });
    form->setFormAssistente(&assistente);
    mostrar();
    ASSERT_EQ(form->gravador().State(), TRecorderState::Capturing);
    ASSERT_TRUE(form->timer().isActive());

    bool verificado = false;
    quandoModal([&] {
        EXPECT_TRUE(assistente.isVisible());
        EXPECT_FALSE(form->timer().isActive());
        EXPECT_EQ(form->gravador().State(), TRecorderState::Closed);
        EXPECT_EQ(assistente.gravador().State(), TRecorderState::Capturing);
        EXPECT_TRUE(rodarAte([&] { return assistente.medidorVolume()->value() == 8192; }, 5000));
        verificado = true;
        assistente.btnFecharClick();
    });
    QTest::keyClick(form.get(), Qt::Key_F2);
    EXPECT_TRUE(verificado);
    EXPECT_EQ(assistente.gravador().State(), TRecorderState::Closed);
    EXPECT_TRUE(form->timer().isActive());
    EXPECT_EQ(form->gravador().State(), TRecorderState::Capturing);
    ContadorBuffers contador;
    const auto cliente = TAudioClientEvent::bind(&contador, &ContadorBuffers::aoNotificar);
    form->gravador().AddClient(cliente);
    EXPECT_TRUE(rodarAte([&] { return contador.buffers >= 2; }, 5000));
    form->gravador().RemoveClient(cliente);
    EXPECT_THAT(ambiente.mensagens, IsEmpty());

    // When capture cannot start again, the user is told and the display stays still.
    quandoModal([&] {
        form->gravador().Device().setId(form->gravador().DeviceCount() + 5);
        assistente.reject();
    });
    QTest::mouseClick(form->btnAssistente(), Qt::LeftButton);
    EXPECT_FALSE(form->timer().isActive());
    EXPECT_THAT(ambiente.mensagens,
                ElementsAre(MensagemMostrada{AmbientePrincipal::texto("fmPrincipal", "erroIOSO"),
                                             AmbientePrincipal::texto("geral", "tituloAtencao")}));
}

TEST_F(ComandosPrincipalTest, WhileTheAssistantIsTheActiveWindowTheDisplayStandsStill) {
    // A tone three analyser bins above E2: each tick moves the needle a quarter of the way to
    // about 20 degrees clockwise.
    const auto tom = sineTone8(125 * 11025.0 / 16384, 11025, 11025 * 4);
    capturarBytes(std::string(tom.begin(), tom.end()));
    form.reset();
    form = std::make_unique<TformPrincipal>(ambiente.opcoes());
    TformAssistente assistente;
    form->setFormAssistente(&assistente);
    mostrar();
    form->timer().stop();  // the ticks come from the test
    ContadorBuffers contador;
    const auto cliente = TAudioClientEvent::bind(&contador, &ContadorBuffers::aoNotificar);
    form->gravador().AddClient(cliente);
    ASSERT_TRUE(rodarAte([&] { return contador.buffers >= 5; }, 5000));
    form->gravador().Stop();  // the spectrum holds still
    form->gravador().RemoveClient(cliente);
    form->timerTimer();
    const long double primeiro = form->imgPonteiro()->Angle();
    ASSERT_LT(primeiro, -1.0L);

    assistente.show();
    assistente.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&assistente));
    for (int t = 0; t < 5; ++t) form->timerTimer();
    EXPECT_EQ(form->imgPonteiro()->Angle(), primeiro);
    EXPECT_EQ(form->laco().angulo(), primeiro);

    // The main window active again, the next tick goes on from where the needle stood.
    assistente.hide();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // From 0 the first tick went a quarter of the way (T / 4), so the second stands at 7 T / 16;
    // had the paused ticks run, the needle would be much nearer T by now.
    form->timerTimer();
    EXPECT_NEAR(static_cast<double>(form->imgPonteiro()->Angle()),
                static_cast<double>(primeiro * 1.75L), 1e-6);
}

TEST_F(ComandosPrincipalTest, TheChooserAppliesTheChosenTuningWhileTheDisplayRuns) {
    TformAfinacoes afinacoes;
    afinacoes.setAplicarAfinacao([this] { form->aplicarAfinacao(); });
    form->setFormAfinacoes(&afinacoes);
    mostrar();
    bool verificado = false;
    quandoModal([&] {
        EXPECT_TRUE(afinacoes.isVisible());
        EXPECT_TRUE(form->timer().isActive());
        // Rows: guitar, bass, five-string bass, the long-named one (seven strings not listed).
        EXPECT_EQ(afinacoes.indicesLinhas(), (std::vector<int>{0, 1, 2, 4}));
        afinacoes.listaAfinacoes()->setCurrentRow(1);
        verificado = true;
        QTest::keyClick(afinacoes.listaAfinacoes(), Qt::Key_Return);
    });
    QTest::keyClick(form.get(), Qt::Key_F3);
    EXPECT_TRUE(verificado);
    EXPECT_EQ(form->gerenciadorAfinacoes()->getIndiceAtual(), 1);
    ASSERT_NE(form->afinacaoAtual(), nullptr);
    EXPECT_EQ(form->afinacaoAtual()->getNumeroCordas(), 4);
    EXPECT_FALSE(form->imagensCorda()[0]->isVisible());

    quandoModal([&] { QTest::mouseClick(afinacoes.btnCancelar(), Qt::LeftButton); });
    QTest::mouseClick(form->btnAfinacoes(), Qt::LeftButton);
    EXPECT_EQ(form->gerenciadorAfinacoes()->getIndiceAtual(), 1);
}

TEST_F(ComandosPrincipalTest, PictureButtonsShowPressedPicturesMinimiseAndClose) {
    mostrar();
    // Holders of distinct pictures, so each swap can be seen.
    for (int i = 0; i < TformPrincipal::kBotoes; ++i) {
        QPixmap figura(25, 25);
        figura.fill(QColor::fromHsv(i * 36, 255, 200));
        form->imagensBotao()[static_cast<std::size_t>(i)]->setPicture(figura);
    }
    for (TImage* botao : {form->btnSair(), form->btnAjuda(), form->btnMinimizar(),
                          form->btnAssistente(), form->btnAfinacoes()}) {
        const auto figura = [&](int i) {
            return form->imagensBotao()[static_cast<std::size_t>(i)]->Picture().cacheKey();
        };
        QTest::mousePress(botao, Qt::RightButton);
        EXPECT_EQ(botao->Picture().cacheKey(), figura(botao->Tag() + 1))
            << botao->objectName().toStdString();
        QTest::mouseRelease(botao, Qt::RightButton);
        EXPECT_EQ(botao->Picture().cacheKey(), figura(botao->Tag()));
    }
    EXPECT_TRUE(form->isVisible());  // no right click ran a command

    QTest::mouseClick(form->btnMinimizar(), Qt::LeftButton);
    EXPECT_TRUE(form->isMinimized());
    form->showNormal();
    QTest::mouseClick(form->btnSair(), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_NE(ambiente.lerConfiguracoes().find("afinacaoSelecionada"), std::string::npos);
}

TEST_F(ComandosPrincipalTest, TheBackgroundTheNeckAndTheTitleDragTheWindow) {
    mostrar();
    const std::pair<QWidget*, QPoint> alcas[] = {{form->imgTitulo(), QPoint(10, 10)},
                                                 {form->imagemBackground(), QPoint(500, 400)},
                                                 {form->imgBraco(), QPoint(20, 300)}};
    for (const auto& [alca, ponto] : alcas) {
        const QPoint antes = form->pos();
        QTest::mousePress(alca, Qt::LeftButton, {}, ponto);
        QTest::mouseMove(alca, ponto + QPoint(7, 4));
        rodarAte([&] { return form->pos() != antes; }, 2000);
        QTest::mouseRelease(alca, Qt::LeftButton, {}, ponto + QPoint(7, 4));
        EXPECT_EQ(form->pos(), antes + QPoint(7, 4)) << alca->objectName().toStdString();
    }
}

TEST(InicializacaoComandos, StartUpCreatesTheAssistantAndTheChooserAfterTheMainWindow) {
    AmbientePrincipal ambiente;
    capturarConstante(128);
    ambiente.escreverConfiguracoes("[geral]\r\nidioma=English\r\nafinacaoSelecionada=2\r\n");
    OpcoesInicializacao opcoes;
    opcoes.resolucaoTela = [] { return 96.0; };
    opcoes.esperaSplashMs = 0;
    opcoes.principal = ambiente.opcoes();
    bool mostrada = false;
    opcoes.aoMostrar = [&](TformPrincipal& form) {
        mostrada = true;
        auto* afinacoes = dynamic_cast<TformAfinacoes*>(form.formAfinacoes());
        ASSERT_NE(afinacoes, nullptr);
        ASSERT_NE(dynamic_cast<TformAssistente*>(form.formAssistente()), nullptr);
        // The chooser was filled from the tunings the main window loaded.
        EXPECT_EQ(afinacoes->indicesLinhas(), (std::vector<int>{0, 1, 2, 4}));
        QTimer::singleShot(50, &form, [&form, afinacoes] {
            quandoModal([&form, afinacoes] {
                EXPECT_EQ(afinacoes->listaAfinacoes()->currentRow(), 2);
                afinacoes->reject();
                QTimer::singleShot(0, &form, [&form] { form.close(); });
            });
            QTest::keyClick(&form, Qt::Key_F3);
        });
    };
    EXPECT_EQ(executarAplicacao(aplicacao(), opcoes), 0);
    EXPECT_TRUE(mostrada);
    EXPECT_THAT(ambiente.mensagens, IsEmpty());
}
