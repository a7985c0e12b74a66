# The `docs` target: the HTML API reference from the public headers, with Doxygen. Any warning
# (an undocumented export, a broken reference) fails it. Not part of the default build.
find_package(Doxygen QUIET)
if(DOXYGEN_FOUND)
  set(PLINTH_DOCS_OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/docs)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/docs/Doxyfile.in ${PLINTH_DOCS_OUTPUT}/Doxyfile @ONLY)
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PLINTH_DOCS_OUTPUT}
    COMMAND Doxygen::doxygen ${PLINTH_DOCS_OUTPUT}/Doxyfile
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    COMMENT "Generating the API reference in ${PLINTH_DOCS_OUTPUT}/html"
    VERBATIM)
  # Shipped with the development files when it has been built (the package check builds it).
  install(DIRECTORY ${PLINTH_DOCS_OUTPUT}/html/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libplinth-dev/html
          COMPONENT development OPTIONAL)
else()
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E echo "docs: Doxygen not found; install the doxygen package"
    COMMAND ${CMAKE_COMMAND} -E false)
endif()

# The reference is part of what the suite checks: no warning, and every public class indexed.
if(PLINTH_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
  if(DOXYGEN_FOUND)
    add_test(NAME plinth_reference
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check-reference.sh
              ${PLINTH_DOCS_OUTPUT}/Doxyfile ${PLINTH_DOCS_OUTPUT} ${CMAKE_CURRENT_SOURCE_DIR})
  else()
    message(WARNING "Doxygen not found: the API reference is not checked (install doxygen)")
  endif()
endif()
