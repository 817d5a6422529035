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

# project_test(NAME SOURCES... [LIBS libs...] [LABELS labels...] [REALTIME [NOT_REALTIME cases...]]
#              [TSAN gtest-filter] [COST seconds])
# Natively every test case is its own ctest entry; under Wine the whole
# binary is one entry, so that Wine starts once per binary.
# LABELS go on every entry of the binary. REALTIME: its cases wait on real
# time or the wire's timing and get the label `realtime` (make check leaves
# them out, the suites run them many at once), except the full gtest names
# listed in NOT_REALTIME (refusals that end before the line is used).
# TSAN names the cases that run under the thread sanitizer as a gtest filter
# ("*" for all of them): those entries also get the label `tsan`, and the
# binary is one of the tsan build's targets (tsan_tests). This is the only
# list of what the thread sanitizer runs.
# COST: about how long its longest case takes. A fresh tree's ctest knows no
# times and starts tests in their order; the long real-time ones would start
# last and end the suite alone. With a cost they start first.
function(project_test name)
  cmake_parse_arguments(PT "REALTIME" "TSAN;COST" "SOURCES;LIBS;LABELS;NOT_REALTIME" ${ARGN})
  add_executable(${name} ${PT_SOURCES})
  project_warnings(${name})
  target_link_libraries(${name} PRIVATE ${PT_LIBS} GTest::gtest_main GTest::gmock)
  if(TARGET test_precompiled)
    target_precompile_headers(${name} REUSE_FROM test_precompiled)
  endif()
  set(labels ${PT_LABELS})
  set(timed ${PT_LABELS})
  if(PT_REALTIME)
    list(APPEND timed realtime)
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    if(timed)
      set_tests_properties(${name} PROPERTIES LABELS "${timed}")
    endif()
    if(PT_COST)
      set_tests_properties(${name} PROPERTIES COST ${PT_COST})
    endif()
    return()
  endif()
  if(PT_TSAN)
    set_property(GLOBAL APPEND PROPERTY PROJECT_TSAN_TARGETS ${name})
  endif()
  if(PT_COST)
    set_property(TARGET ${name} PROPERTY PROJECT_TEST_COST ${PT_COST})
  endif()
  # One discovery per part, each with its labels; the parts do not overlap and
  # together hold every case. The untimed cases are plain names, so their
  # split by TSAN is worked out here.
  set(untimed_tsan)
  set(untimed_rest)
  foreach(case IN LISTS PT_NOT_REALTIME)
    project_gtest_filter_matches("${PT_TSAN}" "${case}" hit)
    if(hit)
      list(APPEND untimed_tsan ${case})
    else()
      list(APPEND untimed_rest ${case})
    endif()
  endforeach()
  list(JOIN PT_NOT_REALTIME ":" untimed)
  list(JOIN untimed_tsan ":" untimed_tsan)
  list(JOIN untimed_rest ":" untimed_rest)
  if(PT_TSAN)
    set(rest "-${PT_TSAN}")
    set(tsan_timed "${PT_TSAN}")
    if(untimed)
      string(APPEND rest ":${untimed}")
      string(APPEND tsan_timed "-${untimed}")
    endif()
    project_discover(${name} "${tsan_timed}" "tsan;${timed}")
    project_discover(${name} "${untimed_tsan}" "tsan;${labels}")
    if(NOT PT_TSAN STREQUAL "*")
      project_discover(${name} "${rest}" "${timed}")
    endif()
  elseif(untimed)
    project_discover(${name} "-${untimed}" "${timed}")
  else()
    project_discover(${name} "*" "${timed}")
  endif()
  project_discover(${name} "${untimed_rest}" "${labels}")
endfunction()

# The cases of a filter with the labels; nothing for an empty filter. The
# labels are set by a script ctest reads after the discovered list (the
# discovery's PROPERTIES would split a list of labels).
function(project_discover name filter labels)
  if(NOT filter)
    return()
  endif()
  get_property(done TARGET ${name} PROPERTY PROJECT_DISCOVERED_PARTS)
  if(NOT done)
    set(done 0)
  endif()
  math(EXPR part "${done} + 1")
  set_property(TARGET ${name} PROPERTY PROJECT_DISCOVERED_PARTS ${part})
  set(cases ${name}_part${part}_cases)
  set(args DISCOVERY_TIMEOUT 30 TEST_LIST ${cases})
  if(NOT filter STREQUAL "*")
    list(APPEND args TEST_FILTER "${filter}")
  endif()
  gtest_discover_tests(${name} ${args})
  list(REMOVE_ITEM labels "")
  set(properties)
  if(labels)
    string(APPEND properties " LABELS \"${labels}\"")
  endif()
  get_property(cost TARGET ${name} PROPERTY PROJECT_TEST_COST)
  if(cost)
    string(APPEND properties " COST ${cost}")
  endif()
  if(properties)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_part${part}_labels.cmake)
    file(WRITE ${script} "if(NOT \"\${${cases}}\" STREQUAL \"\")\n"
      "  set_tests_properties(\${${cases}} PROPERTIES${properties})\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()

# Whether a positive gtest filter (patterns with * and ?, joined by ":") takes
# the case; gtest names hold letters, digits, _, / and the dot.
function(project_gtest_filter_matches filter case out)
  set(${out} FALSE PARENT_SCOPE)
  string(REPLACE ":" ";" patterns "${filter}")
  foreach(pattern IN LISTS patterns)
    string(REPLACE "." "\\." regex "${pattern}")
    string(REPLACE "*" ".*" regex "${regex}")
    string(REPLACE "?" "." regex "${regex}")
    if(case MATCHES "^${regex}$")
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
  endforeach()
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
