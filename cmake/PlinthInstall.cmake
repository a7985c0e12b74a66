include(CMakePackageConfigHelpers)

# Three install components, one package each: "runtime" is what programs need to run (the
# versioned library and its SONAME link, on Windows the DLL), "development" what building
# against the library needs, "tools" the plinth host.
install(TARGETS plinth EXPORT PlinthTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PLINTH_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinth
        COMPONENT development)
install(FILES ${PLINTH_AFX_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinth/afx
        COMPONENT development)
if(PLINTH_WIN32_HEADERS)
  install(FILES ${PLINTH_WIN32_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinth/win32
          COMPONENT development)
endif()

set(PLINTH_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Plinth)
install(EXPORT PlinthTargets NAMESPACE Plinth:: DESTINATION ${PLINTH_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(cmake/PlinthConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/PlinthConfig.cmake
  INSTALL_DESTINATION ${PLINTH_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PlinthConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PlinthConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PlinthConfigVersion.cmake
        DESTINATION ${PLINTH_CMAKE_DIR} COMPONENT development)

# A prefix relative to the .pc file keeps the install tree relocatable (staged installs,
# packages unpacked elsewhere) without pkg-config's --define-prefix. The system prefix of the
# packages is written as it is, so that compile lines show /usr/include rather than a walk up
# from the pkgconfig folder.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(PLINTH_PC_PREFIX /usr)
else()
  file(RELATIVE_PATH PLINTH_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" PLINTH_PC_TO_PREFIX "${PLINTH_PC_TO_PREFIX}")
  set(PLINTH_PC_PREFIX "\${pcfiledir}/${PLINTH_PC_TO_PREFIX}")
endif()
configure_file(cmake/plinth.pc.in ${CMAKE_CURRENT_BINARY_DIR}/plinth.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/plinth.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT development)
