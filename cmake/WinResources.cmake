# The program's icon and version block as real Windows resources, generated from the resource
# tables in res/ (the one definition of both) by a small tool built for the build machine, then
# compiled by windres. Link the object library tarabo_win_resources into an executable to give it
# icon 128 and the version block.
enable_language(RC)

find_program(TARABO_HOST_CXX NAMES c++ g++ REQUIRED DOC "the build machine's C++ compiler")
set(winres_dir ${CMAKE_BINARY_DIR}/winres)
set(winres_sources tools/WinResources.cpp res/Tarabo_rc.cpp res/TaraboIcon.cpp framework/Resources.cpp
  framework/AfxXpm.cpp)
list(TRANSFORM winres_sources PREPEND ${CMAKE_SOURCE_DIR}/)
file(GLOB winres_headers ${CMAKE_SOURCE_DIR}/res/*.h ${CMAKE_SOURCE_DIR}/framework/*.h ${CMAKE_SOURCE_DIR}/framework/private/AfxXpm.h)

add_custom_command(
  OUTPUT ${winres_dir}/tarabo_winres
  COMMAND ${CMAKE_COMMAND} -E make_directory ${winres_dir}
  COMMAND ${TARABO_HOST_CXX} -std=c++20 -O1 -I${CMAKE_SOURCE_DIR}
          ${winres_sources} -o ${winres_dir}/tarabo_winres
  DEPENDS ${winres_sources} ${winres_headers}
  COMMENT "Building the resource generator for the build machine")
add_custom_command(
  OUTPUT ${winres_dir}/Tarabo.rc ${winres_dir}/Tarabo.ico
  COMMAND ${winres_dir}/tarabo_winres ${winres_dir}
  DEPENDS ${winres_dir}/tarabo_winres
  COMMENT "Generating the icon and version resources")

add_library(tarabo_win_resources OBJECT ${winres_dir}/Tarabo.rc)
