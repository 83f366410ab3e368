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

# The .pc file is written when the tree is installed, with the prefix it is
# installed under (cmake --install --prefix, CPack's /usr): its paths are
# then plain absolute ones, where a path through ${pcfiledir}/../.. would
# reach an application's link line and run path as it stands.
set(TARNWICK_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(pc_staged ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/tarnwick.pc)
install(CODE "
  get_filename_component(PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  set(PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  if(NOT IS_ABSOLUTE \"\${PC_LIBDIR}\")
    set(PC_LIBDIR \"\${PC_PREFIX}/\${PC_LIBDIR}\")
  endif()
  if(NOT IS_ABSOLUTE \"\${PC_INCLUDEDIR}\")
    set(PC_INCLUDEDIR \"\${PC_PREFIX}/\${PC_INCLUDEDIR}\")
  endif()
  set(PROJECT_VERSION ${PROJECT_VERSION})
  configure_file(\"${CMAKE_CURRENT_LIST_DIR}/tarnwick.pc.in\" \"${pc_staged}\" @ONLY)
" COMPONENT development)
install(FILES ${pc_staged} DESTINATION ${TARNWICK_PC_DIR} COMPONENT development)

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
# dpkg-shlibdeps (from dpkg-dev, which build-essential brings) finds every
# library that the libraries, the drivers, the module and the tools link; the
# package's own libraries are found in the build tree. libpcsclite is not
# linked: the drivers load it only for the PC/SC readers, so it is
# recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libpcsclite1")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
