# The Debian package: cd build && cpack -G DEB gives
# vektorak_<version>_<architecture>.deb. CPack installs with the rules of
# cmake/install.cmake under the prefix /usr, which picks Debian's games
# layout, into a staging folder, and packs that.
#
# Only the component "game" goes in: vk-modelinfo (component "modelling")
# stays out, see install.cmake. The component "lobby" is a package of its
# own, vektorak-lobby: cpack --config CPackLobbyConfig.cmake (its settings
# in packaging/lobby/cpack.cmake.in).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vektorak)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Vektorak developers <vektorak@example.org>" CACHE STRING
    "The package's Maintainer field")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-player 3D space duel")
# CPack indents these lines and turns an empty one into " ." for the
# control file.
set(CPACK_PACKAGE_DESCRIPTION "Two ships face each other across a fixed field of space. Each moves
with a little inertia, turns to face its opponent and fires; a hit costs 5
of 100 health, and the last ship flying wins.

Each ship is steered by the cursor keys, by W A S D, or by the computer:
two people play on one keyboard, or one against the computer. Each player
gets a folder of their own for settings and for models of their own.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};game;/")
set(CPACK_STRIP_FILES ON)
# Directories CPack makes in the staging folder would otherwise follow the
# umask of whoever runs it.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: worked out by dpkg-shlibdeps from the libraries the game links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
configure_file(${CMAKE_SOURCE_DIR}/packaging/lobby/cpack.cmake.in ${CMAKE_BINARY_DIR}/CPackLobbyConfig.cmake @ONLY)
