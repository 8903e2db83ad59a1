#include "botao_skin.h"

#include "controle_imagem.h"
#include "gerenciador_idiomas.h"

TImage* criarBotaoSkin(QWidget* pai, const char* nome, const QRect& lugar, const QPixmap& normal,
                       const QPixmap& pressionado, std::function<void()> acao) {
    auto* botao = new TImage(pai);
    botao->setObjectName(QLatin1String(nome));
    botao->setGeometry(lugar);
    botao->setCursor(Qt::PointingHandCursor);
    botao->setPicture(normal);
    botao->OnMouseDown = [botao, pressionado](TImage*, Qt::MouseButton, QPoint) {
        botao->setPicture(pressionado);
    };
    botao->OnMouseUp = [botao, normal](TImage*, Qt::MouseButton) { botao->setPicture(normal); };
    botao->OnClick = [acao = std::move(acao)](TImage*) { acao(); };
    return botao;
}

QPixmap imagemIdioma(const char* secao, const char* chave) {
    const auto imagem = GerenciadorIdiomas::getInstancia()->getImagem(secao, chave);
    return imagem ? QPixmap::fromImage(*imagem) : QPixmap();
}
