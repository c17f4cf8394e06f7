# SPDX-License-Identifier: GPL-3.0-or-later
# Installing the program as a desktop program, and its Debian package.
#
# Included at the end of the top CMakeLists.txt, once every executable target
# exists: a program is installed (with its manual page) when its target is part
# of this build, so the format program joins by itself when it is added.
#
# What the programs load at run time, so the installed tree needs nothing next
# to the executables: the pictures are compiled in, the fonts come from the
# system (fonts-wine's folder by absolute path, the others by family name
# through fontconfig), and the commands they start (xdg-open) are found on PATH.
# Hence no RPATH or data-directory lookup: the programs run from the build
# folder and from any prefix alike.
include(GNUInstallDirs)

# The reverse-DNS name of the desktop entry, the icon and the AppStream component.
set(IRADUDO_APP_ID org.example.Iradudo)
set(IRADUDO_COPYRIGHT_YEARS 2026)
set(IRADUDO_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

set(IRADUDO_PROGRAMS)
foreach(program iradudo iradudo-cli iradudo-format)
  if(TARGET ${program})
    list(APPEND IRADUDO_PROGRAMS ${program})
  endif()
endforeach()

# --version: one generated header, so a new version rebuilds only the files that print it.
configure_file(${CMAKE_CURRENT_LIST_DIR}/program_version.h.in ${PROJECT_BINARY_DIR}/generated/program_version.h @ONLY)
foreach(program IN LISTS IRADUDO_PROGRAMS)
  target_include_directories(${program} PRIVATE ${PROJECT_BINARY_DIR}/generated)
endforeach()

install(TARGETS ${IRADUDO_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages: pandoc turns their Markdown into roff; Debian wants them gzipped
# (-n: no name or time stamp, so the same source gives the same file).
find_program(IRADUDO_PANDOC pandoc)
find_program(IRADUDO_GZIP gzip)
if(NOT IRADUDO_PANDOC OR NOT IRADUDO_GZIP)
  message(FATAL_ERROR "The manual pages need pandoc and gzip: run scripts/setup.sh")
endif()
set(IRADUDO_DATA_OUTPUTS)
foreach(program IN LISTS IRADUDO_PROGRAMS)
  set(source ${IRADUDO_DATA_DIR}/man/${program}.1.md)
  if(NOT EXISTS ${source})
    message(WARNING "${program} has no manual page: write data/man/${program}.1.md")
    continue()
  endif()
  set(page ${PROJECT_BINARY_DIR}/data/man/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${IRADUDO_PANDOC} --standalone --from markdown --to man
            --variable "footer=Iradudo ${PROJECT_VERSION}" --output ${page} ${source}
    COMMAND ${IRADUDO_GZIP} -9nf ${page}
    DEPENDS ${source}
    COMMENT "Writing the manual page ${program}(1)"
    VERBATIM)
  list(APPEND IRADUDO_DATA_OUTPUTS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The desktop entry, the AppStream metadata and the icons belong to the window program.
if(TARGET iradudo)
  install(FILES ${IRADUDO_DATA_DIR}/${IRADUDO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${IRADUDO_DATA_DIR}/${IRADUDO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # One drawing; the theme's fixed sizes are rendered from it at build time.
  set(icon_source ${IRADUDO_DATA_DIR}/icons/${IRADUDO_APP_ID}.svg)
  install(FILES ${icon_source} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  find_program(IRADUDO_RSVG_CONVERT rsvg-convert)
  if(NOT IRADUDO_RSVG_CONVERT)
    message(FATAL_ERROR "The icons need rsvg-convert (Debian librsvg2-bin): run scripts/setup.sh")
  endif()
  set(IRADUDO_ICON_SIZES 16 32 48 64 128 256)
  foreach(size IN LISTS IRADUDO_ICON_SIZES)
    set(folder ${PROJECT_BINARY_DIR}/data/icons/${size}x${size})
    add_custom_command(OUTPUT ${folder}/${IRADUDO_APP_ID}.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${IRADUDO_RSVG_CONVERT} --width=${size} --height=${size}
              --output=${folder}/${IRADUDO_APP_ID}.png ${icon_source}
      DEPENDS ${icon_source}
      COMMENT "Rendering the ${size}x${size} icon"
      VERBATIM)
    list(APPEND IRADUDO_DATA_OUTPUTS ${folder}/${IRADUDO_APP_ID}.png)
    install(FILES ${folder}/${IRADUDO_APP_ID}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()
# Debian reads a package's licence and history from its documentation folder.
set(changelog ${PROJECT_BINARY_DIR}/data/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E copy ${IRADUDO_DATA_DIR}/debian/changelog ${PROJECT_BINARY_DIR}/data/changelog
  COMMAND ${IRADUDO_GZIP} -9nf ${PROJECT_BINARY_DIR}/data/changelog
  DEPENDS ${IRADUDO_DATA_DIR}/debian/changelog
  VERBATIM)
list(APPEND IRADUDO_DATA_OUTPUTS ${changelog})
install(FILES ${IRADUDO_DATA_DIR}/debian/copyright ${changelog} ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_custom_target(iradudo_data ALL DEPENDS ${IRADUDO_DATA_OUTPUTS})

# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME iradudo)
set(CPACK_PACKAGE_VENDOR "Iradudo developers")
set(CPACK_PACKAGE_CONTACT "Iradudo developers <iradudo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "browser for the cover CD-ROMs of Amiga magazines")
# Debian reads a line that starts with a full stop as a control line: wrap so none does.
set(CPACK_PACKAGE_DESCRIPTION
    "Iradudo browses the cover CD-ROMs of Amiga magazines and moves their files
towards Amiga-readable floppies. Its window imitates the Amiga Workbench: a
grey desktop with CD-ROM icons, small windows with blue title bars. It lists a
disc's drawers with type icons, sizes and the descriptions of Aminet-style
readme files, shows texts and pictures, and opens files with the desktop's
default application. Its user interface is in Italian.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://iradudo.example.org/)
# Libraries from dpkg-shlibdeps; then what the programs start or load by name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, mtools, xterm | x-terminal-emulator, fonts-wine, fonts-liberation2, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

if(TARGET iradudo)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/packaging ${PROJECT_BINARY_DIR}/tests/packaging)
endif()
