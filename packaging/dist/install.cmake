# What `make install` and `make dist` put where, and the packages CPack makes:
# natively a Debian package of the terminal programs and their man pages, in
# the cross build a zip of the Windows programs. The version is the project's.
set(dist_dir ${PROJECT_SOURCE_DIR}/packaging/dist)
set(dist_doc_dir share/doc/brevan-torvik)
# The packages install from a build that has only what they hold (make dist,
# the package tests): installing must not first build every test.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Texts for Windows users get CRLF line ends whatever the checkout has; the
# read-me keeps its UTF-8 byte order mark, for Notepad.
set(dist_text_dir ${CMAKE_BINARY_DIR}/dist-text)
configure_file(${dist_dir}/gprscdmaset.ini ${dist_text_dir}/gprscdmaset.ini @ONLY NEWLINE_STYLE CRLF)

if(WIN32)
  configure_file(${dist_dir}/README-win.txt ${dist_text_dir}/README.txt @ONLY NEWLINE_STYLE CRLF)
  # The shipped Brevan.exe carries the demo overlay, as the Wine tests run it.
  install(PROGRAMS ${BREVAN_SHIPPED} DESTINATION .)
  install(TARGETS torvik RUNTIME DESTINATION .)
  install(FILES ${dist_text_dir}/gprscdmaset.ini ${dist_text_dir}/README.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME brevan-torvik-${PROJECT_VERSION}-win64)
else()
  install(PROGRAMS ${BREVAN_SHIPPED} DESTINATION bin)
  install(TARGETS torvik brevan-pack receiver-sim RUNTIME DESTINATION bin)
  install(FILES
    ${PROJECT_SOURCE_DIR}/packaging/man/brevan.1
    ${PROJECT_SOURCE_DIR}/packaging/man/torvik.1
    ${PROJECT_SOURCE_DIR}/packaging/man/brevan-pack.1
    ${PROJECT_SOURCE_DIR}/packaging/man/receiver-sim.1
    DESTINATION share/man/man1)
  install(FILES ${dist_text_dir}/gprscdmaset.ini ${dist_dir}/copyright DESTINATION ${dist_doc_dir})

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brevan and Torvik developers <brevan-torvik@packages.example.org>")
  set(CPACK_DEBIAN_PACKAGE_SECTION comm)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the text under it.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "brevan upgrades the firmware of the cellular modem board inside a GNSS\n"
    "surveying receiver over its RS-232 port, torvik writes the board's\n"
    "production settings. brevan-pack appends firmware images to the updater\n"
    "and receiver-sim simulates the receiver on a pseudo-terminal.\n"
    ".\n"
    "The firmware built into this brevan is a generated demo set, not real\n"
    "firmware.")
  # Debian's own finishing of the staged tree: stripped programs (brevan packed
  # again around its stripped bare program, since its overlay trails the ELF
  # file), man pages and the changelog compressed.
  set(CPACK_PRE_BUILD_SCRIPTS ${dist_dir}/deb_finish.cmake)
  set(CPACK_BT_BARE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/brevan-bare)
  set(CPACK_BT_PACK ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/brevan-pack)
  set(CPACK_BT_DEMO_DIR ${BREVAN_DEMO_DIR})
  set(CPACK_BT_CHANGELOG ${dist_dir}/changelog)
endif()

set(CPACK_PACKAGE_NAME brevan-torvik)
set(CPACK_PACKAGE_VENDOR "Brevan and Torvik developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware and settings tools for a GNSS receiver's modem board")
set(CPACK_STRIP_FILES OFF)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
