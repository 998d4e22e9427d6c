# Run at install time (see cmake/install.cmake): places the launcher, the
# game's data and the desktop entry by the layout that the prefix calls for.
# Takes VEKTORAK_SOURCE_DIR, VEKTORAK_DATA_DIR, VEKTORAK_STAGE_DIR,
# VEKTORAK_LIBEXECDIR and VEKTORAK_SHAREDIR from the build; DESTDIR
# (CPack's staging folder) is added by file(INSTALL) itself.
# Install scripts run with no policies set; include() scopes this setting.
cmake_policy(VERSION 3.25)
string(REGEX REPLACE "/+$" "" VEKTORAK_PREFIX "${CMAKE_INSTALL_PREFIX}")
if(VEKTORAK_PREFIX STREQUAL "/usr")
  # Debian's games: Policy 11.11 and the FHS.
  set(VEKTORAK_LAUNCH_BINDIR games)
  set(VEKTORAK_LAUNCH_DATADIR share/games/vektorak)
else()
  set(VEKTORAK_LAUNCH_BINDIR bin)
  set(VEKTORAK_LAUNCH_DATADIR ${VEKTORAK_SHAREDIR}/vektorak)
endif()
set(VEKTORAK_LAUNCH_GAMEDIR ${VEKTORAK_LIBEXECDIR}/vektorak)

file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VEKTORAK_LAUNCH_DATADIR}" TYPE DIRECTORY
     FILES "${VEKTORAK_DATA_DIR}/")

configure_file("${VEKTORAK_SOURCE_DIR}/cmake/vektorak-launcher.in" "${VEKTORAK_STAGE_DIR}/vektorak" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VEKTORAK_LAUNCH_BINDIR}" TYPE PROGRAM
     FILES "${VEKTORAK_STAGE_DIR}/vektorak")

# The entry names the launcher by its absolute path: /usr/games need not be
# on the PATH of a desktop session, nor PREFIX/bin of a home install.
set(VEKTORAK_LAUNCHER "${VEKTORAK_PREFIX}/${VEKTORAK_LAUNCH_BINDIR}/vektorak")
configure_file("${VEKTORAK_SOURCE_DIR}/cmake/vektorak.desktop.in" "${VEKTORAK_STAGE_DIR}/vektorak.desktop" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VEKTORAK_SHAREDIR}/applications" TYPE FILE
     FILES "${VEKTORAK_STAGE_DIR}/vektorak.desktop")
