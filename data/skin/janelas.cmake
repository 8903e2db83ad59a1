# Pictures stored with the windows: no text, PNG, compiled into the Qt resource of tessarin_skin.

# --- main window -------------------------------------------------------------------------------
skin_picture(OUT res/fmPrincipal/imagemBackground.png TEMPLATE janelas/palco.svg SIZE 798x528)
foreach(variant "imgBraco6Cordas;seis=inline;quatro=none;cordas=inline;n=6"
                "imgBraco4Cordas;seis=none;quatro=inline;cordas=inline;n=4")
  list(POP_FRONT variant name)
  skin_picture(OUT res/fmPrincipal/${name}.png TEMPLATE janelas/braco.svg SIZE 326x528
               OVER res/fmPrincipal/imagemBackground VARS ${variant})
endforeach()
# The bare fretboard that the highlighted string is drawn over.
skin_picture(OUT work/braco6SemCordas.png TEMPLATE janelas/braco.svg SIZE 326x528
             OVER res/fmPrincipal/imagemBackground VARS seis=inline quatro=none cordas=none n=6)

skin_picture(OUT res/fmPrincipal/imagemCordaSelecionada.png TEMPLATE janelas/cordaSelecionada.svg
             SIZE 17x306 OVER work/braco6SemCordas)

# Highlighted string ends: box (neck coordinates = window - 2), the string's x at the nut, its post.
set(ends
  "1 92 170 16 62 105.5 98 176"
  "2 99 114 30 118 124.5 105 120"
  "3 101 58 46 169 144.5 107 64"
  "4 163 59 46 174 164.5 203 65"
  "5 183 116 30 117 184.5 207 122"
  "6 202 171 18 65 203.5 214 177")
foreach(e IN LISTS ends)
  separate_arguments(e)
  list(GET e 0 i)
  list(GET e 1 x)
  list(GET e 2 y)
  list(GET e 3 w)
  list(GET e 4 h)
  list(GET e 5 sx)
  list(GET e 6 px)
  list(GET e 7 py)
  skin_picture(OUT res/fmPrincipal/imgFimCordaSelecionada${i}.png
               TEMPLATE janelas/fimCordaSelecionada.svg SIZE ${w}x${h}
               VARS x=${x} y=${y} w=${w} h=${h} sx=${sx} px=${px} py=${py}
               KEY_BASE res/fmPrincipal/imgBraco6Cordas ${x} ${y})
endforeach()

skin_picture(OUT res/fmPrincipal/imgMoverTarracha.png TEMPLATE janelas/moverTarracha.svg
             SIZE 85x96 KEY_ALPHA 2a1a10)
skin_picture(OUT res/fmPrincipal/imgPonteiro.png TEMPLATE janelas/ponteiro.svg
             SIZE 113x113 KEY_ALPHA 17110d)

# Round window buttons, normal and pressed, over the picture they sit on.
set(glyph_close "M-4 -4 L4 4 M4 -4 L-4 4")
set(glyph_help "M-3.3 -2.9 C-3.3 -6.7 3.6 -7 3.6 -3.1 C3.6 -0.5 0 -0.3 0 2.2 M0 5.6 L0 5.7")
set(glyph_minimise "M-4.5 3 H4.5")
set(look_normal luz=0.3 "cor1=#fff0c0" "cor2=#c9a058" "cor3=#6a4818" gx=12.5 gy=12.5)
set(look_pressed luz=0.85 "cor1=#b89050" "cor2=#7a5a28" "cor3=#3a2810" gx=13.5 gy=13.5)
function(skin_window_button out glyph background bx by fw fh)
  skin_picture(OUT res/${out}.png TEMPLATE janelas/botaoJanela.svg SIZE 25x25 OVER ${background}
               VARS "simbolo=${glyph}" fundo=${background} bx=${bx} by=${by} fw=${fw} fh=${fh}
                    ${look_normal})
  skin_picture(OUT res/${out}I.png TEMPLATE janelas/botaoJanela.svg SIZE 25x25 OVER ${background}
               VARS "simbolo=${glyph}" fundo=${background} bx=${bx} by=${by} fw=${fw} fh=${fh}
                    ${look_pressed})
endfunction()
skin_window_button(fmPrincipal/imgBtnHelp "${glyph_help}" res/fmPrincipal/imagemBackground 694 22 798 528)
skin_window_button(fmPrincipal/imgBtnMinimizar "${glyph_minimise}" res/fmPrincipal/imagemBackground 726 22 798 528)
skin_window_button(fmPrincipal/imgBtnFechar "${glyph_close}" res/fmPrincipal/imagemBackground 758 22 798 528)

# --- setup assistant ---------------------------------------------------------------------------
skin_picture(OUT work/assistenteBase.png TEMPLATE janelas/assistenteBase.svg SIZE 379x273)
skin_picture(OUT res/fmAssistente/imgMicrofone.png TEMPLATE janelas/microfone.svg SIZE 176x102
             OVER work/assistenteBase)
skin_picture(OUT res/fmAssistente/imagemRodape.png TEMPLATE janelas/rodape.svg SIZE 393x46)
skin_window_button(fmAssistente/imgBtnFechar "${glyph_close}" res/fmAssistente/imagemRodape 5 15 393 46)

# --- language chooser --------------------------------------------------------------------------
foreach(g "btnOk;ok=inline;cancelar=none;cor=#2fa82f;contorno=#0c3a0c"
          "btnOkDesabilitado;ok=inline;cancelar=none;cor=#e4e4e4;contorno=#8c8c8c"
          "btnCancelar;ok=none;cancelar=inline;cor=#e02a1a;contorno=#4a0a04"
          "btnCancelarDesabilitado;ok=none;cancelar=inline;cor=#e4e4e4;contorno=#8c8c8c")
  list(POP_FRONT g name)
  skin_picture(OUT res/fmListaIdiomas/${name}.png TEMPLATE janelas/listaIdiomas.svg SIZE 18x18
               FORMAT png-alpha VARS ${g})
endforeach()

# --- tuning chooser ----------------------------------------------------------------------------
skin_picture(OUT work/faceEscolha.png TEMPLATE janelas/faceEscolha.svg SIZE 381x317)
