# win32_dialog_program(TARGET MAIN main.cpp RC resources/x.rc MANIFEST resources/x.manifest
#                      ICON x.ico ABOUT "the updater" [OUTPUT_NAME Name] LIBS libs...)
# A program's Win32 executable: a GUI program (no console, wide entry point) whose resource
# script takes the manifest and an icon drawn from resources/make_icon.py at build time.
# Paths are relative to the calling directory.
function(win32_dialog_program target)
  cmake_parse_arguments(WDP "" "MAIN;RC;MANIFEST;ICON;ABOUT;OUTPUT_NAME" "LIBS" ${ARGN})
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(icon ${CMAKE_CURRENT_BINARY_DIR}/${WDP_ICON})
  set(icon_script ${CMAKE_CURRENT_SOURCE_DIR}/resources/make_icon.py)
  add_custom_command(OUTPUT ${icon}
    COMMAND Python3::Interpreter ${icon_script} ${icon}
    DEPENDS ${icon_script} ${PROJECT_SOURCE_DIR}/cmake/icon_writer.py
    COMMENT "Drawing ${WDP_ABOUT}'s icon" VERBATIM)
  add_executable(${target} WIN32 ${WDP_MAIN} ${WDP_RC})
  if(WDP_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${WDP_OUTPUT_NAME})
  endif()
  set_source_files_properties(${WDP_RC} PROPERTIES OBJECT_DEPENDS
    "${icon};${CMAKE_CURRENT_SOURCE_DIR}/${WDP_MANIFEST}")
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
  target_link_libraries(${target} PRIVATE ${WDP_LIBS} framework_win32_host)
  target_link_options(${target} PRIVATE -municode)
endfunction()
