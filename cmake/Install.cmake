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
