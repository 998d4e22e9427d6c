# test_includerules.cmake: the include rules refuse a screen that reaches up
# into the application, naming the file and the include, and let the same
# tree through without it. A scratch tree, so that the real one never has to
# break; run by CTest as
#   cmake -DRULES=cmake/includerules.cmake -DSCRATCH=<folder> -P test_includerules.cmake
file(REMOVE_RECURSE ${SCRATCH})
# The application includes a screen, and the screen its host: both allowed.
file(WRITE ${SCRATCH}/app/happlication.h "#include \"screens/mmenu.h\"\n")
file(WRITE ${SCRATCH}/screens/mmenu.h "#include \"screens/hscreenhost.h\"\n")
file(WRITE ${SCRATCH}/screens/mmenu.cpp "#include \"screens/mmenu.h\"\n#include \"app/happlication.h\"\n")

function(check expectRefused)
  execute_process(COMMAND ${CMAKE_COMMAND} -DVEKTORAK_SRC=${SCRATCH} -P ${RULES}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE said)
  # CMake wraps a long message at its spaces.
  string(REGEX REPLACE "[ \n]+" " " said "${said}")
  set(named "${SCRATCH}/screens/mmenu.cpp: #include \"app/happlication.h\"")
  string(FIND "${said}" "${named}" at)
  if(expectRefused AND (rc EQUAL 0 OR at LESS 0))
    message(FATAL_ERROR "A screen including the application was not refused by name: ${rc} ${said}")
  elseif(NOT expectRefused AND NOT rc EQUAL 0)
    message(FATAL_ERROR "The same tree without the include was refused: ${said}")
  endif()
endfunction()

check(TRUE)
file(WRITE ${SCRATCH}/screens/mmenu.cpp "#include \"screens/mmenu.h\"\n")
check(FALSE)
