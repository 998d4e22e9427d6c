# Files under data/ in the source tree are copied into the game's working
# directory at every build; generated artwork is written there by tools/.
file(GLOB VEKTORAK_DATA_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
set(VEKTORAK_DATA_OUTPUTS)
foreach(f ${VEKTORAK_DATA_FILES})
  get_filename_component(name ${f} NAME)
  add_custom_command(OUTPUT ${VEKTORAK_DATA_DIR}/${name}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different ${f} ${VEKTORAK_DATA_DIR}/${name}
                     DEPENDS ${f} VERBATIM)
  list(APPEND VEKTORAK_DATA_OUTPUTS ${VEKTORAK_DATA_DIR}/${name})
endforeach()
add_custom_target(vektorak_data ALL DEPENDS ${VEKTORAK_DATA_OUTPUTS})
add_dependencies(vektorak vektorak_data)
