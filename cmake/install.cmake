# Installing: cmake --install build --prefix PREFIX, and the Debian package
# (cmake/package.cmake), which CPack makes from these same rules by
# installing with the prefix /usr. Debian's layout for games:
#
#   PREFIX/libexec/vektorak/vektorak    the game itself
#   PREFIX/share/games/vektorak/        models, pictures, the shipped vkt.txt
#   PREFIX/games/vektorak               the launcher, with the prefix /usr
#   PREFIX/bin/vektorak                 the launcher, with any other prefix
#
# and under PREFIX/share: the desktop entry, the replay's MIME type (the
# entry opens a .vkr), the icon in the hicolor theme,
# the AppStream metainfo, the manual page vektorak.6, and the copyright
# file and changelog in doc/vektorak/. vk-modelinfo goes to PREFIX/bin, but
# not into the package: it is a modder's tool without a manual page, and
# Debian keeps /usr/bin out of section games.
#
# The online lobby (component "lobby", the package vektorak-lobby) goes to
# PREFIX/bin: it is a network service, not something a player starts, and
# an operator's PATH (root's too) has /usr/bin and not /usr/games. Its man
# page goes to section 1, beside it. Under /usr alone, the system's own
# files come too: the systemd unit in /lib/systemd/system and its settings
# in /etc/default (see cmake/lobbylayout.cmake).
#
# The launcher goes to games/ only under /usr, where Debian's PATH has
# /usr/games; ~/.local/games would be on nobody's PATH. The prefix is known
# for certain only at install time (--prefix overrides the configured one),
# so cmake/installlayout.cmake places the launcher and the desktop entry,
# which names it, then. The data stay out of PREFIX/share/vektorak: with
# the prefix ~/.local, that is the player's own folder (see the launcher).
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME game)
set(VEKTORAK_STAGE_DIR ${CMAKE_BINARY_DIR}/install)
set(VEKTORAK_INSTALL_GAMEDIR ${CMAKE_INSTALL_LIBEXECDIR}/vektorak)
set(VEKTORAK_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/games/vektorak)

install(TARGETS vektorak RUNTIME DESTINATION ${VEKTORAK_INSTALL_GAMEDIR})
# A game played from the build folder leaves its last match there, and its
# kept replays: those are the player's, not something to ship.
install(DIRECTORY ${VEKTORAK_DATA_DIR}/ DESTINATION ${VEKTORAK_INSTALL_DATADIR}
        PATTERN "lastmatch.vkr*" EXCLUDE
        PATTERN "replays" EXCLUDE)

# The launcher finds the game and its data from its own place, one folder
# below the prefix in both places it goes to.
configure_file(${CMAKE_SOURCE_DIR}/cmake/vektorak-launcher.in ${VEKTORAK_STAGE_DIR}/vektorak @ONLY)
install(CODE "
  set(VEKTORAK_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")
  set(VEKTORAK_STAGE_DIR \"${VEKTORAK_STAGE_DIR}\")
  set(VEKTORAK_SHAREDIR \"${CMAKE_INSTALL_DATADIR}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/installlayout.cmake\")
")

# The replay's file type, so that a file manager opens a .vkr with the game
# (the desktop entry's MimeType); shared-mime-info's trigger takes it in.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vektorak-replay.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME vektorak.xml)

# The icon's file of each size becomes vektorak.png in that size's folder,
# the name the desktop entry's Icon=vektorak looks up.
foreach(size ${VEKTORAK_ICON_SIZES})
  install(FILES ${VEKTORAK_ICON_DIR}/vektorak-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vektorak.png)
endforeach()

# AppStream: the software centres' entry. Its screenshots must be web
# addresses: the README's, under docs/ of the project's web address. The
# project has none yet, so both that address and the reverse-DNS component
# id stand on example.org, reserved for just such a placeholder.
set(VEKTORAK_HOMEPAGE "https://vektorak.example.org" CACHE STRING
    "The project's web address; the AppStream screenshots are its docs/*.png")
set(VEKTORAK_APPSTREAM_ID org.example.vektorak)
configure_file(${CMAKE_SOURCE_DIR}/packaging/vektorak.metainfo.xml.in
               ${VEKTORAK_STAGE_DIR}/${VEKTORAK_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${VEKTORAK_STAGE_DIR}/${VEKTORAK_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The copyright file in Debian's machine-readable format, with the licence
# text taken from LICENSE so that the two cannot drift apart: each line
# indented by one space, an empty line written as " .".
# The title and the copyright line above the licence's own text have their
# own fields there.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE VEKTORAK_LICENSE_TEXT)
string(FIND "${VEKTORAK_LICENSE_TEXT}" "Permission is hereby granted" VEKTORAK_LICENSE_START)
if(VEKTORAK_LICENSE_START LESS 0)
  message(FATAL_ERROR "LICENSE does not hold the MIT licence's text")
endif()
string(SUBSTRING "${VEKTORAK_LICENSE_TEXT}" ${VEKTORAK_LICENSE_START} -1 VEKTORAK_LICENSE_TEXT)
string(STRIP "${VEKTORAK_LICENSE_TEXT}" VEKTORAK_LICENSE_TEXT)
string(REGEX REPLACE "\n\n" "\n.\n" VEKTORAK_LICENSE_TEXT "${VEKTORAK_LICENSE_TEXT}")
string(REGEX REPLACE "\n" "\n " VEKTORAK_LICENSE_TEXT " ${VEKTORAK_LICENSE_TEXT}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/copyright.in ${VEKTORAK_STAGE_DIR}/copyright @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)

# Manual page and changelog, compressed as Debian wants them: gzip -9, and
# -n so that no name or time stamp makes two builds differ.
set(VEKTORAK_GZIPPED)
file(MAKE_DIRECTORY ${VEKTORAK_STAGE_DIR}/lobby)
foreach(pair "docs/vektorak.6;vektorak.6.gz" "packaging/changelog;changelog.gz"
             "docs/vektorak-lobby.1;vektorak-lobby.1.gz" "packaging/lobby/changelog;lobby/changelog.gz")
  list(GET pair 0 source)
  list(GET pair 1 gzipped)
  add_custom_command(OUTPUT ${VEKTORAK_STAGE_DIR}/${gzipped}
                     COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/${source} > ${VEKTORAK_STAGE_DIR}/${gzipped}
                     DEPENDS ${CMAKE_SOURCE_DIR}/${source}
                     COMMENT "Compressing ${source}")
  list(APPEND VEKTORAK_GZIPPED ${VEKTORAK_STAGE_DIR}/${gzipped})
endforeach()
add_custom_target(vektorak_docs ALL DEPENDS ${VEKTORAK_GZIPPED})
install(FILES ${VEKTORAK_STAGE_DIR}/vektorak.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${VEKTORAK_STAGE_DIR}/copyright ${VEKTORAK_STAGE_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vektorak)

install(TARGETS vektorak-lobby RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT lobby)
install(FILES ${VEKTORAK_STAGE_DIR}/vektorak-lobby.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT lobby)
install(FILES ${VEKTORAK_STAGE_DIR}/copyright ${VEKTORAK_STAGE_DIR}/lobby/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vektorak-lobby COMPONENT lobby)
install(CODE "
  set(VEKTORAK_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/lobbylayout.cmake\")
" COMPONENT lobby)

if(TARGET vk-modelinfo)
  install(TARGETS vk-modelinfo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT modelling)
endif()
