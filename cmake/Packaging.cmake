# What application developers build against once Tarnwick is installed: a
# pkg-config file, a CMake package giving Tarnwick::tarnwick, and a Debian
# package through CPack.
include(CMakePackageConfigHelpers)

set(TARNWICK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tarnwick)
install(EXPORT TarnwickTargets NAMESPACE Tarnwick:: DESTINATION ${TARNWICK_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TarnwickConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TarnwickConfig.cmake INSTALL_DESTINATION ${TARNWICK_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TarnwickConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TarnwickConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/TarnwickConfigVersion.cmake
  DESTINATION ${TARNWICK_CMAKE_DIR} COMPONENT development)

# The .pc file locates the prefix from its own folder, so the tree can be
# installed under any prefix (cmake --install --prefix, DESTDIR, CPack).
set(TARNWICK_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH pc_to_prefix /prefix/${TARNWICK_PC_DIR} /prefix)
  string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
  set(PC_PREFIX "\${pcfiledir}/${pc_to_prefix}")
  set(PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tarnwick.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tarnwick.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tarnwick.pc DESTINATION ${TARNWICK_PC_DIR} COMPONENT development)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "Tarnwick")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Flat C interface to ISO/IEC 7816 contact smart cards, with the tarnwick tool")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Tarnwick drives a contact smart card through a reader driver library loaded at run time. "
  "The package holds the library, its public headers, the serial reader driver with its "
  "virtual cards, the tarnwick command-line tool, the PKCS #11 module with its p11-kit module "
  "file, a pkg-config file and a CMake package.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarnwick maintainers <maintainers@tarnwick.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# dpkg-shlibdeps finds what the libraries, the drivers, the module and the
# tools need; the package's own libraries are found in the build tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
