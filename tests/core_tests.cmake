# Core tests: settings, encodings, file formats, the operations in virtual time, SMS text. No
# widgets, no Qt: the same list builds natively and, for Windows, with MinGW-w64 (the core alone,
# cmake/core_only_tests.cmake).
# Shared test doubles: a scripted device behind a port, in virtual time, the sample record and
# temporary folders. Plain C++, like the core tests that need them.
set(ORV_TESTS_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(orv_test_support STATIC ${ORV_TESTS_DIR}/support/fake_port.cpp
  ${ORV_TESTS_DIR}/support/sample_record.cpp ${ORV_TESTS_DIR}/support/test_support.cpp)
target_link_libraries(orv_test_support PUBLIC orv_core)
target_include_directories(orv_test_support PUBLIC ${ORV_TESTS_DIR}/support)

file(GLOB ORV_CORE_TEST_SOURCES CONFIGURE_DEPENDS ${ORV_TESTS_DIR}/core/*.cpp)
if(WIN32)
  # The CSV unit and the support bundle are not in the Windows build of the core.
  list(FILTER ORV_CORE_TEST_SOURCES EXCLUDE REGEX "csv[a-z_]*_test\\.cpp$")
  list(FILTER ORV_CORE_TEST_SOURCES EXCLUDE REGEX "support_bundle_test\\.cpp$")
endif()
add_executable(orv_core_tests ${ORV_CORE_TEST_SOURCES})
target_link_libraries(orv_core_tests PRIVATE orv_test_support GTest::gtest_main)
# Kept outputs the tests compare with (the transcript of every operation's exchange) and sample
# files written by spreadsheets and the like.
target_compile_definitions(orv_core_tests PRIVATE ORV_TEST_DATA_DIR="${ORV_TESTS_DIR}/data")
if(CMAKE_CROSSCOMPILING)
  # One test a program: listing the tests would run the cross-built program at build time.
  add_test(NAME orv_core_tests COMMAND orv_core_tests)
else()
  # Processor-bound: one "cpu" resource each (scripts/test.sh).
  gtest_discover_tests(orv_core_tests DISCOVERY_TIMEOUT 60 PROPERTIES RESOURCE_GROUPS cpu:1)
endif()
