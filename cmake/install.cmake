# cmake --install build --prefix PREFIX lays the game out as
#   PREFIX/bin/vektorak                    launcher: runs the game from its data
#   PREFIX/libexec/vektorak/vektorak       the game itself
#   PREFIX/share/vektorak/                 models, pictures, vkt.txt
#   PREFIX/share/applications/vektorak.desktop
set(VEKTORAK_INSTALL_LIBEXECDIR ${CMAKE_INSTALL_LIBEXECDIR}/vektorak)
set(VEKTORAK_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/vektorak)

install(TARGETS vektorak RUNTIME DESTINATION ${VEKTORAK_INSTALL_LIBEXECDIR})
install(DIRECTORY ${VEKTORAK_DATA_DIR}/ DESTINATION ${VEKTORAK_INSTALL_DATADIR})

configure_file(${CMAKE_SOURCE_DIR}/cmake/vektorak-launcher.in ${CMAKE_BINARY_DIR}/install/vektorak @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/install/vektorak DESTINATION ${CMAKE_INSTALL_BINDIR})

# The desktop entry names the launcher by its absolute path, so it is made
# at install time, when the prefix is known.
install(CODE "
  set(VEKTORAK_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/vektorak\")
  set(VEKTORAK_ICON \"\${CMAKE_INSTALL_PREFIX}/${VEKTORAK_INSTALL_DATADIR}/menu.jpg\")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/vektorak.desktop.in
                 ${CMAKE_BINARY_DIR}/install/vektorak.desktop @ONLY)
  file(INSTALL ${CMAKE_BINARY_DIR}/install/vektorak.desktop
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
")
if(TARGET vk-modelinfo)
  install(TARGETS vk-modelinfo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
