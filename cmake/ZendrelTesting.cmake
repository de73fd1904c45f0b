# GoogleTest from source: Debian's googletest package installs it under
# /usr/src/googletest; on Windows point GTEST_SOURCE_DIR at a checkout of it.
include(CTest)
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(BUILD_TESTING)
  if(EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
endif()

# zendrel_test(NAME SOURCES ... LIBS ... [LOCK resource ...] [ENV var=value ...])
# One GoogleTest program; every test in it becomes a ctest test. Discovery
# runs when ctest runs (under Wine in the cross build), not during the build.
# LOCK names the resources whose tests must not run at the same time (for
# example "settings" for the settings key, "display" for windows on screen).
function(zendrel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV;LOCK" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 240
    PROPERTIES TIMEOUT 120)
  if(T_LOCK OR T_ENV)
    # A list cannot pass through gtest_discover_tests's PROPERTIES: set the
    # locks and the environment on the discovered tests from a script that
    # ctest reads after theirs.
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
    file(WRITE ${script}
      "if(${name}_TESTS)\n"
      "  set_tests_properties(\${${name}_TESTS} PROPERTIES\n"
      "    RESOURCE_LOCK \"${T_LOCK}\" ENVIRONMENT \"${T_ENV}\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()
