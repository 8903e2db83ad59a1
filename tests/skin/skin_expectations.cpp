#include "skin_expectations.h"

const std::vector<ImagemEsperada>& imagensJanelas() {
    static const std::vector<ImagemEsperada> lista = {
        {":/skin/fmPrincipal/imagemBackground.png", {798, 528}},
        {":/skin/fmPrincipal/imgBraco6Cordas.png", {326, 528}},
        {":/skin/fmPrincipal/imgBraco4Cordas.png", {326, 528}},
        {":/skin/fmPrincipal/imagemCordaSelecionada.png", {17, 306}},
        {":/skin/fmPrincipal/imgFimCordaSelecionada1.png", {16, 62}},
        {":/skin/fmPrincipal/imgFimCordaSelecionada2.png", {30, 118}},
        {":/skin/fmPrincipal/imgFimCordaSelecionada3.png", {46, 169}},
        {":/skin/fmPrincipal/imgFimCordaSelecionada4.png", {46, 174}},
        {":/skin/fmPrincipal/imgFimCordaSelecionada5.png", {30, 117}},
        {":/skin/fmPrincipal/imgFimCordaSelecionada6.png", {18, 65}},
        {":/skin/fmPrincipal/imgPonteiro.png", {113, 113}},
        {":/skin/fmPrincipal/imgBtnFechar.png", {25, 25}},
        {":/skin/fmPrincipal/imgBtnFecharI.png", {25, 25}},
        {":/skin/fmPrincipal/imgBtnHelp.png", {25, 25}},
        {":/skin/fmPrincipal/imgBtnHelpI.png", {25, 25}},
        {":/skin/fmPrincipal/imgBtnMinimizar.png", {25, 25}},
        {":/skin/fmPrincipal/imgBtnMinimizarI.png", {25, 25}},
        {":/skin/fmAssistente/imgMicrofone.png", {176, 102}},
        {":/skin/fmAssistente/imagemRodape.png", {393, 46}},
        {":/skin/fmAssistente/imgBtnFechar.png", {25, 25}},
        {":/skin/fmAssistente/imgBtnFecharI.png", {25, 25}},
        {":/skin/fmListaIdiomas/btnOk.png", {18, 18}},
        {":/skin/fmListaIdiomas/btnOkDesabilitado.png", {18, 18}},
        {":/skin/fmListaIdiomas/btnCancelar.png", {18, 18}},
        {":/skin/fmListaIdiomas/btnCancelarDesabilitado.png", {18, 18}},
    };
    return lista;
}

const std::vector<ImagemEsperada>& imagensIdioma() {
    static const std::vector<ImagemEsperada> lista = {
        {"fmPrincipal/imgTitulo", {345, 59}},
        {"fmPrincipal/imgLink", {182, 15}},
        {"fmPrincipal/imgFundoPonteiro", {163, 124}},
        {"fmPrincipal/imgFundoPonteiroFino", {163, 124}},
        {"fmPrincipal/imgBtnProximaCorda", {80, 18}},
        {"fmPrincipal/imgBtnAssistente", {121, 25}},
        {"fmPrincipal/imgBtnAssistenteI", {121, 25}},
        {"fmPrincipal/imgBtnAfinacoes", {121, 25}},
        {"fmPrincipal/imgBtnAfinacoesI", {121, 25}},
        {"fmAssistente/imgFundo", {379, 273}},
        {"fmAssistente/imgBtnAnterior", {91, 25}},
        {"fmAssistente/imgBtnAnteriorI", {91, 25}},
        {"fmAssistente/imgBtnProximo", {89, 25}},
        {"fmAssistente/imgBtnProximoI", {89, 25}},
        {"fmAssistente/imgBtnConfiguracoes", {130, 25}},
        {"fmAssistente/imgBtnConfiguracoesI", {130, 25}},
        {"fmAfinacoes/imgBtnOk", {88, 20}},
        {"fmAfinacoes/imgBtnOkI", {88, 20}},
        {"fmAfinacoes/imgBtnCancelar", {88, 20}},
        {"fmAfinacoes/imgBtnCancelarI", {88, 20}},
        {"fmEntrada/imgEntrada", {250, 250}},
    };
    return lista;
}

double luminanciaMedia(const QImage& imagem) {
    const QImage rgb = imagem.convertToFormat(QImage::Format_RGB32);
    double soma = 0;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) soma += qGray(rgb.pixel(x, y));
    return rgb.isNull() ? 0 : soma / (static_cast<double>(rgb.width()) * rgb.height());
}

bool ehChave(QRgb pixel) {
    return (pixel & 0xFFFFFF) == 0;
}
