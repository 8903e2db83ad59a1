#include "afinacoes_idioma.h"

#include "gerenciador_idiomas.h"
#include "xml_afinacao_parser.h"

void usarIdiomaNasAfinacoes() {
    XMLAfinacaoParser::getInstancia()->setFonteTextos(
        [](const std::string& secao, const std::string& chave) {
            return GerenciadorIdiomas::getInstancia()->getTexto(secao, chave);
        });
}
