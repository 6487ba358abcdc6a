# GoogleTest from Debian's source package (googletest), built in this build
# tree with the project's flags, and CMake's test discovery. Included once
# from the top level, before any directory whose tests use it.
include_guard(GLOBAL)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)
