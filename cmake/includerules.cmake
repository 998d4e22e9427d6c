# includerules.cmake: which subsystem folder of src/ may include which.
#
# Includes point down, never up. From the bottom:
#   sched, assets   know no game at all.
#   game            the match as data: it reads no device and draws nothing,
#                   so it runs the same in the game, a tool, a test or a
#                   match stepped again after a rollback.
#   net, sound      over the game and assets.
#   lobby           the online lobby server: over net (the datagrams it
#                   shares with the game), and nothing of a game that runs.
#   config          the player's files (keys, settings): over game and
#                   assets, under the screens.
#   screens         ask their host (screens/hscreenhost.h) and never reach
#                   into src/app: the application switches, a screen asks.
#   app             wires them all together; no other folder includes screens/.
# tests, bench, tools and fuzz may include anything.
#
# Checked when the build is configured, so that a rule cannot slip in
# unnoticed; also as a script on any tree, so that the rules themselves can
# be tested on a scratch one:
#   cmake -DVEKTORAK_SRC=<folder holding game/, screens/, ...> -P includerules.cmake

# Refuses, naming the file and the line, any file directly in
# `root`/`folder` that includes a path starting with one of `forbidden`
# (alternatives of a regular expression).
function(vektorak_includes_point_down root folder forbidden)
  file(GLOB files ${root}/${folder}/*)
  foreach(f ${files})
    file(STRINGS ${f} up REGEX "^#include [<\"](${forbidden})")
    if(up)
      message(FATAL_ERROR "${f}: ${up}: src/${folder} may not include ${forbidden}")
    endif()
  endforeach()
endfunction()

# Every rule, on the tree whose subsystem folders sit in `root`.
function(vektorak_check_includes root)
  vektorak_includes_point_down(${root} game "SDL|GL/|app/|net/|sound/|screens/|config/")
  vektorak_includes_point_down(${root} sched "game/|app/|net/|sound/|screens/|config/")
  vektorak_includes_point_down(${root} assets "game/|app/|net/|sound/|screens/|config/")
  vektorak_includes_point_down(${root} net "app/|screens/|config/")
  vektorak_includes_point_down(${root} sound "app/|screens/|config/")
  vektorak_includes_point_down(${root} lobby "SDL|GL/|app/|screens/|config/|sound/|game/")
  vektorak_includes_point_down(${root} config "app/|net/|sound/|screens/")
  vektorak_includes_point_down(${root} screens "app/")
endfunction()

if(DEFINED CMAKE_SCRIPT_MODE_FILE AND CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT IS_DIRECTORY "${VEKTORAK_SRC}")
    message(FATAL_ERROR "includerules.cmake: VEKTORAK_SRC must name the folder to check")
  endif()
  vektorak_check_includes(${VEKTORAK_SRC})
endif()
