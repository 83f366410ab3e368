# Installation of the library, its public headers and the reader drivers in
# the GNUInstallDirs places. The drivers go beside the library, where it
# finds them by bare name through its $ORIGIN run path.
install(TARGETS tarnwick EXPORT TarnwickTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/include/tarnwick.h ${PROJECT_SOURCE_DIR}/include/tarnwick_status.h
              ${PROJECT_SOURCE_DIR}/include/tarnwick_driver.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

install(TARGETS skorra usbskorra
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

# The PKCS #11 module goes beside the library, whose $ORIGIN run path it
# shares. Its p11-kit module file goes where p11-kit reads them (the
# p11_module_configs of p11-kit-1, under the installation prefix), naming
# the module by its installed path.
if(TARGET tarnwick_pkcs11)
  install(TARGETS tarnwick_pkcs11
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  if(NOT WIN32)
    pkg_get_variable(P11KIT_MODULE_CONFIGS p11-kit-1 p11_module_configs)
    string(REGEX REPLACE "^/usr/" "" TARNWICK_P11_MODULE_DIR "${P11KIT_MODULE_CONFIGS}")
    install(CODE "
      set(module_file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TARNWICK_P11_MODULE_DIR}/tarnwick.module\")
      message(STATUS \"Installing: \${module_file}\")
      file(WRITE \"\${module_file}\"
        \"# The Tarnwick smart card module (docs/pkcs11.md)\\nmodule: \${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:tarnwick_pkcs11>\\n\")"
      COMPONENT runtime)
  endif()
endif()
