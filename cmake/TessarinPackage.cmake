# The Debian package (`make package`, or `cpack -G DEB` in the build folder):
# <build>/tessarin_<version>_amd64.deb with what cmake/TessarinInstall.cmake installs, under /usr.
# Its dependencies are those of its ELF files (dpkg-shlibdeps) plus a General MIDI SoundFont for
# the reference notes, and the Qt platform plugins the windows need at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessarin)
set(CPACK_PACKAGE_VENDOR "Tessarin developers")
set(CPACK_PACKAGE_CONTACT "Tessarin developers <suporte@tessarin.app>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tuner for 4-, 5- and 6-string instruments")
set(CPACK_PACKAGE_DESCRIPTION "\
Tessarin tunes guitars, basses and other instruments with four, five or six
strings. Click a string on the drawn neck to hear its reference note on the
General MIDI synthesiser, play the string close to the microphone, and turn
the peg until the needle rests in the centre and the in-tune mark lights up.
.
It offers standard and alternative tunings, a setup assistant with a
microphone level meter, and speaks English, Spanish and Brazilian Portuguese.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tessarin.app/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "timgm6mb-soundfont | sf2-soundfont-gm | sf3-soundfont-gm, qt6-qpa-plugins")
# Capture through ALSA's default device reaches the desktop's sound server through one of these;
# fonts-liberation stands in for the Arial of the labels (fonts-dejavu-core draws the sharp and
# flat signs it lacks); xdg-utils opens the help page.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "pipewire-alsa | libasound2-plugins, fonts-liberation, fonts-dejavu-core, xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS pavucontrol)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# Without the ldconfig calls CPack adds for the driver library (cmake/TessarinDebScripts.cmake).
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/TessarinDebScripts.cmake)

include(CPack)
