# Installation and the Debian package (scripts/package.sh): the programs in
# bin/, the chooser and the video module in libexec/rvl-reader/, the pictures and
# links to Debian's fonts in share/rvl-reader/res/, the desktop entry, the
# file type of packs and the icon.

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS rvl-reader rvl-pack RUNTIME DESTINATION bin)
install(TARGETS fileopen RUNTIME DESTINATION libexec/rvl-reader)
install(TARGETS rvl-video LIBRARY DESTINATION libexec/rvl-reader)
install(FILES ${RVL_RUN_DIR}/res/bg.png ${RVL_RUN_DIR}/res/sk.png DESTINATION share/rvl-reader/res)
install(FILES ${RVL_RUN_DIR}/demo.rvl DESTINATION share/rvl-reader)
# The fonts stay in their Debian packages; the reader's names link to them.
install(CODE "
  set(res \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/rvl-reader/res\")
  file(MAKE_DIRECTORY \"\${res}\")
  file(CREATE_LINK \"${RVL_SANS_FONT}\" \"\${res}/FuturaC.ttf\" SYMBOLIC)
  file(CREATE_LINK \"${RVL_BRUSH_FONT}\" \"\${res}/Brush.ttf\" SYMBOLIC)")
install(FILES desktop/rvl-reader.desktop DESTINATION share/applications)
install(FILES desktop/rvl-reader.xml DESTINATION share/mime/packages)
install(FILES ${RVL_ICON} DESTINATION share/icons/hicolor/128x128/apps)
install(FILES desktop/copyright DESTINATION share/doc/rvl-reader)
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
# point at, the desktop's file dialog, the file-type database.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-urw-base35, fonts-yanone-kaffeesatz")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "zenity | kdialog, shared-mime-info, desktop-file-utils")
include(CPack)
