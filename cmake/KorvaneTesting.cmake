find_package(GTest REQUIRED)
include(GoogleTest)

# korvane_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [ENV VAR=value ...] [LOCK name ...])
# One executable per area of tests; every test in it is registered with CTest. LOCK names the
# resources (such as a fixed port) that no two tests may hold at once.
function(korvane_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV;LOCK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} korvane_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  # The test locales (tests/CMakeLists.txt) are built before any test runs.
  add_dependencies(${name} korvane_test_locales)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "${ARG_ENV}" RESOURCE_LOCK "${ARG_LOCK}"
    DISCOVERY_TIMEOUT 60)
endfunction()
