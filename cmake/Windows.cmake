# The native Windows build, cross-compiled with MinGW-w64 (cmake/i686-w64-mingw32.cmake): no Qt, no
# icon theme, no Debian package. Included by the top-level CMakeLists.txt, which stops after it.

# Only system DLLs at run time: the compiler's own runtime is linked in.
add_link_options(-static)
# Keep to the API of the older Windows that POS terminals still run.
add_compile_definitions(_WIN32_WINNT=0x0601)

# Test programs run under Wine, in this tree's prefix (scripts/test-windows.sh makes it fresh).
# Finding the tests needs Wine too, so GoogleTest lists them when CTest runs, not at build time.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

if(TARABO_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()
