# `cpack -G DEB` in the build folder: a Debian package of the desk alone (component
# "desk": the program, its two libraries, the menu entry and the icon), installed under
# /usr. The libraries' dependencies are found by dpkg-shlibdeps; the Chinese texts of
# Qt's own dialogs come from qttranslations5-l10n, and libpq5, which the desk loads only
# for a team server, is named by hand.
set(CPACK_PACKAGE_NAME bond-allocation-desk)
set(CPACK_PACKAGE_VENDOR "Bond desk tools")
set(CPACK_PACKAGE_CONTACT "bond-desk-tools@localhost")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Bond tender allocation desk")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};desk;/")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_BINARY_DIR}/src/Host;${CMAKE_BINARY_DIR}/src/Ui/PanelBondTenderAllocation")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qttranslations5-l10n, libpq5")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Allocates the won volume of an executed bond tender over
underwriters, products, tender positions and trading accounts, and keeps the
allocations in a SQLite file in the user's data folder.")
set(CPACK_STRIP_FILES ON)
include(CPack)
