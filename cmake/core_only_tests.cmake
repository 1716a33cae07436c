# The core's tests in virtual time, for a build of the core alone (ORV_CORE_ONLY): the cross build
# for Windows, which builds GoogleTest from its sources (GTEST_SOURCE_DIR, /usr/src/googletest on
# Debian) with the same compiler. Run with ctest, through CMAKE_CROSSCOMPILING_EMULATOR when
# there is one.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(GoogleTest)
include(${PROJECT_SOURCE_DIR}/tests/core_tests.cmake)
