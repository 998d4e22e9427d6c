# The artwork baker: every model, picture and texture the game loads, and
# its settings file, are made by code in tools/baker/ and written into the
# game's working directory at build time.
#
#   vektorak_baker  static library with bakeAll(), linked by the tests
#   vektorak_bake   the executable the build runs: vektorak_bake DIRECTORY
#   vektorak_artwork  runs it into ${VEKTORAK_DATA_DIR}; the game depends on it
#
#   vektorak_icons    runs vektorak_bake --icons into ${VEKTORAK_ICON_DIR}:
#                     the desktop icon, which the game itself never loads
#
# Needs FreeType, libjpeg and libpng (Debian: libfreetype-dev, libjpeg-dev,
# libpng-dev) and the DejaVu fonts (fonts-dejavu-core), read at bake time
# only.

find_package(Freetype REQUIRED)
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_path(VEKTORAK_FONT_DIR DejaVuSans-Bold.ttf
          PATHS /usr/share/fonts/truetype/dejavu /usr/share/fonts/dejavu /usr/local/share/fonts
          DOC "Directory holding DejaVuSans.ttf and DejaVuSans-Bold.ttf")
if(NOT VEKTORAK_FONT_DIR)
  message(FATAL_ERROR "The artwork baker needs the DejaVu fonts (Debian package fonts-dejavu-core)")
endif()

file(GLOB VEKTORAK_BAKER_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/baker/*.cpp)
list(REMOVE_ITEM VEKTORAK_BAKER_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/baker/main.cpp)

add_library(vektorak_baker STATIC ${VEKTORAK_BAKER_SOURCES})
target_include_directories(vektorak_baker PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(vektorak_baker PRIVATE VEKTORAK_FONT_DIR="${VEKTORAK_FONT_DIR}")
target_link_libraries(vektorak_baker PUBLIC vektorak_core PRIVATE Freetype::Freetype JPEG::JPEG PNG::PNG)
# The pixel loops (noise, blurs) take seconds optimised and minutes without:
# optimise them in debug and sanitizer builds too, which run the baker at
# every build and in the tests.
target_compile_options(vektorak_baker PRIVATE $<$<CONFIG:Debug>:-O2>)

add_executable(vektorak_bake ${CMAKE_CURRENT_SOURCE_DIR}/baker/main.cpp)
target_link_libraries(vektorak_bake PRIVATE vektorak_baker)
if(COMMAND vektorak_sanitizer_defaults)
  vektorak_sanitizer_defaults(vektorak_baker)
  vektorak_sanitizer_defaults(vektorak_bake)
endif()

# Every file the baker writes, the sounds too (tools/baker/bsounds.cpp) (bakedFileNames() in baker/bakeall.cpp; the
# tests check that the baker writes exactly those): listed so that the build
# knows when they are missing and reruns the baker whenever it is rebuilt.
set(VEKTORAK_BAKED_NAMES
    ship.3ds ship2.3ds zat.3ds zat2.3ds logo.3ds lives_left.txt lives_right.txt
    pozadi.jpg pozadi_sky.jpg menu.jpg menu_sky.jpg settings.jpg menu1.bmp menu2.bmp menu3.bmp menu4.bmp menu5.bmp menu6.bmp replay.bmp font.bmp won_l.jpg won_r.jpg
    remiza.jpg hull_left.bmp hull_right.bmp vkt.txt
    shot_left.wav shot_right.wav hit_left.wav hit_right.wav bounce.wav low_health.wav
    won.wav draw.wav menu_choice.wav match_start.wav music_menu.wav music_match.wav)
set(VEKTORAK_BAKED_FILES)
foreach(name ${VEKTORAK_BAKED_NAMES})
  list(APPEND VEKTORAK_BAKED_FILES ${VEKTORAK_DATA_DIR}/${name})
endforeach()
add_custom_command(OUTPUT ${VEKTORAK_BAKED_FILES}
                   COMMAND vektorak_bake ${VEKTORAK_DATA_DIR}
                   DEPENDS vektorak_bake
                   COMMENT "Baking the game's artwork into ${VEKTORAK_DATA_DIR}"
                   VERBATIM)
add_custom_target(vektorak_artwork ALL DEPENDS ${VEKTORAK_BAKED_FILES})
add_dependencies(vektorak vektorak_artwork)

# VEKTORAK_ICON_SIZES (top-level CMakeLists.txt) must list the sizes of
# iconSizes() in baker/bicon.cpp: the package tests check what gets installed.
set(VEKTORAK_ICON_FILES)
foreach(size ${VEKTORAK_ICON_SIZES})
  list(APPEND VEKTORAK_ICON_FILES ${VEKTORAK_ICON_DIR}/vektorak-${size}.png)
endforeach()
add_custom_command(OUTPUT ${VEKTORAK_ICON_FILES}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${VEKTORAK_ICON_DIR}
                   COMMAND vektorak_bake --icons ${VEKTORAK_ICON_DIR}
                   DEPENDS vektorak_bake
                   COMMENT "Baking the desktop icon into ${VEKTORAK_ICON_DIR}"
                   VERBATIM)
add_custom_target(vektorak_icons ALL DEPENDS ${VEKTORAK_ICON_FILES})
