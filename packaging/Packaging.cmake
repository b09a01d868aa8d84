# SPDX-License-Identifier: GPL-3.0-or-later
# What the Debian package holds beyond the programs (manual pages, completion, AppStream data),
# and the package itself: `cpack -G DEB` in the build folder, or `make package`.
set(SARVEX_PACKAGING ${CMAKE_CURRENT_LIST_DIR})
# Left to whoever builds the package (packaging/build-package.sh fills it in from DEBEMAIL).
set(SARVEX_PACKAGE_MAINTAINER "" CACHE STRING "The package's maintainer: \"Name <address>\"")

# The manual pages go in gzip-compressed, as Debian keeps them.
find_program(SARVEX_HELP2MAN help2man)
find_program(SARVEX_GZIP gzip REQUIRED)
set(man_pages)
if(TARGET sarvex-cli)
  if(SARVEX_HELP2MAN)
    # From --help and --version, plus the sections in sarvex-cli.h2m.
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/sarvex-cli.1.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${SARVEX_HELP2MAN} --no-info --include=${SARVEX_PACKAGING}/sarvex-cli.h2m
              --output=${CMAKE_BINARY_DIR}/man/sarvex-cli.1 $<TARGET_FILE:sarvex-cli>
      COMMAND ${SARVEX_GZIP} -9nf ${CMAKE_BINARY_DIR}/man/sarvex-cli.1
      DEPENDS sarvex-cli ${SARVEX_PACKAGING}/sarvex-cli.h2m
      COMMENT "Writing the manual page of sarvex-cli")
    list(APPEND man_pages ${CMAKE_BINARY_DIR}/man/sarvex-cli.1.gz)
  else()
    message(WARNING "help2man was not found: sarvex-cli gets no manual page")
  endif()
  install(FILES ${SARVEX_PACKAGING}/sarvex-cli.bash RENAME sarvex-cli
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
if(TARGET sarvex)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/sarvex.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${SARVEX_GZIP} -9nc ${SARVEX_PACKAGING}/sarvex.1 > ${CMAKE_BINARY_DIR}/man/sarvex.1.gz
    DEPENDS ${SARVEX_PACKAGING}/sarvex.1)
  list(APPEND man_pages ${CMAKE_BINARY_DIR}/man/sarvex.1.gz)
  install(FILES ${SARVEX_PACKAGING}/io.github.sarvex.Sarvex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
# The licence as Debian's copyright format states it, and the release history as a Debian changelog
# (the package is native, so changelog.gz) whose entry is signed by the package's maintainer.
install(FILES ${SARVEX_PACKAGING}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
configure_file(${SARVEX_PACKAGING}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${SARVEX_GZIP} -9nc ${CMAKE_BINARY_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(man_pages)
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sarvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Sarvex developers")
if(SARVEX_PACKAGE_MAINTAINER)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SARVEX_PACKAGE_MAINTAINER}")
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn a cue sheet into a raw CD image set (.ccd, .img, .sub)")
# Debian wraps the long description at 80 columns; the data file types come from one list.
file(READ ${PROJECT_SOURCE_DIR}/src/sources/Filetypes.h file_types)
string(REGEX MATCH "FILE_TYPES = {([^}]*)}" file_types "${file_types}")
string(REGEX MATCHALL "[A-Z0-9]+" file_types "${CMAKE_MATCH_1}")
list(POP_BACK file_types last_type)
list(JOIN file_types ", " SARVEX_FILE_TYPES_TEXT)
string(APPEND SARVEX_FILE_TYPES_TEXT " and ${last_type}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/sources/Filetypes.h)
set(CPACK_PACKAGE_DESCRIPTION "Sarvex converts a CD image described by a cue sheet into the raw image set
that burning, archiving and emulation tools read: every sector with its EDC
and ECC, the full P-W subchannel and a control file with the complete table
of contents. A sheet may name a CD-TEXT file and data files of the types
${SARVEX_FILE_TYPES_TEXT};
audio files are recognised by their content.

It comes as a desktop program (sarvex) and a command-line tool (sarvex-cli)
that also converts whole collections in parallel.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# FFmpeg is loaded at run time, out of dpkg-shlibdeps' sight: its packages are named here, each as
# its shlibs file states it (the library package of the major version built against).
find_package(PkgConfig REQUIRED)
pkg_check_modules(SARVEX_AV REQUIRED libavutil libavcodec libavformat)
find_program(SARVEX_DPKG_QUERY dpkg-query)
set(av_depends)
foreach(library libavutil libavcodec libavformat)
  string(REGEX MATCH "^[0-9]+" major "${SARVEX_AV_${library}_VERSION}")
  set(depend "${library}${major}")
  if(SARVEX_DPKG_QUERY)
    execute_process(COMMAND ${SARVEX_DPKG_QUERY} --control-show ${depend} shlibs
                    OUTPUT_VARIABLE shlibs ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(shlibs MATCHES "^${library} ${major} ([^\n]+)")
      set(depend "${CMAKE_MATCH_1}")
    endif()
  endif()
  list(APPEND av_depends "${depend}")
endforeach()
list(JOIN av_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
