# Installation and the Debian package.
#
#   cmake --install build [--prefix DIR]     the programs, the shipped data, the guides
#   (cd build && cpack -G DEB)                halvorn-terminal_<version>_<arch>.deb
#
# The installed program keeps its data in the user's data folder and fills it
# at its first start from share/halvorn-terminal (platform/default_data_root.h).
# The stand-in access libraries are not installed: they would pose as the
# makers' libraries on the library path; the serial simulator is the demo.
include(GNUInstallDirs)

set(HALVORN_SHARE ${CMAKE_INSTALL_DATADIR}/halvorn-terminal)
set(HALVORN_DOC ${CMAKE_INSTALL_DATADIR}/doc/halvorn-terminal)

install(TARGETS halvorn_launcher halvorn-terminal halvorn-sim halvorn-lang halvorn-results
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# What the first start copies into the user's data folder.
install(FILES ${CMAKE_BINARY_DIR}/bin/demo-data/AppLanguages/terminal_de.lng DESTINATION ${HALVORN_SHARE}/AppLanguages)
file(GLOB HALVORN_GUIDES ${PROJECT_SOURCE_DIR}/docs/*.md)
list(FILTER HALVORN_GUIDES EXCLUDE REGEX "/architecture\\.md$")
install(FILES ${HALVORN_GUIDES} DESTINATION ${HALVORN_SHARE}/Docs)

# The guides where the system keeps documentation, with the examples.
install(FILES ${HALVORN_GUIDES} ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${HALVORN_DOC})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/examples DESTINATION ${HALVORN_DOC})
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(halvorn_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${HALVORN_DOC})

install(FILES ${PROJECT_SOURCE_DIR}/packaging/halvorn-terminal.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/halvorn-terminal.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halvorn-terminal)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Halvorn Terminal maintainers <maintainers@halvorn-terminal.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "terminal and test station for stepper-motor controllers")
# CPack puts the summary on the first line itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Operators type comma-separated controller commands and see every reply with\n"
    "its exchange time, check replies against expected values, and run program\n"
    "files and AutoControl scripts that drive a production test station.\n"
    "Controllers are reached over serial ports, serial device servers (raw TCP or\n"
    "RFC 2217), and the makers' access libraries for HID boards and USB\n"
    "controllers. Includes halvorn-sim, a simulated controller, halvorn-lang,\n"
    "the tool that builds language files, and halvorn-results, which answers\n"
    "questions from the station's records (units, yield, failing checks).")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs (the file dialog) in the operator's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The package's checks, each skipped (77) when its tool is missing.
if(HALVORN_TESTS)
  set(HALVORN_PACKAGE_CHECK ${PROJECT_SOURCE_DIR}/tests/packaging/check_package.sh)
  foreach(check desktop-entry install-prefix debian-package)
    add_test(NAME package.${check}
             COMMAND ${HALVORN_PACKAGE_CHECK} ${check} ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}
                     ${PROJECT_VERSION})
    set_tests_properties(package.${check} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
  endforeach()
endif()
