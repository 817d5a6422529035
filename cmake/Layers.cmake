# Per-layer include directories: a library of layer L sees, under
# ${CMAKE_BINARY_DIR}/layers/L, links to L and to the layers cmake/layers.txt
# lets it include, and nothing else, so that an include across a forbidden
# edge fails to compile. Tests, benchmarks and fuzz targets see the whole tree.
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/layers.txt project_layer_lines REGEX "^[a-z]+:")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/layers.txt)
foreach(line IN LISTS project_layer_lines)
  string(REGEX MATCH "^([a-z]+):(.*)$" matched "${line}")
  set(layer ${CMAKE_MATCH_1})
  separate_arguments(below UNIX_COMMAND "${CMAKE_MATCH_2}")
  set(dir ${CMAKE_BINARY_DIR}/layers/${layer})
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  foreach(visible IN LISTS layer below)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${visible} ${dir}/${visible} SYMBOLIC)
  endforeach()
  set_property(GLOBAL PROPERTY PROJECT_LAYER_DIR_${layer} ${dir})
endforeach()

# layer_includes(TARGET LAYER): TARGET's sources and those who link it see LAYER's directory.
function(layer_includes target layer)
  get_property(dir GLOBAL PROPERTY PROJECT_LAYER_DIR_${layer})
  if(NOT dir)
    message(FATAL_ERROR "layer_includes(${target} ${layer}): ${layer} is not in cmake/layers.txt")
  endif()
  target_include_directories(${target} PUBLIC ${dir})
endfunction()
