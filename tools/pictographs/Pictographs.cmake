# The pictograph libraries' glyph sheets, rendered at build time from the
# colour emoji font through the carriers' code table (render_pictographs.cpp).
set(QV_EMOJI_SOURCES /usr/share/unicode/EmojiSources.txt CACHE FILEPATH
    "The carriers' pictograph codes (Debian package unicode-data)")
set(QV_EMOJI_FONT /usr/share/fonts/truetype/noto/NotoColorEmoji.ttf CACHE FILEPATH
    "The colour emoji font the pictograph sheets are drawn from (Debian package fonts-noto-color-emoji)")
foreach(_file QV_EMOJI_SOURCES QV_EMOJI_FONT)
  if(NOT EXISTS ${${_file}})
    message(FATAL_ERROR "${${_file}} is missing: install the packages of scripts/packages-program.txt (scripts/deps)")
  endif()
endforeach()

find_package(Freetype REQUIRED)
find_package(PNG REQUIRED)
if(NOT TARGET render_pictographs)
  # The sheets follow the program's own character tables.
  add_executable(render_pictographs ${CMAKE_SOURCE_DIR}/tools/pictographs/render_pictographs.cpp
                                    ${CMAKE_SOURCE_DIR}/app/foundation/PictureChars.cpp)
  target_link_libraries(render_pictographs PRIVATE Freetype::Freetype PNG::PNG)
endif()

# qv_pictograph_library(<library> <picture|web>): the set's resource library.
# It is built beside the platform library, one of the places a library loaded
# by name is looked for, so the program and every test find it; the sheets
# are also left as PNGs in <build>/pictographs to be looked at.
function(qv_pictograph_library name set)
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/${name}Data.cpp)
  set(_previews ${CMAKE_BINARY_DIR}/pictographs)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_previews}
    COMMAND render_pictographs ${set} ${QV_EMOJI_SOURCES} ${QV_EMOJI_FONT} ${_out} ${_previews}
    DEPENDS render_pictographs ${QV_EMOJI_SOURCES} ${QV_EMOJI_FONT}
    COMMENT "Rendering the glyph sheets of ${name}" VERBATIM)
  add_library(${name} SHARED ${_out})
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden
    LIBRARY_OUTPUT_DIRECTORY $<TARGET_FILE_DIR:QvPlatform>)
endfunction()
