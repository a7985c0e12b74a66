include(CMakePackageConfigHelpers)

install(TARGETS plinth EXPORT PlinthTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PLINTH_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinth)
install(FILES ${PLINTH_AFX_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinth/afx)
if(PLINTH_WIN32_HEADERS)
  install(FILES ${PLINTH_WIN32_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinth/win32)
endif()

set(PLINTH_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Plinth)
install(EXPORT PlinthTargets NAMESPACE Plinth:: DESTINATION ${PLINTH_CMAKE_DIR})
configure_package_config_file(cmake/PlinthConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/PlinthConfig.cmake
  INSTALL_DESTINATION ${PLINTH_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PlinthConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PlinthConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PlinthConfigVersion.cmake
        DESTINATION ${PLINTH_CMAKE_DIR})

# A prefix relative to the .pc file keeps the install tree relocatable (staged installs,
# packages unpacked elsewhere) without pkg-config's --define-prefix.
file(RELATIVE_PATH PLINTH_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" PLINTH_PC_TO_PREFIX "${PLINTH_PC_TO_PREFIX}")
configure_file(cmake/plinth.pc.in ${CMAKE_CURRENT_BINARY_DIR}/plinth.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/plinth.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
