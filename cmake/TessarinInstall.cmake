# Installation of the tuner (`make install`, and the Debian package through CPack):
#   <prefix>/lib/tessarin/              the program folder as one unit: the program, its MIDI
#                                       driver library, languages, tuning file and help pages
#                                       (each installed by the folder that builds it)
#   <prefix>/bin/tessarin               a relative link to the program, so the program still
#                                       finds its folder through /proc/self/exe
#   <prefix>/share/applications, metainfo, icons/hicolor, man/man1, doc/tessarin
#                                       the desktop's files (data/desktop, data/skin/icones.cmake)
# Nothing here depends on the prefix chosen at configure time: `cmake --install --prefix` and
# CPack's /usr work alike.
#
# Installing builds nothing: `make install` and `make package` build the program folder alone
# (target tessarin_programa) first, so that neither builds the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(TARGET tessarin)
  install(TARGETS tessarin RUNTIME DESTINATION ${TESSARIN_INSTALL_PROGRAMDIR})
endif()
if(TARGET mxmidi32)
  # Loaded with dlopen, never linked: a plain data file for the system's linker.
  install(TARGETS mxmidi32 LIBRARY DESTINATION ${TESSARIN_INSTALL_PROGRAMDIR}
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()

file(RELATIVE_PATH tessarin_link_target /${CMAKE_INSTALL_BINDIR}
     /${TESSARIN_INSTALL_PROGRAMDIR}/tessarin)
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(CREATE_LINK \"${tessarin_link_target}\" \"\${bin}/tessarin\" SYMBOLIC)
  message(STATUS \"Installing: \${bin}/tessarin -> ${tessarin_link_target}\")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessarin\")
")
