# The core's tests in virtual time, for a build of the core alone (ORV_CORE_ONLY): the cross build
# for Windows, which builds GoogleTest from its sources (GTEST_SOURCE_DIR, /usr/src/googletest on
# Debian) with the same compiler. Run with ctest, through CMAKE_CROSSCOMPILING_EMULATOR when
# there is one.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(ORV_TESTS_DIR ${PROJECT_SOURCE_DIR}/tests)
add_library(orv_test_support STATIC ${ORV_TESTS_DIR}/support/fake_port.cpp)
target_link_libraries(orv_test_support PUBLIC orv_core)
target_include_directories(orv_test_support PUBLIC ${ORV_TESTS_DIR}/support)

file(GLOB ORV_CORE_TEST_SOURCES CONFIGURE_DEPENDS ${ORV_TESTS_DIR}/core/*.cpp)
add_executable(orv_core_tests ${ORV_CORE_TEST_SOURCES})
target_link_libraries(orv_core_tests PRIVATE orv_test_support gtest_main)
add_test(NAME orv_core_tests COMMAND orv_core_tests)
