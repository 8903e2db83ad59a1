#include "botao_skin.h"

#include "controle_imagem.h"
#include "gerenciador_idiomas.h"

TImage* criarBotaoSkin(QWidget* pai, const char* nome, const QRect& lugar,
                       const FigurasBotao& figuras, std::function<void()> acao) {
    auto* botao = new TImage(pai);
    botao->setObjectName(QLatin1String(nome));
    botao->setGeometry(lugar);
    botao->setCursor(Qt::PointingHandCursor);
    const FigurasBotao* f = &figuras;
    botao->OnMouseDown = [botao, f](TImage*, Qt::MouseButton, QPoint) {
        botao->setPicture(f->pressionada);
    };
    botao->OnMouseUp = [botao, f](TImage*, Qt::MouseButton) { botao->setPicture(f->normal); };
    botao->OnClick = [acao = std::move(acao)](TImage*) { acao(); };
    return botao;
}

QPixmap imagemIdioma(const char* secao, const char* chave) {
    const auto imagem = GerenciadorIdiomas::getInstancia()->getImagem(secao, chave);
    return imagem ? QPixmap::fromImage(*imagem) : QPixmap();
}

void mostrarFiguras(TImage* botao, const FigurasBotao& figuras) {
    botao->setPicture(figuras.normal);
}

FigurasBotao figurasIdioma(const char* secao, const char* chave) {
    const std::string pressionada = std::string(chave) + "I";
    return {imagemIdioma(secao, chave), imagemIdioma(secao, pressionada.c_str())};
}
