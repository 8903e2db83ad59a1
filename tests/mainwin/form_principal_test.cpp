// The main window with the real components: the shipped languages, a tuning file, the recording
// MIDI driver library, the recorder and the analyser.
#include "form_principal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "ambiente_principal.h"
#include "aplicacao.h"
#include "configuracoes_usuario.h"
#include "controle_imagem.h"
#include "fft.h"
#include "gerenciador_afinacoes.h"
#include "gerenciador_idiomas.h"
#include "recorder.h"
#include "rotimg.h"
#include "terminacao.h"
#include "texto_qt.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr const char* kSecao = "fmPrincipal";

QString textoIdioma(const char* secao, const char* chave) {
    return textoQt(AmbientePrincipal::texto(secao, chave));
}

// Which string positions show, and the Tag of each position that shows.
std::vector<int> tagsVisiveis(const TformPrincipal& form) {
    std::vector<int> tags;
    for (int p = 0; p < TformPrincipal::kPosicoes; ++p) {
        const TImage* corda = form.imagensCorda()[p];
        const TRotateImage* fim = form.imagensFimCorda()[p];
        EXPECT_EQ(corda->isVisibleTo(&form), fim->isVisibleTo(&form)) << p;
        EXPECT_EQ(TformPrincipal::tagDe(corda), TformPrincipal::tagDe(fim)) << p;
        tags.push_back(corda->isVisibleTo(&form) ? corda->Tag() : -1);
    }
    return tags;
}

// The position that is highlighted (string picture, string end and peg hint agree), or -1.
int posicaoDestacada(const TformPrincipal& form) {
    int destacada = -1;
    for (int p = 0; p < TformPrincipal::kPosicoes; ++p) {
        const bool peg = form.imagensMoverTarracha()[p]->isVisibleTo(&form);
        const QPixmap& corda = form.imagensCorda()[p]->Picture();
        const bool cordaDestacada =
            corda.cacheKey() == form.imagemCordaSelecionada()->Picture().cacheKey();
        EXPECT_TRUE(cordaDestacada || corda.isNull()) << p;
        const QImage fim = form.imagensFimCorda()[p]->Picture().graphic();
        const bool fimDestacado =
            !fim.isNull() && fim.size() == form.imagensFimCordaSelecionada()[p]->Picture().size();
        EXPECT_TRUE(fimDestacado || fim.isNull()) << p;
        EXPECT_EQ(peg, cordaDestacada) << p;
        EXPECT_EQ(peg, fimDestacado) << p;
        if (peg) {
            EXPECT_EQ(destacada, -1) << "two highlighted positions";
            destacada = p;
        }
    }
    return destacada;
}

// Distinct pictures in the highlight holders, whatever the skin provides, so the copies the
// selection makes can be told apart from the empty picture.
void marcarFiguras(TformPrincipal& form) {
    QPixmap corda(17, 306);
    corda.fill(Qt::yellow);
    form.imagemCordaSelecionada()->setPicture(corda);
    for (int p = 0; p < TformPrincipal::kPosicoes; ++p) {
        QPixmap fim(10 + p, 20 + p);
        fim.fill(Qt::red);
        form.imagensFimCordaSelecionada()[p]->setPicture(fim);
    }
    form.aplicarAfinacao();
}

// What the window system delivers for a double click: press, release, then the second press
// followed by the double-click event, and its release.
void duploClique(QWidget* alvo) {
    const QPointF ponto(alvo->width() / 2.0, alvo->height() / 2.0);
    const QPointF global = alvo->mapToGlobal(ponto);
    auto enviar = [&](QEvent::Type tipo, Qt::MouseButtons botoes) {
        QMouseEvent evento(tipo, ponto, global, Qt::LeftButton, botoes, Qt::NoModifier);
        QApplication::sendEvent(alvo, &evento);
    };
    enviar(QEvent::MouseButtonPress, Qt::LeftButton);
    enviar(QEvent::MouseButtonRelease, Qt::NoButton);
    enviar(QEvent::MouseButtonPress, Qt::LeftButton);
    enviar(QEvent::MouseButtonDblClick, Qt::LeftButton);
    enviar(QEvent::MouseButtonRelease, Qt::NoButton);
}

class FormPrincipalTest : public ::testing::Test {
protected:
    std::unique_ptr<TformPrincipal> criar() {
        auto form = std::make_unique<TformPrincipal>(ambiente.opcoes());
        if (form->construida()) marcarFiguras(*form);
        return form;
    }
    void mudarAfinacao(TformPrincipal& form, int indice) {
        form.gerenciadorAfinacoes()->setIndiceAtual(indice);
        form.aplicarAfinacao();
    }
    AmbientePrincipal ambiente;
};

TEST_F(FormPrincipalTest, ConstructionAppliesLanguageAudioNumbersAndTheFirstTuning) {
    auto form = criar();
    ASSERT_TRUE(form->construida());
    EXPECT_THAT(ambiente.mensagens, IsEmpty());

    EXPECT_EQ(form->size(), QSize(802, 532));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(TAplicacao::titulo(), AmbientePrincipal::texto("geral", "tituloAplicacao"));
    EXPECT_EQ(form->windowTitle(), textoIdioma("geral", "nomeAplicacao"));
    EXPECT_EQ(form->lblTextoCorda()->text(), textoIdioma(kSecao, "lblTextoCorda"));
    EXPECT_EQ(form->lblTextoPonteiro()->text(), textoIdioma(kSecao, "lblTextoPonteiro"));
    EXPECT_EQ(form->lblCordaAfinada()->text(), textoIdioma(kSecao, "lblCordaAfinada"));
    EXPECT_FALSE(form->lblCordaAfinada()->isVisibleTo(form.get()));
    EXPECT_EQ(form->btnAjuda()->toolTip(), textoIdioma(kSecao, "hintBtnAjuda"));
    EXPECT_EQ(form->btnAfinacoes()->toolTip(), textoIdioma(kSecao, "hintBtnAfinacoes"));
    EXPECT_EQ(form->imgLink()->toolTip(), textoIdioma(kSecao, "hintLinkVelmora"));
    EXPECT_EQ(form->imagensCorda()[5]->toolTip(), textoIdioma(kSecao, "hintImgCorda"));
    EXPECT_FALSE(form->imagensCorda()[5]->toolTip().isEmpty());

    // Language pictures reach their controls; the command buttons show their normal pictures.
    GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
    const std::pair<const char*, TImage*> figuras[] = {
        {"imgTitulo", form->imgTitulo()},
        {"imgLink", form->imgLink()},
        {"imgFundoPonteiro", form->imgFundoPonteiro()},
        {"imgBtnProximaCorda", form->btnProximaCorda()},
        {"imgBtnAssistente", form->btnAssistente()},
        {"imgBtnAfinacoes", form->btnAfinacoes()},
        {"imgBtnAssistenteI", form->imagensBotao()[7]},
        {"imgBtnAfinacoesI", form->imagensBotao()[9]}};
    for (const auto& [chave, controle] : figuras) {
        const auto esperada = idiomas->getImagem(kSecao, chave);
        EXPECT_EQ(controle->Picture().isNull(), esperada == nullptr) << chave;
        if (esperada) {
            EXPECT_EQ(controle->Picture().size(), esperada->size()) << chave;
        }
    }
    for (int tag : {0, 2, 4, 6, 8}) {
        const TImage* botoes[] = {form->btnSair(), form->btnAjuda(), form->btnMinimizar(),
                                  form->btnAssistente(), form->btnAfinacoes()};
        const TImage* botao = botoes[tag / 2];
        EXPECT_EQ(botao->Tag(), tag);
        EXPECT_EQ(botao->Picture().cacheKey(), form->imagensBotao()[tag]->Picture().cacheKey());
    }

    // The audio chain: 11025 Hz, analysis length 16380 (rounded by the analyser), buffers of
    // 4069 samples, the recorder as the analyser's source, no automatic start.
    EXPECT_EQ(form->gravador().Quality().Frequency(), 11025);
    EXPECT_EQ(form->gravador().BufSize(), 4069);
    EXPECT_FALSE(form->gravador().AutoStart());
    EXPECT_EQ(form->fft().Source(), &form->gravador());
    EXPECT_EQ(form->fft().BufSize(), 16384);
    EXPECT_DOUBLE_EQ(form->larguraBin(), 11025.0 / 16380.0);
    EXPECT_FALSE(form->timer().isActive());
    EXPECT_EQ(form->timer().interval(), 50);

    // Bank 0 and program 24 follow the output's own program change.
    const auto linhas = ambiente.midi.lines();
    ASSERT_GE(linhas.size(), 3u);
    EXPECT_THAT(std::vector<std::string>(linhas.end() - 3, linhas.end()),
                ElementsAre("PutMidiOut 100 C0 1B 00", "PutMidiOut 100 B0 00 00",
                            "PutMidiOut 100 C0 18 00"));

    // The first tuning, string 0 highlighted and named.
    EXPECT_EQ(form->gerenciadorAfinacoes()->getIndiceAtual(), 0);
    EXPECT_EQ(form->cordaSelecionada(), 0);
    EXPECT_EQ(posicaoDestacada(*form), 0);
    EXPECT_EQ(form->lblCordaSelecionada()->text(),
              textoIdioma(kSecao, "lblCordaSelecionada") + " E");
    EXPECT_EQ(form->lblNomeInstrumento()->text(), textoIdioma("xmlAfinacao", "VIO"));
    EXPECT_EQ(form->lblNomeInstrumento()->geometry(),
              QRect(267, 217, 130, form->lblNomeInstrumento()->height()));
    EXPECT_EQ(form->lblTipoAfinacao()->geometry(),
              QRect(267, 233, 130, form->lblTipoAfinacao()->height()));
    EXPECT_EQ(tagsVisiveis(*form), (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST_F(FormPrincipalTest, FourFiveAndSixStringTuningsUseTheirPositionsAndNecks) {
    auto form = criar();
    ASSERT_TRUE(form->construida());
    const qint64 braco6 = form->imgBraco6Cordas()->Picture().cacheKey();
    const qint64 braco4 = form->imgBraco4Cordas()->Picture().cacheKey();
    EXPECT_EQ(form->imgBraco()->Picture().cacheKey(), braco6);

    mudarAfinacao(*form, 1);  // four strings: the middle four positions
    EXPECT_EQ(tagsVisiveis(*form), (std::vector<int>{-1, 0, 1, 2, 3, -1}));
    EXPECT_EQ(form->imgBraco()->Picture().cacheKey(), braco4);
    EXPECT_EQ(form->posicaoCorda(0), 1);
    EXPECT_EQ(posicaoDestacada(*form), 1);
    EXPECT_EQ(form->desvios()[3],
              form->afinacaoAtual()->getFrequencia(3) -
                  std::round(form->afinacaoAtual()->getFrequencia(3) / form->larguraBin()) *
                      form->larguraBin());

    mudarAfinacao(*form, 2);  // five strings: the sixth position goes
    EXPECT_EQ(tagsVisiveis(*form), (std::vector<int>{0, 1, 2, 3, 4, -1}));
    EXPECT_EQ(form->imgBraco()->Picture().cacheKey(), braco6);
    EXPECT_EQ(posicaoDestacada(*form), 0);

    mudarAfinacao(*form, 0);
    EXPECT_EQ(tagsVisiveis(*form), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(posicaoDestacada(*form), 0);
    // Applying a tuning plays nothing.
    const auto linhas = ambiente.midi.lines();
    EXPECT_EQ(std::count_if(linhas.begin(), linhas.end(),
                            [](const std::string& l) { return l.find(" 90 ") != l.npos; }),
              0);
}

TEST_F(FormPrincipalTest, ALongNameIsShortenedAndRepeatedFitsDoNotCreepSideways) {
    auto form = criar();
    ASSERT_TRUE(form->construida());
    QLabel* nome = form->lblNomeInstrumento();
    for (int vez = 0; vez < 3; ++vez) {
        mudarAfinacao(*form, 4);
        EXPECT_TRUE(nome->text().endsWith(QStringLiteral("...")));
        EXPECT_EQ(nome->x(), 267 + (130 - nome->width()) / 2);
        mudarAfinacao(*form, 0);
        EXPECT_EQ(nome->geometry(), QRect(267, 217, 130, nome->height()));
    }
}

TEST_F(FormPrincipalTest, AClickOnAStringOrItsEndPlaysAndSelectsIt) {
    auto form = criar();
    ASSERT_TRUE(form->construida());
    ambiente.midi.clear();

    QTest::mouseClick(form->imagensCorda()[2], Qt::LeftButton);
    EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", "PutMidiOut 100 90 32 7F"));
    EXPECT_EQ(form->cordaSelecionada(), 2);
    EXPECT_EQ(posicaoDestacada(*form), 2);
    EXPECT_EQ(form->lblCordaSelecionada()->text(),
              textoIdioma(kSecao, "lblCordaSelecionada") + " D");

    ambiente.midi.clear();
    emit form->imagensFimCorda()[4]->Click();
    EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", "PutMidiOut 100 90 3B 7F"));
    EXPECT_EQ(form->cordaSelecionada(), 4);
    EXPECT_EQ(posicaoDestacada(*form), 4);

    // The same string again restarts its note.
    ambiente.midi.clear();
    QTest::mouseClick(form->imagensCorda()[4], Qt::LeftButton);
    EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", "PutMidiOut 100 90 3B 7F"));

    // On four strings, position 1 is string 0.
    mudarAfinacao(*form, 1);
    ambiente.midi.clear();
    QTest::mouseClick(form->imagensCorda()[4], Qt::LeftButton);
    EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", "PutMidiOut 100 90 2B 7F"));
    EXPECT_EQ(form->cordaSelecionada(), 3);
    EXPECT_EQ(posicaoDestacada(*form), 4);
}

// With no output that can sound, strings are still chosen, and the user hears once why nothing
// plays; the tuner goes on.
TEST_F(FormPrincipalTest, WithNothingToSoundTheUserIsToldOnceAndStringsStillSelect) {
    ambiente.midi.opening("");  // no device opens
    auto form = criar();
    ASSERT_TRUE(form->construida());
    EXPECT_THAT(ambiente.mensagens, IsEmpty()) << "nothing is said before a note is asked for";
    for (int posicao : {2, 4, 1}) {
        ambiente.midi.clear();
        QTest::mouseClick(form->imagensCorda()[posicao], Qt::LeftButton);
        EXPECT_EQ(form->cordaSelecionada(), posicao);
        EXPECT_THAT(ambiente.midi.lines(), IsEmpty());
    }
    ASSERT_EQ(ambiente.mensagens.size(), 1u);
    EXPECT_EQ(ambiente.mensagens[0].texto, ambiente.texto(kSecao, "erroSemSom"));
    EXPECT_EQ(ambiente.mensagens[0].titulo, ambiente.texto("geral", "tituloAtencao"));
    EXPECT_FALSE(ambiente.mensagens[0].texto.empty());
}

TEST_F(FormPrincipalTest, TheNextStringButtonAdvancesWrapsAndCountsADoubleClickTwice) {
    auto form = criar();
    ASSERT_TRUE(form->construida());
    for (int esperado : {1, 2, 3, 4, 5, 0}) {
        ambiente.midi.clear();
        QTest::mouseClick(form->btnProximaCorda(), Qt::LeftButton);
        EXPECT_EQ(form->cordaSelecionada(), esperado);
        EXPECT_EQ(posicaoDestacada(*form), esperado);
        const int nota = form->afinacaoAtual()->getNotaMIDI(esperado);
        char linha[40];
        std::snprintf(linha, sizeof linha, "PutMidiOut 100 90 %02X 7F", nota);
        EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", linha));
    }

    ambiente.midi.clear();
    duploClique(form->btnProximaCorda());
    EXPECT_EQ(form->cordaSelecionada(), 2);
    EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", "PutMidiOut 100 90 2D 7F",
                                                   "ResetMidiOut 100", "PutMidiOut 100 90 32 7F"));

    mudarAfinacao(*form, 1);
    for (int esperado : {1, 2, 3, 0}) {
        QTest::mouseClick(form->btnProximaCorda(), Qt::LeftButton);
        EXPECT_EQ(form->cordaSelecionada(), esperado);
        EXPECT_EQ(posicaoDestacada(*form), esperado + 1);
    }
}

TEST_F(FormPrincipalTest, AudioStartFailuresShowTheirMessage) {
    auto form = criar();
    ASSERT_TRUE(form->construida());
    const std::string atencao = AmbientePrincipal::texto("geral", "tituloAtencao");
    const std::pair<int, const char*> casos[] = {{2, "erroIOSO"},
                                                 {32, "erroIOSO"},
                                                 {4, "erroIOOcupado"},
                                                 {6, "erroIODriver"},
                                                 {7, "erroIOMemoria"},
                                                 {36, "erroIOPerdido"},
                                                 {1, "erroIOFalha"},
                                                 {3, "erroIOFalha"},
                                                 {11, "erroIOFalha"},
                                                 {-1, "erroIOFalha"}};
    for (const auto& [codigo, chave] : casos) {
        ambiente.mensagens.clear();
        form->mostrarErroAudio(codigo);
        EXPECT_THAT(ambiente.mensagens,
                    ElementsAre(MensagemMostrada{AmbientePrincipal::texto(kSecao, chave), atencao}))
            << codigo;
        EXPECT_FALSE(ambiente.mensagens.front().texto.empty());
    }
    ambiente.mensagens.clear();
    form->mostrarErroAudio(0);  // no error
    EXPECT_THAT(ambiente.mensagens, IsEmpty());
}

TEST_F(FormPrincipalTest, ACaptureDeviceThatDoesNotExistLeavesTheTimerOffWithOneMessage) {
    auto form = criar();
    ASSERT_TRUE(form->construida());
    form->gravador().Device().setId(99);
    form->show();
    processarAte([] { return false; }, 300);
    EXPECT_THAT(ambiente.mensagens,
                ElementsAre(MensagemMostrada{AmbientePrincipal::texto(kSecao, "erroIOSO"),
                                             AmbientePrincipal::texto("geral", "tituloAtencao")}));
    EXPECT_FALSE(form->timer().isActive());
    // Minimising and restoring the window does not start again.
    form->showMinimized();
    form->showNormal();
    processarAte([] { return false; }, 100);
    EXPECT_EQ(ambiente.mensagens.size(), 1u);
    EXPECT_FALSE(form->timer().isActive());
    form->close();
}

TEST_F(FormPrincipalTest, ClosingSavesTheSettingsAndTheNextWindowRestoresTheTuning) {
    ambiente.escreverConfiguracoes(
        "[geral]\r\nidioma=English\r\nafinacaoSelecionada=1\r\ntipoSistema=2\r\n");
    {
        auto form = criar();
        ASSERT_TRUE(form->construida());
        EXPECT_EQ(form->gerenciadorAfinacoes()->getIndiceAtual(), 1);
        EXPECT_EQ(form->afinacaoAtual()->getNumeroCordas(), 4);
        EXPECT_EQ(form->tipoSistema(), 2);
        mudarAfinacao(*form, 2);
        QSignalSpy fechada(form.get(), &TformPrincipal::fechada);
        EXPECT_TRUE(form->close());
        EXPECT_EQ(fechada.count(), 1);
    }
    EXPECT_EQ(ambiente.lerConfiguracoes(),
              "[geral]\r\nidioma=English\r\nafinacaoSelecionada=2\r\ntipoSistema=2\r\n");
    auto outra = criar();
    ASSERT_TRUE(outra->construida());
    EXPECT_EQ(outra->gerenciadorAfinacoes()->getIndiceAtual(), 2);
    EXPECT_EQ(outra->afinacaoAtual()->getNumeroCordas(), 5);
    EXPECT_EQ(tagsVisiveis(*outra), (std::vector<int>{0, 1, 2, 3, 4, -1}));

    // The window system's close request saves as well.
    mudarAfinacao(*outra, 0);
    QCloseEvent pedido;
    QApplication::sendEvent(outra.get(), &pedido);
    EXPECT_NE(ambiente.lerConfiguracoes().find("afinacaoSelecionada=0\r\n"), std::string::npos);
}

// A settings file that cannot be written (here a folder stands in its place): the user is told
// where, once, however often the window is closed.
TEST_F(FormPrincipalTest, SettingsThatCannotBeSavedAreReportedOnce) {
    std::filesystem::create_directory(ambiente.caminhoConfiguracoes());
    auto form = criar();
    ASSERT_TRUE(form->construida());
    EXPECT_TRUE(form->close());
    QCloseEvent pedido;
    QApplication::sendEvent(form.get(), &pedido);
    const MensagemMostrada aviso{
        AmbientePrincipal::texto("geral", "erroSalvarConfiguracoes") + "\r\n" +
            ambiente.caminhoConfiguracoes(),
        AmbientePrincipal::texto("geral", "nomeAplicacao")};
    EXPECT_THAT(ambiente.mensagens, ElementsAre(aviso));
}

TEST_F(FormPrincipalTest, TheReadingChosenWithF4IsKeptForTheNextRun) {
    ambiente.escreverConfiguracoes(
        "[geral]\r\nidioma=English\r\nafinacaoSelecionada=0\r\ntipoSistema=1\r\n");
    {
        auto form = criar();
        ASSERT_TRUE(form->construida());
        EXPECT_FALSE(form->leituraFina());  // absent: classic
        EXPECT_EQ(form->imgFundoPonteiro()->Picture().cacheKey(),
                  form->imgFundoPonteiroClassico()->Picture().cacheKey());
        QTest::keyClick(form.get(), Qt::Key_F4);
        EXPECT_TRUE(form->leituraFina());
        form->close();
    }
    EXPECT_EQ(ambiente.lerConfiguracoes(),
              "[geral]\r\nidioma=English\r\nafinacaoSelecionada=0\r\ntipoSistema=1\r\n"
              "leituraFina=1\r\n");
    {
        auto form = criar();
        EXPECT_TRUE(form->leituraFina());
        EXPECT_TRUE(form->lblCents()->isVisibleTo(form.get()));
        EXPECT_EQ(form->imgFundoPonteiro()->Picture().cacheKey(),
                  form->imgFundoPonteiroFino()->Picture().cacheKey());
        EXPECT_EQ(form->tipoSistema(), 1);  // kept, though the fine reading does not use it
        QTest::keyClick(form.get(), Qt::Key_F4);
        form->close();
    }
    EXPECT_EQ(ambiente.lerConfiguracoes(),
              "[geral]\r\nidioma=English\r\nafinacaoSelecionada=0\r\ntipoSistema=1\r\n");
}

TEST_F(FormPrincipalTest, ASavedTuningTheNeckCannotShowGivesWayToTheFirstItCan) {
    ambiente.escreverConfiguracoes("[geral]\r\nidioma=English\r\nafinacaoSelecionada=3\r\n");
    auto form = criar();
    ASSERT_TRUE(form->construida());
    EXPECT_EQ(form->gerenciadorAfinacoes()->getIndiceAtual(), 0);
    EXPECT_EQ(form->afinacaoAtual()->getNumeroCordas(), 6);
    EXPECT_THAT(ambiente.mensagens, IsEmpty());
    // Asked to show it anyway, the window keeps the tuning it shows.
    form->gerenciadorAfinacoes()->setIndiceAtual(3);
    form->aplicarAfinacao();
    EXPECT_EQ(form->afinacaoAtual()->getNumeroCordas(), 6);
    for (int i = 0; i < 8; ++i) form->btnProximaCordaClick();
    EXPECT_EQ(form->cordaSelecionada(), 2);
}

TEST(FormPrincipalInstalado, EveryShippedTuningShowsInEveryLanguageWithItsNamesFitted) {
    std::ifstream arquivo(TESSARIN_APP_DIR "/Afinacoes.xml", std::ios::binary);
    const std::string afinacoes((std::istreambuf_iterator<char>(arquivo)),
                                std::istreambuf_iterator<char>());
    ASSERT_FALSE(afinacoes.empty());
    AmbientePrincipal ambiente(afinacoes.c_str());
    GerenciadorIdiomas* idiomas = GerenciadorIdiomas::getInstancia();
    ASSERT_EQ(idiomas->getNomesIdiomas().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(idiomas->carregarIdioma(i), nullptr);
        SCOPED_TRACE(idiomas->getNomesIdiomas()[static_cast<std::size_t>(i)]);
        TformPrincipal form(ambiente.opcoes());
        ASSERT_TRUE(form.construida());
        marcarFiguras(form);
        GerenciadorAfinacoes* afinacoes = form.gerenciadorAfinacoes();
        int mostradas = 0;
        for (int a = 0; a < afinacoes->getNumeroAfinacoes(); ++a) {
            const int n = afinacoes->getAfinacao(a).getNumeroCordas();
            if (n < 4 || n > 6) continue;
            afinacoes->setIndiceAtual(a);
            form.aplicarAfinacao();
            ++mostradas;
            EXPECT_EQ(*form.afinacaoAtual(), afinacoes->getAfinacao(a));
            EXPECT_EQ(posicaoDestacada(form), form.posicaoCorda(0)) << a;
            const Afinacao& atual = afinacoes->getAfinacao(a);
            EXPECT_FALSE(atual.getInstrumento().empty()) << a;
            const std::pair<QLabel*, QString> rotulos[] = {
                {form.lblNomeInstrumento(), textoQt(atual.getInstrumento())},
                {form.lblTipoAfinacao(), textoQt(atual.getTipoAfinacao())}};
            for (const auto& [rotulo, texto] : rotulos) {
                const QString mostrado = rotulo->text();
                EXPECT_TRUE(mostrado == texto || (mostrado.endsWith(QStringLiteral("...")) &&
                                                  texto.startsWith(mostrado.chopped(3))))
                    << a << " " << mostrado.toStdString();
                EXPECT_GE(rotulo->x(), 267) << a;
                EXPECT_LE(rotulo->geometry().right(), 267 + 130 - 1) << a;
            }
        }
        EXPECT_GE(mostradas, 15);
    }
}

TEST(FormPrincipalInstalado, EveryPictureOfTheSkinReachesItsControl) {
    if (!QFile::exists(QStringLiteral(":/skin/fmPrincipal/imagemBackground.png")))
        GTEST_SKIP() << "this build of the program carries no skin";
    AmbientePrincipal ambiente;
    TformPrincipal form(ambiente.opcoes());
    ASSERT_TRUE(form.construida());
    // Stored with the window, and from the language.
    for (const TImage* c :
         {form.imagemBackground(), form.imgBraco(), form.imgTitulo(), form.imgLink(),
          form.imgFundoPonteiro(), form.btnProximaCorda(), form.btnAssistente(),
          form.btnAfinacoes(), form.btnAjuda(), form.btnMinimizar(), form.btnSair(),
          form.imagemCordaSelecionada(), form.imgBraco4Cordas(), form.imgBraco6Cordas(),
          form.imgFundoPonteiroClassico(), form.imgFundoPonteiroFino()})
        EXPECT_FALSE(c->Picture().isNull()) << c->objectName().toStdString();
    // The fine reading has a dial of its own (its scale counts cents).
    EXPECT_NE(form.imgFundoPonteiroClassico()->Picture().toImage(),
              form.imgFundoPonteiroFino()->Picture().toImage());
    for (const TImage* c : form.imagensBotao()) EXPECT_FALSE(c->Picture().isNull());
    for (const TImage* c : form.imagensFimCordaSelecionada()) EXPECT_FALSE(c->Picture().isNull());
    EXPECT_FALSE(form.imgPonteiro()->Picture().isEmpty());
    for (const TRotateImage* c : form.imagensMoverTarracha()) {
        // Stretched to its box beforehand, so that the hint fills it.
        EXPECT_EQ(c->Picture().width(), c->width());
        EXPECT_EQ(c->Picture().height(), c->height());
    }
    EXPECT_FALSE(form.imagensFimCorda()[0]->Picture().isEmpty());
}

class ArquivoAfinacoesTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {
};

TEST_P(ArquivoAfinacoesTest, AnUnreadableTuningFileEndsTheRunWithoutSavingAnything) {
    const auto [conteudo, chave] = GetParam();
    AmbientePrincipal ambiente(conteudo);
    auto form = std::make_unique<TformPrincipal>(ambiente.opcoes());
    EXPECT_FALSE(form->construida());
    EXPECT_TRUE(terminacaoSolicitada());
    EXPECT_THAT(ambiente.mensagens,
                ElementsAre(MensagemMostrada{AmbientePrincipal::texto(kSecao, chave),
                                             AmbientePrincipal::texto("geral", "nomeAplicacao")}));
    EXPECT_EQ(form->afinacaoAtual(), nullptr);
    form->close();
    EXPECT_EQ(ambiente.lerConfiguracoes(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Falhas, ArquivoAfinacoesTest,
    ::testing::Values(
        std::pair<const char*, const char*>{nullptr, "erroAbrirXML"},
        std::pair<const char*, const char*>{
            "<Afinacoes><Afinacao><instrumento>X</instrumento><numeroCordas>six</numeroCordas>"
            "</Afinacao></Afinacoes>",
            "erroXML"},
        std::pair<const char*, const char*>{"<Afinacoes></Afinacoes>", "erroXML"},
        std::pair<const char*, const char*>{
            "<Afinacoes><Afinacao><instrumento>X</instrumento><numeroCordas>7</numeroCordas>"
            "<frequenciasMIDI><c>35</c><c>40</c><c>45</c><c>50</c><c>55</c><c>59</c><c>64</c>"
            "</frequenciasMIDI></Afinacao></Afinacoes>",
            "erroXML"}));

}  // namespace

// The user's own tunings follow the shipped ones at start, and the saved shift moves the current
// tuning: its targets, its reference notes and the names on the neck; the boxes under the dial
// move it again, and closing keeps it.
TEST_F(FormPrincipalTest, TheUsersTuningsAndTheSavedShiftApplyAtStartAndAreKept) {
    std::filesystem::create_directories(
        std::filesystem::path(ambiente.arquivoUsuario()).parent_path());
    std::ofstream(ambiente.arquivoUsuario()) << afinacaoUnica("Mine", 6, {36, 43, 48, 53, 57, 62});
    ambiente.escreverConfiguracoes(
        "[geral]\r\nidioma=English\r\nafinacaoSelecionada=5\r\ntipoSistema=0\r\ndeslocamento=-1\r\n");
    {
        auto form = criar();
        ASSERT_TRUE(form->construida());
        EXPECT_THAT(ambiente.mensagens, IsEmpty());
        ASSERT_EQ(form->gerenciadorAfinacoes()->getIndiceAtual(), 5);
        EXPECT_EQ(form->afinacaoAtual()->getInstrumento(), "Mine");
        EXPECT_EQ(form->afinacaoAtual()->getNotaMIDI(0), 35);
        EXPECT_NEAR(form->alvoCorda(0), 61.74, 0.01);  // B1
        EXPECT_EQ(form->lblCordaSelecionada()->text(),
                  textoIdioma(kSecao, "lblCordaSelecionada") + " B");
        EXPECT_TRUE(form->lblDeslocamento()->text().endsWith(QStringLiteral(": \u22121")));
        ambiente.midi.clear();
        QTest::mouseClick(form->imagensCorda()[1], Qt::LeftButton);
        EXPECT_THAT(ambiente.midi.lines(), ElementsAre("ResetMidiOut 100", "PutMidiOut 100 90 2A 7F"));
        // Two up from the box: a capo on the first fret; the selected string stays.
        QTest::mouseClick(form->btnDeslocamentoMais(), Qt::LeftButton);
        QTest::mouseClick(form->btnDeslocamentoMais(), Qt::LeftButton);
        EXPECT_EQ(form->cordaSelecionada(), 1);
        EXPECT_EQ(form->afinacaoAtual()->getNotaMIDI(1), 44);
        EXPECT_TRUE(form->lblDeslocamento()->text().endsWith(QStringLiteral(": +1")));
        EXPECT_TRUE(form->close());
    }
    EXPECT_NE(ambiente.lerConfiguracoes().find("afinacaoSelecionada=5\r\n"), std::string::npos);
    EXPECT_NE(ambiente.lerConfiguracoes().find("deslocamento=1\r\n"), std::string::npos);
}

// A damaged file of the user's own tunings: the user is told which file, the shipped tunings
// load and the program tunes; the file stays as it was.
TEST_F(FormPrincipalTest, ADamagedFileOfTheUsersTuningsIsReportedAndTheShippedOnesTune) {
    std::filesystem::create_directories(
        std::filesystem::path(ambiente.arquivoUsuario()).parent_path());
    const std::string danificado = "<Afinacoes><Afinacao><numeroCordas>seis</numeroCordas>";
    std::ofstream(ambiente.arquivoUsuario()) << danificado;
    auto form = criar();
    ASSERT_TRUE(form->construida());
    ASSERT_EQ(ambiente.mensagens.size(), 1u);
    EXPECT_EQ(ambiente.mensagens[0].texto,
              ambiente.texto(kSecao, "erroXMLUsuario") + "\r\n" + ambiente.arquivoUsuario());
    EXPECT_EQ(form->gerenciadorAfinacoes()->getNumeroAfinacoes(), 5);
    EXPECT_EQ(form->afinacaoAtual()->getNumeroCordas(), 6);
    std::ifstream arquivo(ambiente.arquivoUsuario());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(arquivo), {}), danificado);
}
