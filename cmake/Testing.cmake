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

# project_test(NAME SOURCES... [LIBS libs...] [LABELS labels...] [TSAN gtest-filter])
# Natively every test case is its own ctest entry; under Wine the whole
# binary is one entry, so that Wine starts once per binary.
# LABELS go on every entry of the binary: `realtime` where its cases wait on
# real time or the wire's timing (make check leaves those out, the suites run
# them many at once).
# TSAN names the cases that run under the thread sanitizer as a gtest filter
# ("*" for all of them): those entries also get the label `tsan`, and the
# binary is one of the tsan build's targets (tsan_tests). This is the only
# list of what the thread sanitizer runs.
function(project_test name)
  cmake_parse_arguments(PT "" "TSAN" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${PT_SOURCES})
  project_warnings(${name})
  target_link_libraries(${name} PRIVATE ${PT_LIBS} GTest::gtest_main GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    if(PT_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${PT_LABELS}")
    endif()
  elseif(PT_TSAN)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 TEST_FILTER "${PT_TSAN}"
      PROPERTIES LABELS "tsan;${PT_LABELS}")
    if(NOT PT_TSAN STREQUAL "*")
      project_discover_rest(${name} "-${PT_TSAN}" "${PT_LABELS}")
    endif()
    set_property(GLOBAL APPEND PROPERTY PROJECT_TSAN_TARGETS ${name})
  else()
    project_discover_rest(${name} "" "${PT_LABELS}")
  endif()
endfunction()

function(project_discover_rest name filter labels)
  set(args DISCOVERY_TIMEOUT 30)
  if(filter)
    list(APPEND args TEST_FILTER "${filter}")
  endif()
  if(labels)
    list(APPEND args PROPERTIES LABELS "${labels}")
  endif()
  gtest_discover_tests(${name} ${args})
endfunction()

# After every project_test: the tsan build's targets, and an entry that fails
# when one of them was not built (its cases would be missing, not failing).
function(project_tsan_targets)
  get_property(targets GLOBAL PROPERTY PROJECT_TSAN_TARGETS)
  add_custom_target(tsan_tests DEPENDS ${targets})
  if(CMAKE_CROSSCOMPILING)
    return()
  endif()
  set(files)
  foreach(target IN LISTS targets)
    list(APPEND files $<TARGET_FILE:${target}>)
  endforeach()
  add_test(NAME tsan_targets_built
    COMMAND ${CMAKE_COMMAND} "-DFILES=${files}" -P ${PROJECT_SOURCE_DIR}/cmake/files_exist.cmake)
  set_tests_properties(tsan_targets_built PROPERTIES LABELS tsan)
endfunction()
