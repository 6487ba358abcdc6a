# Native 32-bit Linux build with clang: the same flags as linux-i686.cmake,
# for what needs clang's sanitizer and libFuzzer runtimes.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
include(${CMAKE_CURRENT_LIST_DIR}/linux-i686.cmake)
