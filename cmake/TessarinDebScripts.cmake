# Run by CPack after it built the Debian package (CPACK_POST_BUILD_SCRIPTS). CPack gives a
# package with a shared library below /usr/lib maintainer scripts that call ldconfig; ours is the
# MIDI driver library in the program's own folder, loaded by path, which the system's linker never
# looks for. The package is rebuilt without those two scripts (lintian: maintscript-calls-ldconfig).
find_program(DPKG_DEB dpkg-deb REQUIRED)
foreach(pacote IN LISTS CPACK_PACKAGE_FILES)
  if(NOT pacote MATCHES "\\.deb$")
    continue()
  endif()
  set(pasta "${pacote}.d")
  file(REMOVE_RECURSE "${pasta}")
  execute_process(COMMAND ${DPKG_DEB} -R "${pacote}" "${pasta}" COMMAND_ERROR_IS_FATAL ANY)
  foreach(script postinst postrm)
    set(arquivo "${pasta}/DEBIAN/${script}")
    if(EXISTS "${arquivo}")
      file(READ "${arquivo}" texto)
      string(REGEX REPLACE "[ \t\r\n]+" " " texto "${texto}")
      if(texto STREQUAL "#!/bin/sh set -e if [ \"$1\" = \"configure\" ]; then ldconfig fi "
         OR texto STREQUAL "#!/bin/sh set -e if [ \"$1\" = \"remove\" ]; then ldconfig fi ")
        file(REMOVE "${arquivo}")
      else()
        message(FATAL_ERROR "${script} of ${pacote} does more than call ldconfig: ${texto}")
      endif()
    endif()
  endforeach()
  execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zxz -b "${pasta}" "${pacote}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${pasta}")
endforeach()
