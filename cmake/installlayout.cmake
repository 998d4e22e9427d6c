# Run at install time (see cmake/install.cmake): puts the launcher where the
# prefix calls for, and the desktop entry that names it. Takes
# VEKTORAK_SOURCE_DIR, VEKTORAK_STAGE_DIR (where the build configured the
# launcher) and VEKTORAK_SHAREDIR from the build; DESTDIR (CPack's staging
# folder) is added by file(INSTALL) itself.
# Install scripts run with no policies set; include() scopes this setting.
cmake_policy(VERSION 3.25)
string(REGEX REPLACE "/+$" "" VEKTORAK_PREFIX "${CMAKE_INSTALL_PREFIX}")
if(VEKTORAK_PREFIX STREQUAL "/usr")
  set(VEKTORAK_LAUNCHER_DIR games)  # Debian Policy 11.11
else()
  set(VEKTORAK_LAUNCHER_DIR bin)
endif()
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VEKTORAK_LAUNCHER_DIR}" TYPE PROGRAM
     FILES "${VEKTORAK_STAGE_DIR}/vektorak")

# The entry names the launcher by its absolute path: /usr/games need not be
# on the PATH of a desktop session, nor PREFIX/bin of a home install.
# Made in a folder of this install's own: two installs may run at once (the
# tests install from source while CPack packs), each naming its launcher.
set(VEKTORAK_LAUNCHER "${VEKTORAK_PREFIX}/${VEKTORAK_LAUNCHER_DIR}/vektorak")
string(MD5 VEKTORAK_INSTALL_KEY "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
set(VEKTORAK_ENTRY "${VEKTORAK_STAGE_DIR}/desktop-${VEKTORAK_INSTALL_KEY}/vektorak.desktop")
configure_file("${VEKTORAK_SOURCE_DIR}/cmake/vektorak.desktop.in" "${VEKTORAK_ENTRY}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VEKTORAK_SHAREDIR}/applications" TYPE FILE
     FILES "${VEKTORAK_ENTRY}")
file(REMOVE_RECURSE "${VEKTORAK_STAGE_DIR}/desktop-${VEKTORAK_INSTALL_KEY}")
