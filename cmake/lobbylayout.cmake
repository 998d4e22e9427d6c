# Run at install time (see cmake/install.cmake) for the component "lobby":
# under the prefix /usr, the package's, puts the systemd unit and its
# settings where the system looks for them. Under any other prefix (a source
# install into ~/.local or /usr/local) they stay out: the unit names
# /usr/bin/vektorak-lobby and /etc/default/vektorak-lobby, and a home
# install has no business in /etc. DESTDIR (CPack's staging folder) is
# added by file(INSTALL) itself.
cmake_policy(VERSION 3.25)
string(REGEX REPLACE "/+$" "" VEKTORAK_PREFIX "${CMAKE_INSTALL_PREFIX}")
if(VEKTORAK_PREFIX STREQUAL "/usr")
  # /lib, not /usr/lib: where Debian 12's systemd packages put units.
  file(INSTALL DESTINATION "/lib/systemd/system" TYPE FILE
       FILES "${VEKTORAK_SOURCE_DIR}/packaging/lobby/vektorak-lobby.service")
  file(INSTALL DESTINATION "/etc/default" TYPE FILE RENAME vektorak-lobby
       FILES "${VEKTORAK_SOURCE_DIR}/packaging/lobby/default")
endif()
