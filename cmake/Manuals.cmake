# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages, written in scdoc (docs/man/*.scd), rendered into
# doc/man/ of the build tree and compressed for installation. Their date is
# the changelog's, so that a build of the same sources gives the same pages.

find_program(RVL_SCDOC scdoc)
if(NOT RVL_SCDOC)
  message(FATAL_ERROR "scdoc missing: install Debian's scdoc to render the manual pages")
endif()
execute_process(
  COMMAND dpkg-parsechangelog -l ${CMAKE_SOURCE_DIR}/desktop/changelog -S Timestamp
  OUTPUT_VARIABLE RVL_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)

set(RVL_MAN_DIR ${CMAKE_BINARY_DIR}/doc/man)
set(RVL_MAN_PAGES "")
foreach(page rvl-reader.1 rvl-pack.1)
  add_custom_command(
    OUTPUT ${RVL_MAN_DIR}/${page} ${RVL_MAN_DIR}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${RVL_MAN_DIR}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${RVL_RELEASE_EPOCH}
            sh -c "\"$0\" < \"$1\" > \"$2\"" ${RVL_SCDOC} ${CMAKE_SOURCE_DIR}/docs/man/${page}.scd ${RVL_MAN_DIR}/${page}
    COMMAND gzip -9nkf ${RVL_MAN_DIR}/${page}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page}.scd ${CMAKE_SOURCE_DIR}/desktop/changelog
    COMMENT "Rendering the manual page ${page}"
    VERBATIM)
  list(APPEND RVL_MAN_PAGES ${RVL_MAN_DIR}/${page}.gz)
endforeach()
add_custom_target(manuals ALL DEPENDS ${RVL_MAN_PAGES})
install(FILES ${RVL_MAN_PAGES} DESTINATION share/man/man1)
