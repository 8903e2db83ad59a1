# The program's icon for the desktop's menus: the plain SVG itself (scalable) and PNG renders at
# the hicolor theme's usual sizes, with transparent corners.
set(TESSARIN_ICON_SIZES 48 64 128 256)
foreach(tamanho ${TESSARIN_ICON_SIZES})
  skin_picture(OUT icones/${tamanho}/tessarin.png TEMPLATE icone/tessarin.svg
               SIZE ${tamanho}x${tamanho} FORMAT png-alpha SCALE)
  install(FILES ${SKIN_DIR}/icones/${tamanho}/tessarin.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${tamanho}x${tamanho}/apps
          RENAME ${TESSARIN_APP_ID}.png)
endforeach()
install(FILES icone/tessarin.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps
        RENAME ${TESSARIN_APP_ID}.svg)
