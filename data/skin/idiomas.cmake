# Language pictures: each language source (data/languages/<Name>.lang) gets its own set, its texts
# drawn in ("[_arte]" holds the captions that only pictures use). Output:
# ${SKIN_DIR}/lang/<Name>/<section>/<key>.jpg, which the language source names as
# "@<Name>/<section>/<key>.jpg"; the language file builder packs them.
file(GLOB skin_language_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/languages/*.lang)

set(look_normal "cor1=#f0d49a" "cor2=#c49a58" "cor3=#8a6430" "aro1=#fff0c8" "aro2=#3a2410" dx=0 dy=0)
set(look_pressed "cor1=#9a7440" "cor2=#84602e" "cor3=#6a4a20" "aro1=#1a0e04" "aro2=#d8b070" dx=1 dy=1)
set(arrow_right "M-3 -4 L3 0 L-3 4 Z")
set(arrow_left "M3 -4 L-3 0 L3 4 Z")

# One language button, normal and (unless NO_PRESSED follows) pressed: OUT names the normal
# picture's path without ".jpg".
function(skin_language_button texts out w h background bx by fw fh caption size arrow)
  cmake_parse_arguments(B "NO_PRESSED" "" "" ${ARGN})
  math(EXPR w1 "${w} - 1")
  math(EXPR h1 "${h} - 1")
  math(EXPR w4 "${w} - 4")
  math(EXPR h4 "${h} - 4")
  math(EXPR ty "${h} / 2 + (${size} * 36 + 50) / 100")
  math(EXPR sy "${h} / 2")
  if(arrow STREQUAL "right")
    math(EXPR tx "(${w} - 10) / 2")
    math(EXPR fit "${w} - 24")
    math(EXPR sx "${w} - 11")
    set(path "${arrow_right}")
  elseif(arrow STREQUAL "left")
    math(EXPR tx "(${w} + 10) / 2")
    math(EXPR fit "${w} - 24")
    set(sx 11)
    set(path "${arrow_left}")
  else()
    math(EXPR tx "${w} / 2")
    math(EXPR fit "${w} - 12")
    set(sx 0)
    set(path "M0 0")
  endif()
  set(vars w=${w} h=${h} w1=${w1} h1=${h1} w4=${w4} h4=${h4} tx=${tx} ty=${ty} sx=${sx} sy=${sy}
           largura=${fit} tamanho=${size} "seta=${path}" "texto={{_arte.${caption}}}"
           fundo=${background} bx=${bx} by=${by} fw=${fw} fh=${fh})
  skin_picture(OUT ${out}.jpg TEMPLATE idioma/botao.svg SIZE ${w}x${h} FORMAT jpeg TEXTS ${texts}
               OVER ${background} VARS ${vars} ${look_normal})
  if(NOT B_NO_PRESSED)
    skin_picture(OUT ${out}I.jpg TEMPLATE idioma/botao.svg SIZE ${w}x${h} FORMAT jpeg TEXTS ${texts}
                 OVER ${background} VARS ${vars} ${look_pressed})
  endif()
endfunction()

set(stage res/fmPrincipal/imagemBackground)
set(footer res/fmAssistente/imagemRodape)
foreach(source ${skin_language_sources})
  get_filename_component(name ${source} NAME_WE)
  set(L lang/${name})
  skin_picture(OUT ${L}/fmPrincipal/imgTitulo.jpg TEMPLATE idioma/titulo.svg SIZE 345x59
               FORMAT jpeg TEXTS ${source} OVER ${stage})
  skin_picture(OUT ${L}/fmPrincipal/imgLink.jpg TEMPLATE idioma/link.svg SIZE 182x15
               FORMAT jpeg TEXTS ${source} OVER ${stage})
  skin_picture(OUT ${L}/fmPrincipal/imgFundoPonteiro.jpg TEMPLATE idioma/fundoPonteiro.svg
               SIZE 163x124 FORMAT jpeg TEXTS ${source}
               VARS n3=3 n6=6 zona=3.3 zero=0 visor=hidden)
  skin_picture(OUT ${L}/fmPrincipal/imgFundoPonteiroFino.jpg TEMPLATE idioma/fundoPonteiro.svg
               SIZE 163x124 FORMAT jpeg TEXTS ${source}
               VARS n3=30 n6=60 zona=2.2 zero= visor=visible)
  skin_language_button(${source} ${L}/fmPrincipal/imgBtnProximaCorda 80 18 ${stage} 290 365 798 528
                       proximaCorda 11 right NO_PRESSED)
  skin_language_button(${source} ${L}/fmPrincipal/imgBtnAssistente 121 25 ${stage} 486 450 798 528
                       assistente 12 none)
  skin_language_button(${source} ${L}/fmPrincipal/imgBtnAfinacoes 121 25 ${stage} 486 479 798 528
                       afinacoes 12 none)
  skin_picture(OUT ${L}/fmAssistente/imgFundo.jpg TEMPLATE idioma/assistenteFundo.svg
               SIZE 379x273 FORMAT jpeg TEXTS ${source} OVER work/assistenteBase)
  skin_language_button(${source} ${L}/fmAssistente/imgBtnAnterior 91 25 ${footer} 199 17 393 46
                       anterior 12 left)
  skin_language_button(${source} ${L}/fmAssistente/imgBtnProximo 89 25 ${footer} 296 17 393 46
                       proximo 12 right)
  skin_language_button(${source} ${L}/fmAssistente/imgBtnConfiguracoes 130 25 ${footer} 57 17 393 46
                       configuracoes 12 none)
  skin_language_button(${source} ${L}/fmAfinacoes/imgBtnOk 88 20 work/faceEscolha 190 289 381 317
                       ok 11 none)
  skin_language_button(${source} ${L}/fmAfinacoes/imgBtnCancelar 88 20 work/faceEscolha 284 289 381 317
                       cancelar 11 none)
  skin_language_button(${source} ${L}/fmAfinacoes/imgBtnNova 52 20 work/faceEscolha 136 236 381 317
                       nova 11 none)
  skin_language_button(${source} ${L}/fmAfinacoes/imgBtnEditar 52 20 work/faceEscolha 193 236 381 317
                       editar 11 none)
  skin_language_button(${source} ${L}/fmAfinacoes/imgBtnCopiar 52 20 work/faceEscolha 250 236 381 317
                       copiar 11 none)
  skin_language_button(${source} ${L}/fmAfinacoes/imgBtnExcluir 52 20 work/faceEscolha 307 236 381 317
                       excluir 11 none)
  skin_picture(OUT ${L}/fmEntrada/imgEntrada.jpg TEMPLATE idioma/entrada.svg SIZE 250x250
               FORMAT jpeg TEXTS ${source} OVER res/fmPrincipal/imgBraco6Cordas)
endforeach()

# make preview: one contact sheet per language in <build>/preview/<Name>.png.
set(preview_sheets)
get_property(skin_outputs GLOBAL PROPERTY TESSARIN_SKIN_OUTPUTS)
foreach(source ${skin_language_sources})
  get_filename_component(NOME ${source} NAME_WE)
  set(R ${SKIN_DIR}/res)
  set(L ${SKIN_DIR}/lang/${NOME})
  set(layout ${CMAKE_CURRENT_BINARY_DIR}/preview-${NOME}.txt)
  configure_file(preview.txt.in ${layout} @ONLY)
  set(sheet ${CMAKE_BINARY_DIR}/preview/${NOME}.png)
  add_custom_command(OUTPUT ${sheet}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/preview
    COMMAND tessarin-skin sheet ${layout} ${sheet} --texts ${source}
    DEPENDS ${layout} ${source} tessarin-skin ${skin_outputs}
    COMMENT "Contact sheet ${NOME}.png"
    VERBATIM)
  list(APPEND preview_sheets ${sheet})
endforeach()
add_custom_target(skin_preview DEPENDS ${preview_sheets})
add_dependencies(skin_preview skin)
