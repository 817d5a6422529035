# GoogleTest from Debian's source package, built with the same compiler and
# flags as the code under test (natively, under the sanitizers and for Windows).
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${GTEST_SOURCE_DIR}: run 'make setup'")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# project_test(NAME SOURCES... [LIBS libs...])
# Natively every test case is its own ctest entry; under Wine the whole
# binary is one entry, so that Wine starts once per binary.
function(project_test name)
  cmake_parse_arguments(PT "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${PT_SOURCES})
  project_warnings(${name})
  target_link_libraries(${name} PRIVATE ${PT_LIBS} GTest::gtest_main GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
  endif()
endfunction()
