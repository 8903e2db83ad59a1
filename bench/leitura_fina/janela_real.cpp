#include "janela_real.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "aplicacao.h"
#include "configuracoes_usuario.h"
#include "form_principal.h"
#include "gerenciador_afinacoes.h"
#include "gerenciador_idiomas.h"
#include "laco_exibicao.h"
#include "mensagem.h"
#include "private_sound_server.h"
#include "terminacao.h"

namespace bench {

namespace {

using Relogio = std::chrono::steady_clock;
constexpr int kBloco = kTaxa / 100;  // 10 ms
constexpr double kSilencioEntre = 0.5;

double segundos(Relogio::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

JanelaReal::JanelaReal() = default;

JanelaReal::~JanelaReal() {
    form_.reset();
    if (tubo_ >= 0) ::close(tubo_);
    setMostradorMensagem({});
}

std::string JanelaReal::servidor() const { return servidor_ ? servidor_->kind() : std::string(); }

bool JanelaReal::abrir(const std::string& pasta, int& argc, char** argv) {
    pasta_ = pasta;
    servidor_ = std::make_unique<testkit::PrivateSoundServer>();
    if (!servidor_->running()) {
        std::fprintf(stderr, "bench_leitura_fina: no private sound server could start\n");
        return false;
    }
    const std::string fifo = pasta_ + "/mic.fifo";
    const std::string carregar = "pactl load-module module-pipe-source source_name=mic file=" + fifo +
                                 " format=s16le rate=44100 channels=1 >/dev/null && "
                                 "pactl set-default-source mic";
    if (std::system(carregar.c_str()) != 0) {
        std::fprintf(stderr, "bench_leitura_fina: the pipe source did not load\n");
        return false;
    }
    tubo_ = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (tubo_ < 0) return false;

    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The reference notes are never played here; the synthesiser writes to nowhere.
    ::setenv("MXMIDI32_AUDIO_FILE", "/dev/null", 1);
    static TAplicacao* app = new TAplicacao(argc, argv);
    (void)app;
    std::ofstream(pasta_ + "/Afinacoes.xml") << kAfinacoes;
    std::ofstream(pasta_ + "/tessarin.ini", std::ios::binary)
        << "[geral]\r\nidioma=English\r\nafinacaoSelecionada=0\r\nleituraFina=1\r\n";
    GerenciadorAfinacoes::setPastaPadrao(pasta_);
    ConfiguracoesUsuario::setLocal(pasta_, "tessarin");
    setMostradorMensagem([](const std::string& texto, const std::string&) {
        std::fprintf(stderr, "bench_leitura_fina: the window says: %s\n", texto.c_str());
    });
    cancelarTerminacao();
    GerenciadorIdiomas::setPastaPadrao(TESSARIN_APP_DIR);
    GerenciadorIdiomas::getInstancia()->selecionarIdioma("English");
    TformPrincipal::Opcoes opcoes;
    opcoes.bibliotecaMidi = std::string(TESSARIN_APP_DIR) + "/libMxMidi32.so";
    form_ = std::make_unique<TformPrincipal>(opcoes);
    if (!form_->construida() || !form_->leituraFina()) return false;
    form_->show();
    return form_->timer().isActive();
}

std::vector<std::vector<Leitura>> JanelaReal::tocar(const std::vector<Item>& itens) {
    // The whole stretch to play, and where each item starts in it.
    std::vector<std::int16_t> tudo;
    std::vector<std::size_t> inicios;
    const auto silencio = static_cast<std::size_t>(kSilencioEntre * kTaxa);
    tudo.assign(static_cast<std::size_t>(kTaxa), 0);  // a second to settle
    for (const Item& item : itens) {
        tudo.resize(tudo.size() + silencio, 0);
        inicios.push_back(tudo.size());
        for (float v : item.x)
            tudo.push_back(static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f)));
    }
    tudo.resize(tudo.size() + silencio + (kBloco - tudo.size() % kBloco) % kBloco, 0);
    const std::size_t blocos = tudo.size() / kBloco;
    std::vector<Relogio::time_point> escritos(blocos);
    std::atomic<std::size_t> feitos{0};

    // The feeder: one block every 10 ms, each timed as it goes in.
    std::thread alimentador([&] {
        auto proximo = Relogio::now();
        for (std::size_t b = 0; b < blocos; ++b) {
            escritos[b] = Relogio::now();
            const char* resto = reinterpret_cast<const char*>(tudo.data() + b * kBloco);
            std::size_t bytes = kBloco * sizeof(std::int16_t);
            while (bytes > 0) {
                const ssize_t n = ::write(tubo_, resto, bytes);
                if (n > 0) {
                    resto += n;
                    bytes -= static_cast<std::size_t>(n);
                } else {
                    pollfd espera{tubo_, POLLOUT, 0};
                    ::poll(&espera, 1, 20);
                }
            }
            feitos = b + 1;
            proximo += std::chrono::microseconds(10000);
            std::this_thread::sleep_until(proximo);
        }
    });

    // Each tick's figure, as the window shows it.
    struct Tick {
        Relogio::time_point quando;
        double cents;
    };
    std::vector<Tick> ticks;
    ticks.reserve(blocos / 4 + 100);  // a tick every five blocks
    const QMetaObject::Connection conexao = QObject::connect(&form_->timer(), &QTimer::timeout, [&] {
        const double c = form_->laco().cents();
        ticks.push_back({Relogio::now(), c});
        const QString texto = form_->lblCents()->text();
        const bool mostra = !texto.isEmpty();
        if (mostra != std::isfinite(c) ||
            (mostra && std::fabs(texto.left(texto.indexOf(' ')).toDouble() - std::round(c * 10) / 10) > 0.051))
            ++desacordos_;
    });

    // Each item's string is selected in the silence before it.
    std::size_t proximoItem = 0;
    while (feitos < blocos) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (proximoItem < itens.size() && feitos * kBloco + silencio / 2 >= inicios[proximoItem]) {
            const Item& item = itens[proximoItem];
            GerenciadorAfinacoes::getInstancia()->setIndiceAtual(item.afinacao);
            form_->aplicarAfinacao();
            form_->selecionarCorda(item.corda);
            ++proximoItem;
        }
    }
    alimentador.join();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QObject::disconnect(conexao);

    std::vector<std::vector<Leitura>> r(itens.size());
    for (std::size_t i = 0; i < itens.size(); ++i) {
        const Relogio::time_point zero = escritos[inicios[i] / kBloco] +
                                         std::chrono::microseconds((inicios[i] % kBloco) * 1000000 / kTaxa);
        const double fim = static_cast<double>(itens[i].x.size()) / kTaxa;
        for (const Tick& t : ticks) {
            const double s = segundos(t.quando - zero);
            if (s >= 0.0 && s <= fim) r[i].push_back({s, t.cents});
        }
    }
    return r;
}

}  // namespace bench
