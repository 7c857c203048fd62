# SPDX-License-Identifier: GPL-3.0-or-later
# Installation and the Debian package (scripts/package.sh): the programs in
# bin/, the chooser and the video module in libexec/rvl-reader/, the pictures and
# links to Debian's fonts in share/rvl-reader/res/, the desktop entry, the
# file type of packs, the icon, the AppStream metainfo, the bash completion,
# the manual pages (cmake/Manuals.cmake) and the messages
# (cmake/Translations.cmake).

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS rvl-reader rvl-pack RUNTIME DESTINATION bin)
install(TARGETS fileopen RUNTIME DESTINATION libexec/rvl-reader)
install(TARGETS rvl-video LIBRARY DESTINATION libexec/rvl-reader)
install(FILES ${RVL_RUN_DIR}/res/bg.png ${RVL_RUN_DIR}/res/sk.png DESTINATION share/rvl-reader/res)
install(FILES ${RVL_RUN_DIR}/demo.rvl DESTINATION share/rvl-reader)
# The fonts stay in their Debian packages; the reader's names link to them,
# relative to where they are installed (Debian's policy for links within /usr).
install(CODE "
  set(res \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/rvl-reader/res\")
  file(MAKE_DIRECTORY \"\${res}\")
  foreach(pair \"${RVL_SANS_FONT}=FuturaC.ttf\" \"${RVL_BRUSH_FONT}=Brush.ttf\")
    string(REPLACE \"=\" \";\" pair \"\${pair}\")
    list(GET pair 0 font)
    list(GET pair 1 name)
    file(RELATIVE_PATH target \"\${CMAKE_INSTALL_PREFIX}/share/rvl-reader/res\" \"\${font}\")
    file(CREATE_LINK \"\${target}\" \"\${res}/\${name}\" SYMBOLIC)
  endforeach()")
install(FILES desktop/rvl-reader.desktop DESTINATION share/applications)
install(FILES desktop/rvl-reader.xml DESTINATION share/mime/packages)
install(FILES ${RVL_ICON} DESTINATION share/icons/hicolor/128x128/apps)
install(FILES desktop/org.example.rvl_reader.metainfo.xml DESTINATION share/metainfo)
install(FILES desktop/copyright DESTINATION share/doc/rvl-reader)
# bash-completion loads a command's completion from a file of its name.
pkg_get_variable(RVL_COMPLETIONS_DIR bash-completion completionsdir)
if(RVL_COMPLETIONS_DIR MATCHES "^/usr/(.*)$")
  set(RVL_COMPLETIONS_DIR ${CMAKE_MATCH_1})
else()
  set(RVL_COMPLETIONS_DIR share/bash-completion/completions)
endif()
install(FILES desktop/rvl.bash-completion DESTINATION ${RVL_COMPLETIONS_DIR} RENAME rvl-reader)
install(CODE "file(CREATE_LINK rvl-reader \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${RVL_COMPLETIONS_DIR}/rvl-pack\" SYMBOLIC)")
# Debian wants the changelog compressed, reproducibly (no name, no time).
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/desktop/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/desktop
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/desktop/changelog > ${CMAKE_BINARY_DIR}/desktop/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/desktop/changelog)
add_custom_target(desktop-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/desktop/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/desktop/changelog.gz DESTINATION share/doc/rvl-reader)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rvl-reader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reader and player of quiz-game packs")
# CPack puts the summary line first and indents what follows.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "RVL Reader shows a quiz pack (*.rvl): a board of topics and point cells,
and for each question its picture, sound or video, then the question and
its answer. It fills a projector with --fullscreen. rvl-pack builds,
unpacks and checks packs.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "RVL Reader developers <rvl-reader@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not libraries, so dpkg-shlibdeps cannot see them: the fonts the links
# point at and the desktop's file dialog (without one the chooser can only ask
# on a terminal, which a reader started from the menu does not have); the
# file-type database is recommended.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-urw-base35, fonts-yanone-kaffeesatz, zenity | kdialog")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
include(CPack)
