# How the build installs: the libraries as a package for other programs, the desk as an
# application (component "desk", also packed as a Debian package by CPack).

# Installed libraries find each other in their own folder, whatever the prefix, and carry
# the project's major version in their soname.
set_target_properties(bta_host bta_panel PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  INSTALL_RPATH "$ORIGIN")

# The desk's share of the libraries: the versioned files without the development link.
if(BTA_BUILD_DESK)
  install(TARGETS bta_host bta_panel
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT desk NAMELINK_SKIP)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/bond-allocation-desk.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desk)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/bond-allocation-desk.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desk)
endif()

# Package export: find_package(BondTenderAllocation) gives BondTenderAllocation::host and ::panel.
include(CMakePackageConfigHelpers)
install(EXPORT BondTenderAllocationTargets
  NAMESPACE BondTenderAllocation::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/BondTenderAllocation)
configure_package_config_file(cmake/BondTenderAllocationConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/BondTenderAllocationConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/BondTenderAllocation)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/BondTenderAllocationConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/BondTenderAllocationConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/BondTenderAllocationConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/BondTenderAllocation)

if(BTA_BUILD_DESK)
  include(${PROJECT_SOURCE_DIR}/cmake/DeskPackage.cmake)
endif()
