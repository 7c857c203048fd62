# SPDX-License-Identifier: GPL-3.0-or-later
# Message catalogues of the chooser and rvl-pack (po/*.po, gettext domain
# rvl-reader), compiled with msgfmt into locale/ of the run directory, where
# the tools look beside themselves, and installed into share/locale. The target
# update-po refreshes po/rvl-reader.pot and merges it into every catalogue.

find_program(RVL_MSGFMT msgfmt)
if(NOT RVL_MSGFMT)
  message(FATAL_ERROR "msgfmt missing: install Debian's gettext to compile the message catalogues")
endif()
set(RVL_TEXT_DOMAIN rvl-reader)
file(GLOB RVL_PO_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/po/*.po)
set(RVL_MO_FILES "")
foreach(po ${RVL_PO_FILES})
  get_filename_component(lang ${po} NAME_WE)
  set(mo ${RVL_RUN_DIR}/locale/${lang}/LC_MESSAGES/${RVL_TEXT_DOMAIN}.mo)
  add_custom_command(
    OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${RVL_RUN_DIR}/locale/${lang}/LC_MESSAGES
    COMMAND ${RVL_MSGFMT} --check -o ${mo} ${po}
    DEPENDS ${po}
    COMMENT "Compiling the ${lang} messages")
  install(FILES ${mo} DESTINATION share/locale/${lang}/LC_MESSAGES)
  list(APPEND RVL_MO_FILES ${mo})
endforeach()
add_custom_target(translations ALL DEPENDS ${RVL_MO_FILES})
add_dependencies(run-directory translations)

file(GLOB RVL_TRANSLATED_SOURCES CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tools/fileopen/*.cpp ${CMAKE_SOURCE_DIR}/tools/rvl-pack/*.cpp
     ${CMAKE_SOURCE_DIR}/packing/*.cpp ${CMAKE_SOURCE_DIR}/packing/convert/*.cpp)
# tr, trn (singular, plural) and N_ (a message kept in a table) mark the texts.
set(RVL_XGETTEXT xgettext --from-code=UTF-8 -k -ktr -ktrn:1,2 -kN_)
set(RVL_MERGE_COMMANDS "")
foreach(po ${RVL_PO_FILES})
  list(APPEND RVL_MERGE_COMMANDS COMMAND msgmerge -q -U --backup=none ${po} po/rvl-reader.pot)
endforeach()
add_custom_target(update-po
  COMMAND ${RVL_XGETTEXT} --package-name=rvl-reader --package-version=${PROJECT_VERSION}
          --msgid-bugs-address=rvl-reader@example.org -o po/rvl-reader.pot ${RVL_TRANSLATED_SOURCES}
  ${RVL_MERGE_COMMANDS}
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
  VERBATIM
  COMMENT "Refreshing po/rvl-reader.pot and the catalogues")
