# SPDX-License-Identifier: GPL-3.0-or-later
# Assembles the directory the reader runs in: res/ with the fonts and the
# generated pictures, an empty temp/, the reader itself and its video module,
# which it loads from beside itself.

find_file(RVL_SANS_FONT URWGothic-Book.otf PATHS /usr/share/fonts/opentype/urw-base35 NO_DEFAULT_PATH)
find_file(RVL_BRUSH_FONT YanoneKaffeesatz-Regular.otf PATHS /usr/share/fonts/opentype/yanone-kaffeesatz NO_DEFAULT_PATH)
if(NOT RVL_SANS_FONT OR NOT RVL_BRUSH_FONT)
  message(FATAL_ERROR "Fonts missing: install Debian's fonts-urw-base35 and fonts-yanone-kaffeesatz")
endif()

set_target_properties(rvl-reader PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${RVL_RUN_DIR})
set_target_properties(rvl-video PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${RVL_RUN_DIR})

add_executable(rvl-make-resources generators/resources/make_resources.cpp)
target_link_libraries(rvl-make-resources PRIVATE PkgConfig::SDL2)
target_include_directories(rvl-make-resources PRIVATE ${CMAKE_SOURCE_DIR})

# The desktop icon (for the package) is drawn in the same run.
set(RVL_ICON ${CMAKE_BINARY_DIR}/desktop/rvl-reader.png)
add_custom_command(
  OUTPUT ${RVL_RUN_DIR}/res/bg.png ${RVL_RUN_DIR}/res/sk.png ${RVL_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RVL_RUN_DIR}/res ${RVL_RUN_DIR}/temp ${CMAKE_BINARY_DIR}/desktop
  COMMAND rvl-make-resources ${RVL_RUN_DIR}/res ${RVL_ICON}
  DEPENDS rvl-make-resources
  COMMENT "Drawing the reader's pictures")
add_custom_command(
  OUTPUT ${RVL_RUN_DIR}/res/FuturaC.ttf ${RVL_RUN_DIR}/res/Brush.ttf
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RVL_RUN_DIR}/res
  COMMAND ${CMAKE_COMMAND} -E copy ${RVL_SANS_FONT} ${RVL_RUN_DIR}/res/FuturaC.ttf
  COMMAND ${CMAKE_COMMAND} -E copy ${RVL_BRUSH_FONT} ${RVL_RUN_DIR}/res/Brush.ttf
  DEPENDS ${RVL_SANS_FONT} ${RVL_BRUSH_FONT}
  COMMENT "Copying the reader's fonts")
add_custom_target(run-directory ALL
  DEPENDS ${RVL_RUN_DIR}/res/bg.png ${RVL_RUN_DIR}/res/sk.png ${RVL_ICON}
          ${RVL_RUN_DIR}/res/FuturaC.ttf ${RVL_RUN_DIR}/res/Brush.ttf
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RVL_RUN_DIR}/temp)
add_dependencies(run-directory rvl-video)
