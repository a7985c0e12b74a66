# Debian packages, one per install component, built with `cpack -G DEB` in a build folder
# configured with -DCMAKE_INSTALL_PREFIX=/usr (so the library lands in /usr/lib/<triplet>):
#
#   libplinth1     the shared library and its SONAME link
#   libplinth-dev  headers, CMake package, pkg-config file, the libplinth.so link
#   plinth-tools   the plinth command-line host
#
# Dependencies on shared libraries (SQLite, libcap, libacl, the C++ runtime, libplinth1 for the
# host) come from dpkg-shlibdeps. The packages built together depend on each other at exactly
# this version: the development files and the host are only known to match the library they
# were built with.

set(PLINTH_PACKAGE_MAINTAINER
    "Plinth maintainers <maintainers@users.noreply.c-seed-038d9193.example>"
    CACHE STRING "Maintainer field of the Debian packages")
set(PLINTH_PACKAGE_HOMEPAGE "https://plinth.example.org/"
    CACHE STRING "Homepage field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plinth)
set(CPACK_PACKAGE_VENDOR "Plinth maintainers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${PLINTH_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_COMPONENTS_ALL runtime development)
if(PLINTH_BUILD_TOOLS)
  list(APPEND CPACK_COMPONENTS_ALL tools)
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PLINTH_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PLINTH_PACKAGE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The runtime package is named after the SONAME (libplinth.so.1: libplinth1), as Debian's are.
get_target_property(PLINTH_SOVERSION plinth SOVERSION)
set(PLINTH_RUNTIME_PACKAGE libplinth${PLINTH_SOVERSION})
set(PLINTH_PACKAGE_EXACT "${PLINTH_RUNTIME_PACKAGE} (= ${PROJECT_VERSION})")

# The host needs the library, which it must take from the package built beside it, whether
# or not an older libplinth1 is installed on the building machine. dpkg-shlibdeps searches the
# private folder first and reads the dependency from the shlibs file of the package tree
# (the folder holding DEBIAN/) the library is found in, so the host's Depends comes out as the
# exact version every time.
set(PLINTH_SHLIBDEPS_DIR ${PROJECT_BINARY_DIR}/shlibdeps)
file(WRITE ${PLINTH_SHLIBDEPS_DIR}/DEBIAN/shlibs
     "libplinth ${PLINTH_SOVERSION} ${PLINTH_PACKAGE_EXACT}\n")
add_custom_command(TARGET plinth POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PLINTH_SHLIBDEPS_DIR}/lib
  COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_SONAME_FILE:plinth>
          ${PLINTH_SHLIBDEPS_DIR}/lib/$<TARGET_SONAME_FILE_NAME:plinth>
  VERBATIM)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PLINTH_SHLIBDEPS_DIR}/lib)

# Descriptions: the first line is the synopsis, the rest the long description. An empty
# project-wide summary keeps CPack from putting the project's description above each one.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(PLINTH_DESCRIPTION_BODY
    "Plinth is a C++ utility class library for desktop programs, written
against the Win32 API and a small MFC-style framework; on Linux a
platform layer of its own provides the Win32 services it calls. It has
a byte string, a regular-expression engine, a registry kept in SQLite,
path, file and environment helpers, program launching, a message log,
security descriptors, privileges and version queries.")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${PLINTH_RUNTIME_PACKAGE})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "C++ utility class library - shared library
${PLINTH_DESCRIPTION_BODY}
.
This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libplinth-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${PLINTH_PACKAGE_EXACT}")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SUGGESTS "cmake, pkg-config")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "C++ utility class library - development files
${PLINTH_DESCRIPTION_BODY}
.
This package holds the headers, the CMake package (find_package(Plinth))
and the pkg-config file (plinth.pc).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME plinth-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "C++ utility class library - command-line host
${PLINTH_DESCRIPTION_BODY}
.
This package holds plinth, which makes the library's services usable
from a shell: text search and replace, regular expressions, hexadecimal,
the registry, paths, file finding, environment variables, program
launching, message logs and security descriptors.")

include(CPack)
