# Run by CPack on the staged tree before the package is made (CPACK_PRE_BUILD_SCRIPTS).
# Only the Debian package is finished here: stripped programs, compressed pages.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(stage ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
if(NOT IS_DIRECTORY ${stage}/bin)
  message(FATAL_ERROR "no staged bin/ in ${stage}")
endif()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}")
  endif()
endfunction()

foreach(program torvik brevan-pack receiver-sim)
  run(strip --strip-unneeded --remove-section=.comment --remove-section=.note ${stage}/bin/${program})
endforeach()

# brevan = bare program + overlay: strip the bare one, then append the demo set again.
set(work ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/../brevan-finish)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
run(strip --strip-unneeded --remove-section=.comment --remove-section=.note -o ${work}/brevan-bare ${CPACK_BT_BARE})
file(GLOB demo_bins ${CPACK_BT_DEMO_DIR}/demo-slot*.bin)
list(LENGTH demo_bins count)
if(NOT count EQUAL 10)
  message(FATAL_ERROR "expected the ten demo images in ${CPACK_BT_DEMO_DIR}, found ${count}")
endif()
# The names sort by slot: demo-slot0-... to demo-slot9-...
list(SORT demo_bins)
run(${CPACK_BT_PACK} --program ${work}/brevan-bare --out ${stage}/bin/brevan ${demo_bins})
file(REMOVE_RECURSE ${work})

# Debian keeps man pages and the changelog compressed, without a time stamp.
file(GLOB pages ${stage}/share/man/man1/*.1)
foreach(page IN LISTS pages)
  run(gzip -9nf ${page})
endforeach()
set(docs ${stage}/share/doc/${CPACK_PACKAGE_NAME})
configure_file(${CPACK_BT_CHANGELOG} ${docs}/changelog @ONLY)
run(gzip -9nf ${docs}/changelog)
