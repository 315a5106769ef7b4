# The Debian packages, one per install component (see packaging/install.cmake):
#   libkelvor1     component library  the shared library, named after its soname
#   libkelvor-dev  component dev      kelvor.h, the development symlink, pkg-config, CMake package,
#                                     examples, protocol description
#   kelvor-tester  component tester   the tester, its menu entry, icon and manual page
#   kelvor-tools   component tools    kelvor-sim, klv and, once it exists, kelvor-view
# Built by `cpack -G DEB` in a build configured with -DCMAKE_INSTALL_PREFIX=/usr
# (`tools/dev.sh package` does both, with Debian's hardening flags) into <build>/packages/.
# Version, revision and maintainer come from the newest entry of debian/changelog; the
# library's dependency line comes from its symbols file.

if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Debian packages: configure with -DCMAKE_INSTALL_PREFIX=/usr to build them "
                 "(tools/dev.sh package)")
  return()
endif()

set(debian_dir ${CMAKE_CURRENT_LIST_DIR}/debian)

file(STRINGS ${debian_dir}/changelog head LIMIT_COUNT 1)
if(NOT head MATCHES "^kelvor \\(([^)-]+)-([^)]+)\\) ")
  message(FATAL_ERROR "packaging/debian/changelog: no version in its first line '${head}'")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/debian/changelog starts with version ${CMAKE_MATCH_1}, the "
                      "project is ${PROJECT_VERSION}: add a changelog entry for the release")
endif()
set(revision ${CMAKE_MATCH_2})
file(STRINGS ${debian_dir}/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- (.*>)  .*$" "\\1" maintainer "${trailer}")

# libkelvor.so.1 is shipped as libkelvor1; a program needs at least the newest version that
# added a symbol (a program that loads the library itself uses them all).
get_target_property(soversion kelvor SOVERSION)
set(library_package libkelvor${soversion})
file(STRINGS ${debian_dir}/${library_package}.symbols symbols REGEX "^ ")
set(library_version 0)
foreach(line IN LISTS symbols)
  string(REGEX REPLACE "^.* ([^ ]+)$" "\\1" version "${line}")
  if(version VERSION_GREATER library_version)
    set(library_version ${version})
  endif()
endforeach()
set(library_dependency "${library_package} (>= ${library_version})")

# DEBIAN/ of libkelvor1: shlibs and symbols for the programs linking the library, and the
# trigger that refreshes the loader's cache. The same folder, with the built library beside
# it, is where dpkg-shlibdeps finds the dependency of klv (and any other linking program) while
# libkelvor1 is still being built, as it would in a debian/ tree.
set(library_root ${CMAKE_BINARY_DIR}/packaging/${library_package})
file(MAKE_DIRECTORY ${library_root}/DEBIAN ${library_root}/${CMAKE_INSTALL_LIBDIR})
file(CONFIGURE OUTPUT ${library_root}/DEBIAN/shlibs
     CONTENT "libkelvor ${soversion} ${library_dependency}\n")
configure_file(${debian_dir}/${library_package}.symbols ${library_root}/DEBIAN/symbols COPYONLY)
file(CONFIGURE OUTPUT ${library_root}/DEBIAN/triggers CONTENT "activate-noawait ldconfig\n")
get_target_property(library_dir kelvor LIBRARY_OUTPUT_DIRECTORY)
file(CREATE_LINK ${library_dir}/libkelvor.so.${soversion}
     ${library_root}/${CMAKE_INSTALL_LIBDIR}/libkelvor.so.${soversion} SYMBOLIC)

# Every package documents itself as Debian wants: copyright and changelog.Debian.gz in
# /usr/share/doc/<package>. These are installed only into the packages.
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.Debian)
set(changelog_gz ${changelog}.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E copy ${debian_dir}/changelog ${changelog}
  COMMAND ${KELVOR_GZIP} -9nf ${changelog}
  DEPENDS ${debian_dir}/changelog
  COMMENT "Compressing the Debian changelog"
  VERBATIM)
add_custom_target(kelvor-changelog ALL DEPENDS ${changelog_gz})

# kelvor_package(<component> <package> <section> <summary> <description>): the package of an
# install component, if that component has anything to install in this build.
set(CPACK_COMPONENTS_ALL "")
get_cmake_property(components COMPONENTS)
function(kelvor_package component name section summary description)
  if(NOT component IN_LIST components)
    return()  # not built (the tester without KELVOR_BUILD_TESTER)
  endif()
  string(TOUPPER ${component} c)
  set(CPACK_DEBIAN_${c}_PACKAGE_NAME ${name} PARENT_SCOPE)
  set(CPACK_DEBIAN_${c}_PACKAGE_SECTION ${section} PARENT_SCOPE)
  set(CPACK_DEBIAN_${c}_DESCRIPTION "${summary}\n${description}" PARENT_SCOPE)
  get_property(depends GLOBAL PROPERTY KELVOR_DEPENDS_${component})
  get_property(dlopeners GLOBAL PROPERTY KELVOR_DLOPENS_LIBRARY)
  if(component IN_LIST dlopeners)
    list(PREPEND depends "${library_dependency}")
  endif()
  list(JOIN depends ", " depends)
  set(CPACK_DEBIAN_${c}_PACKAGE_DEPENDS "${depends}" PARENT_SCOPE)
  set(CPACK_COMPONENTS_ALL ${CPACK_COMPONENTS_ALL} ${component} PARENT_SCOPE)
  install(FILES ${debian_dir}/copyright ${changelog_gz}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${name} COMPONENT ${component}
          EXCLUDE_FROM_ALL)
endfunction()

kelvor_package(library ${library_package} libs
  "client library for Kelvor robot controllers"
  "libkelvor speaks the wire protocol of Kelvor robot controllers over TCP and
serial lines: connect, read and write parameters, positions and variables,
command motions, read and clear errors. Its C API (klv_*) may be called from
any thread, and it needs nothing but the C and C++ runtime. Setting
KELVOR_TRACE records every call of any program using it.

This package contains the shared library.")

kelvor_package(dev libkelvor-dev libdevel
  "client library for Kelvor robot controllers - development files"
  "libkelvor speaks the wire protocol of Kelvor robot controllers over TCP and
serial lines.

This package contains what programs using the library are built with: the
header kelvor.h, the pkg-config file kelvor.pc and the CMake package Kelvor
(imported target Kelvor::kelvor), the examples in C and Python and the
description of the wire protocol.")

kelvor_package(tester kelvor-tester science
  "hand-operated tester for Kelvor robot controllers"
  "A single window with which an engineer exercises one robot controller by
hand, over Ethernet or RS-232C: identity, motor power, automatic and slave
mode, parameters, position and motions, errors, the calibration calculation
and numbered variables. Every call that fails is shown with its result code.")

set(tools_summary "virtual Kelvor robot controller and command line")
set(viewer_text "")
if(TARGET kelvor-view)
  set(tools_summary "virtual Kelvor robot controller, 3D viewer and command line")
  set(viewer_text "\n\nkelvor-view shows the arm of a controller in 3D.")
endif()
kelvor_package(tools kelvor-tools science "${tools_summary}"
  "kelvor-sim is a headless virtual controller serving the Kelvor protocol on
loopback TCP, a pseudo-terminal or a serial port, with fault injection for
every failure path.${viewer_text}

klv calls any function of the controller library by name, for checking a
controller from a terminal and scripting a cell.")

set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${library_package} (= ${PROJECT_VERSION}-${revision})")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
    ${library_root}/DEBIAN/shlibs ${library_root}/DEBIAN/symbols ${library_root}/DEBIAN/triggers)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME kelvor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${revision})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE kelvor)
set(CPACK_PACKAGE_CONTACT "${maintainer}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${library_root}/${CMAKE_INSTALL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
