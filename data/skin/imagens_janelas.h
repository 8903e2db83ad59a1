#pragma once
// The pictures stored with the windows, compiled into the Qt resource of tessarin_skin (link it
// and load them with QImage / QPixmap from these paths), and the layout facts they were drawn for.
// Every size below is the picture's own; README.md beside this file shows where each goes.

namespace skin {

// Colour-keyed pictures (string ends, peg hint, needle) are painted except where they hold
// exactly this colour: black, RGB 0, 0, 0. Give their TRotateImage this Color with Transparent.
inline constexpr unsigned kCorChave = 0x000000;

// The face colour of the setup assistant's pages and of the tuning chooser: the assistant's
// background picture (379 x 273) ends in it, so the rest of the window continues it.
inline constexpr unsigned kCorFace = 0x140E0B;

namespace fmPrincipal {
inline constexpr const char* imagemBackground =
    ":/skin/fmPrincipal/imagemBackground.png";                                            // 798x528
inline constexpr const char* imgBraco6Cordas = ":/skin/fmPrincipal/imgBraco6Cordas.png";  // 326x528
inline constexpr const char* imgBraco4Cordas = ":/skin/fmPrincipal/imgBraco4Cordas.png";  // 326x528
// The highlighted string, 17 x 306, for every string column.
inline constexpr const char* imagemCordaSelecionada =
    ":/skin/fmPrincipal/imagemCordaSelecionada.png";
// The highlighted string ends, by image position 0..5 (keyed on kCorChave); their sizes are
// those of imgFimCorda1..6: 16x62, 30x118, 46x169, 46x174, 30x117, 18x65.
inline constexpr const char* imgFimCordaSelecionada[6] = {
    ":/skin/fmPrincipal/imgFimCordaSelecionada1.png",
    ":/skin/fmPrincipal/imgFimCordaSelecionada2.png",
    ":/skin/fmPrincipal/imgFimCordaSelecionada3.png",
    ":/skin/fmPrincipal/imgFimCordaSelecionada4.png",
    ":/skin/fmPrincipal/imgFimCordaSelecionada5.png",
    ":/skin/fmPrincipal/imgFimCordaSelecionada6.png"};
// The peg hint, 85 x 96 (keyed on kCorChave), drawn to fill its control (81..89 x 89..104).
inline constexpr const char* imgMoverTarracha = ":/skin/fmPrincipal/imgMoverTarracha.png";
// The needle, 113 x 113 (keyed on kCorChave), pointing up at angle 0.
inline constexpr const char* imgPonteiro = ":/skin/fmPrincipal/imgPonteiro.png";
// The window buttons, 25 x 25, normal and pressed ("I"), drawn for their places on the stage.
inline constexpr const char* imgBtnFechar = ":/skin/fmPrincipal/imgBtnFechar.png";
inline constexpr const char* imgBtnFecharI = ":/skin/fmPrincipal/imgBtnFecharI.png";
inline constexpr const char* imgBtnHelp = ":/skin/fmPrincipal/imgBtnHelp.png";
inline constexpr const char* imgBtnHelpI = ":/skin/fmPrincipal/imgBtnHelpI.png";
inline constexpr const char* imgBtnMinimizar = ":/skin/fmPrincipal/imgBtnMinimizar.png";
inline constexpr const char* imgBtnMinimizarI = ":/skin/fmPrincipal/imgBtnMinimizarI.png";

// Where the needle goes in panelDoubleBuffering (163 x 124, showing imgFundoPonteiro): the
// needle control (163 x 163, centred picture) at (0, kTopoPonteiro), so that it turns about the
// dial's pivot, pixel (81, 96); the "OK" label centred in the dial's lamp window.
inline constexpr int kTopoPonteiro = 15;
inline constexpr int kOkEsquerda = 63, kOkTopo = 105, kOkLargura = 37, kOkAltura = 16;
}  // namespace fmPrincipal

namespace fmAssistente {
inline constexpr const char* imgMicrofone = ":/skin/fmAssistente/imgMicrofone.png";  // 176x102
inline constexpr const char* imagemRodape = ":/skin/fmAssistente/imagemRodape.png";  // 393x46
// The close button, 25 x 25, drawn for its place on the footer bar (5, 15).
inline constexpr const char* imgBtnFechar = ":/skin/fmAssistente/imgBtnFechar.png";
inline constexpr const char* imgBtnFecharI = ":/skin/fmAssistente/imgBtnFecharI.png";
}  // namespace fmAssistente

// The language chooser's glyphs, 18 x 18 with a transparent background.
namespace fmListaIdiomas {
inline constexpr const char* btnOk = ":/skin/fmListaIdiomas/btnOk.png";
inline constexpr const char* btnOkDesabilitado = ":/skin/fmListaIdiomas/btnOkDesabilitado.png";
inline constexpr const char* btnCancelar = ":/skin/fmListaIdiomas/btnCancelar.png";
inline constexpr const char* btnCancelarDesabilitado =
    ":/skin/fmListaIdiomas/btnCancelarDesabilitado.png";
}  // namespace fmListaIdiomas

}  // namespace skin
