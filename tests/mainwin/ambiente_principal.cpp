#include "ambiente_principal.h"

#include <stdlib.h>
#include <unistd.h>

#include <QPaintEvent>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "aplicacao.h"
#include "configuracoes_usuario.h"
#include "gerenciador_afinacoes.h"
#include "gerenciador_idiomas.h"
#include "terminacao.h"
#include "utilgui.h"

const char* const kAfinacoesTeste = R"(<?xml version="1.0" encoding="UTF-8"?>
<Afinacoes>
  <Afinacao><instrumento>#VIO</instrumento><tipoAfinacao>#PAD</tipoAfinacao>
    <numeroCordas>6</numeroCordas>
    <frequenciasMIDI><c>40</c><c>45</c><c>50</c><c>55</c><c>59</c><c>64</c></frequenciasMIDI>
  </Afinacao>
  <Afinacao><instrumento>#BAI</instrumento><tipoAfinacao>#PAD</tipoAfinacao>
    <numeroCordas>4</numeroCordas>
    <frequenciasMIDI><c>28</c><c>33</c><c>38</c><c>43</c></frequenciasMIDI>
  </Afinacao>
  <Afinacao><instrumento>#B5C</instrumento><tipoAfinacao>#PAD</tipoAfinacao>
    <numeroCordas>5</numeroCordas>
    <frequenciasMIDI><c>23</c><c>28</c><c>33</c><c>38</c><c>43</c></frequenciasMIDI>
  </Afinacao>
  <Afinacao><instrumento>#V7C</instrumento><tipoAfinacao>#PAD</tipoAfinacao>
    <numeroCordas>7</numeroCordas>
    <frequenciasMIDI><c>35</c><c>40</c><c>45</c><c>50</c><c>55</c><c>59</c><c>64</c></frequenciasMIDI>
  </Afinacao>
  <Afinacao><instrumento>Twelve-string resonator guitar</instrumento><tipoAfinacao>Open</tipoAfinacao>
    <numeroCordas>6</numeroCordas>
    <frequenciasMIDI><c>38</c><c>43</c><c>50</c><c>55</c><c>59</c><c>62</c></frequenciasMIDI>
  </Afinacao>
</Afinacoes>
)";

std::string afinacaoUnica(const std::string& instrumento, int cordas,
                          const std::vector<int>& notas) {
    std::ostringstream xml;
    xml << "<Afinacoes><Afinacao><instrumento>" << instrumento
        << "</instrumento><tipoAfinacao>Standard</tipoAfinacao><numeroCordas>" << cordas
        << "</numeroCordas><frequenciasMIDI>";
    for (int n : notas) xml << "<c>" << n << "</c>";
    xml << "</frequenciasMIDI></Afinacao></Afinacoes>";
    return xml.str();
}

TAplicacao& aplicacao() {
    static int argc = 1;
    static char nome[] = "mainwin_test";
    static char* argv[] = {nome, nullptr};
    static TAplicacao* app = new TAplicacao(argc, argv);
    return *app;
}

AmbientePrincipal::AmbientePrincipal(const char* afinacoes, bool comIdioma) {
    aplicacao();
    std::string modelo = (std::filesystem::temp_directory_path() / "tessarin-mw-XXXXXX").string();
    if (::mkdtemp(modelo.data()) == nullptr) std::abort();
    pasta_ = modelo;
    GerenciadorAfinacoes::setPastaPadrao(pasta_);
    GerenciadorAfinacoes::setArquivoUsuarioPadrao(arquivoUsuario());
    if (afinacoes != nullptr) std::ofstream(pasta_ + "/Afinacoes.xml") << afinacoes;

    setMostradorMensagem([this](const std::string& texto, const std::string& titulo) {
        mensagens.push_back({texto, titulo});
    });
    cancelarTerminacao();
    ConfiguracoesUsuario::setLocal(pasta_, "tessarin");
    GerenciadorIdiomas::setPastaPadrao(TESSARIN_APP_DIR);
    if (comIdioma) GerenciadorIdiomas::getInstancia()->selecionarIdioma("English");
    // The mapper opens, with handle 100 (0x64).
    midi.devices(1);
    midi.opening("65535");
}

AmbientePrincipal::~AmbientePrincipal() {
    setMostradorMensagem({});
    ConfiguracoesUsuario::setLocal("", "");
    GerenciadorAfinacoes::setPastaPadrao("");
    GerenciadorAfinacoes::setArquivoUsuarioPadrao("");
    std::error_code erro;
    std::filesystem::remove_all(pasta_, erro);
}

TformPrincipal::Opcoes AmbientePrincipal::opcoes() {
    TformPrincipal::Opcoes o;
    o.bibliotecaMidi = recordingDriver("full");
    o.relogio = [this] { return agoraMs; };
    return o;
}

std::string AmbientePrincipal::texto(const char* secao, const char* chave) {
    return GerenciadorIdiomas::getInstancia()->getTexto(secao, chave);
}

void AmbientePrincipal::escreverConfiguracoes(const std::string& conteudo) const {
    std::ofstream(caminhoConfiguracoes(), std::ios::binary) << conteudo;
}

std::string AmbientePrincipal::lerConfiguracoes() const {
    std::ifstream entrada(caminhoConfiguracoes(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>());
}

RegistroPinturas::RegistroPinturas(QWidget& janela) : janela_(janela) {
    QCoreApplication::instance()->installEventFilter(this);
}

RegistroPinturas::~RegistroPinturas() {
    QCoreApplication::instance()->removeEventFilter(this);
}

QRegion RegistroPinturas::colher() {
    // A repaint is requested by a posted event and carried out by the next pass of the loop.
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    QRegion pintado;
    std::swap(pintado, pintado_);
    return pintado;
}

bool RegistroPinturas::eventFilter(QObject* objeto, QEvent* evento) {
    if (evento->type() == QEvent::Paint && objeto->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(objeto);
        if (widget == &janela_ || janela_.isAncestorOf(widget))
            pintado_ += static_cast<QPaintEvent*>(evento)->region().translated(
                widget->mapTo(&janela_, QPoint(0, 0)));
    }
    return false;
}
