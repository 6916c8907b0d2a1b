# The native Windows build, cross-compiled with MinGW-w64 (cmake/i686-w64-mingw32.cmake): no Qt, no
# icon theme, no Debian package. Included by the top-level CMakeLists.txt, which stops after it.

# Only system DLLs at run time: the compiler's own runtime is linked in.
add_link_options(-static)
# Keep to the API of the older Windows that POS terminals still run.
add_compile_definitions(_WIN32_WINNT=0x0601)

# The framework's Win32 backend, then the scale control over it.
add_subdirectory(framework)
add_subdirectory(opos)
# tarabo-scales.exe, the console companion.
add_subdirectory(scales-tool)

include(${PROJECT_SOURCE_DIR}/cmake/TaraboCore.cmake)

# Icon 128 and the version block as resources: the object library tarabo_win_resources.
include(${CMAKE_CURRENT_LIST_DIR}/WinResources.cmake)

# A GUI-subsystem program entered through WinMain. It hosts whatever control the machine has
# registered under the scale control's class id: linking our own control in would publish it in
# the process and hide the vendor's.
add_executable(tarabo WIN32 framework/win32/WinMain.cpp)
target_link_libraries(tarabo PRIVATE tarabo_core tarabo_win_resources)
set_target_properties(tarabo PROPERTIES OUTPUT_NAME Tarabo)

# Test programs run under Wine, in this tree's prefix (scripts/test-windows.sh makes it fresh).
# Finding the tests needs Wine too, so GoogleTest lists them when CTest runs, not at build time.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# The installer and the zip, once the program's target exists.
include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake)
add_dependencies(windows_shipped tarabo-scales)

# The benchmarks under Wine, built only when asked for (the target windows_bench).
add_subdirectory(bench/win32 EXCLUDE_FROM_ALL)

if(TARABO_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()
