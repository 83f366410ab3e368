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
# shares. Its p11-kit module file names the module by its installed path and
# goes where p11-kit reads module files: for the system prefixes (/usr, and
# cmake's default /usr/local) the p11_module_configs folder of p11-kit-1
# itself; for any other prefix <prefix>/share/p11-kit/modules, which p11-kit
# reads only when told (docs/user-guide.md). TARNWICK_P11_MODULE_CONFIGS
# names another folder, e.g. ~/.config/pkcs11/modules for one user.
if(TARGET tarnwick_pkcs11)
  install(TARGETS tarnwick_pkcs11
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  if(NOT WIN32)
    pkg_get_variable(P11KIT_MODULE_CONFIGS p11-kit-1 p11_module_configs)
    set(TARNWICK_P11_MODULE_CONFIGS "" CACHE PATH
        "Folder for tarnwick.module (empty: p11-kit's own for /usr and /usr/local, else <prefix>/share/p11-kit/modules)")
    install(CODE "
      set(module_dir \"${TARNWICK_P11_MODULE_CONFIGS}\")
      if(NOT module_dir)
        if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr(/local)?/?$\")
          set(module_dir \"${P11KIT_MODULE_CONFIGS}\")
        else()
          set(module_dir \"\${CMAKE_INSTALL_PREFIX}/share/p11-kit/modules\")
          message(STATUS \"p11-kit reads \${module_dir} only when told: see docs/user-guide.md\")
        endif()
      endif()
      set(module_file \"\$ENV{DESTDIR}\${module_dir}/tarnwick.module\")
      message(STATUS \"Installing: \${module_file}\")
      file(WRITE \"\${module_file}\"
        \"# The Tarnwick smart card module (docs/pkcs11.md)\\nmodule: \${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:tarnwick_pkcs11>\\n\")"
      COMPONENT runtime)
  endif()
endif()
