# The files that ship (the program, tarabo-scales and, on Windows, TaraboScale.dll). The linker
# writes a map of each beside it (<file>.map), from which scripts/size-table.sh tells where its
# size comes from. On Windows each is stripped as it is linked, its debug information and symbols
# kept beside it in <file>.debug (cmake/split-debug.sh); the tests run the stripped files. The
# Debian package strips the Linux ones (CPACK_STRIP_FILES).
set(TARABO_SHIPPED_TARGETS tarabo tarabo-scales)
if(WIN32)
  list(APPEND TARABO_SHIPPED_TARGETS tarabo_scale)
endif()
foreach(target IN LISTS TARABO_SHIPPED_TARGETS)
  target_link_options(${target} PRIVATE "LINKER:-Map=$<TARGET_FILE:${target}>.map")
  if(WIN32 AND NOT TARABO_SANITIZE)
    set_property(TARGET ${target} PROPERTY CXX_LINKER_LAUNCHER
      ${PROJECT_SOURCE_DIR}/cmake/split-debug.sh ${CMAKE_OBJCOPY} ${CMAKE_STRIP})
  endif()
endforeach()
