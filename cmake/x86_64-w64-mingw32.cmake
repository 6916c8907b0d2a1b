# The same sources as the 32-bit build, compiled for 64-bit Windows. Only for running the tests
# under 64-bit Wine on machines whose kernel runs no 32-bit programs (and so no 32-bit Wine); what
# ships is the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARABO_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW-w64.cmake)
