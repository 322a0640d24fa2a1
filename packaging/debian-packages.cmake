# The four Debian packages CPack writes from a tree configured with -DRELAYKIT_DEBIAN_PACKAGE=ON
# -DCMAKE_INSTALL_PREFIX=/usr (`make package`), one per install component:
#   runtime    librelaykitN       the shared library, with its symbols file and the ldconfig trigger
#   dev        librelaykit-dev    headers, the librelayKit.so link, relaykit.pc, the CMake package
#   tools      relaykit-tools     capsheet, cmctl, oltmgr-sim, their manual pages, the bash completion
#   wireshark  relaykit-wireshark the CM dissector in Wireshark's plugin folder
# The runtime package is named after the soname (librelayKit.so.N), so a soname bump installs beside
# the old library instead of replacing it. Included by packaging/CMakeLists.txt.

set(runtime_package ${RELAYKIT_RUNTIME_PACKAGE})
set(components runtime dev tools wireshark)
set(packages ${runtime_package} librelaykit-dev relaykit-tools relaykit-wireshark)

# The package promises all three programs: the emulator needs SQLite's development files.
if(NOT TARGET oltmgr-sim)
  message(FATAL_ERROR "The Debian packages need oltmgr-sim: apt-get install -y libsqlite3-dev")
endif()

# The changelog carries the version of project() on top; a release without its entry is refused here
# rather than shipped with a changelog that names another version.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^relaykit \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with '${changelog_top}': add an entry for ${PROJECT_VERSION} on top")
endif()
# Every package carries the copyright file and the changelog; the packages are their own upstream
# (native), so the changelog is changelog.gz.
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/changelog > ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/changelog
  VERBATIM)
add_custom_target(relaykit_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
foreach(component package IN ZIP_LISTS components packages)
  install(FILES copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
endforeach()

# ---- the runtime package's control data -------------------------------------------------------
# The symbols file, made by dpkg-gensymbols from the built library and the kept list
# (packaging/librelaykitN.symbols), which records the version each symbol first appeared in. A
# package built against the library then depends on librelaykitN (>= the newest version among the
# symbols it uses). A symbol in the list that the library no longer exports stops the build (check
# level 1); a new one is added with this version (`make abi-baseline` keeps it in the list).
set(symbols_list ${CMAKE_CURRENT_SOURCE_DIR}/${runtime_package}.symbols)
if(NOT EXISTS ${symbols_list})
  message(FATAL_ERROR "${symbols_list} is missing: a new soname needs its symbols list (make abi-baseline)")
endif()
# The library staged as the runtime package lays it out, with DEBIAN/ beside it: dpkg-gensymbols
# reads it there, and dpkg-shlibdeps, finding it there for the programs, reads its symbols file.
set(runtime_stage ${CMAKE_CURRENT_BINARY_DIR}/${runtime_package})
string(REGEX REPLACE "^/" "" relative_libdir ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
set(runtime_stage_libdir ${runtime_stage}/${relative_libdir})
add_custom_command(
  OUTPUT ${runtime_stage}/DEBIAN/symbols
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${runtime_stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${runtime_stage_libdir} ${runtime_stage}/DEBIAN
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:relayKit> ${runtime_stage_libdir}/$<TARGET_SONAME_FILE_NAME:relayKit>
  COMMAND dpkg-gensymbols -p${runtime_package} -v${PROJECT_VERSION} -c1 -P${runtime_stage}
          -I${symbols_list} -O${runtime_stage}/DEBIAN/symbols
  DEPENDS relayKit ${symbols_list}
  VERBATIM)
add_custom_target(relaykit_symbols ALL DEPENDS ${runtime_stage}/DEBIAN/symbols)
# shlibs, for tools that do not read symbols files: any later version with this soname serves.
file(CONFIGURE OUTPUT ${runtime_stage}-control/shlibs
  CONTENT "librelayKit ${PROJECT_VERSION_MAJOR} ${runtime_package} (>= ${PROJECT_VERSION})\n")
# The loader's cache is refreshed by dpkg's ldconfig trigger, once per dpkg run.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${runtime_stage}/DEBIAN/symbols ${runtime_stage}-control/shlibs ${CMAKE_CURRENT_SOURCE_DIR}/triggers)
# CPack adds postinst and postrm scripts that call ldconfig to any package with a library under
# /usr/lib; the trigger does that job, so they are taken out again once the packages are written.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/drop-ldconfig-scripts.cmake)

# Binaries are stripped the way Debian strips them (dh_strip): CMake's plain strip leaves the compiler's
# .comment and .note sections, which serve nothing in an installed binary.
install(CODE [[
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(installed IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
      set(file "$ENV{DESTDIR}${installed}")
      if(file MATCHES "/bin/[^/]+$|/lib[^/]*\\.so\\.[0-9.]+$" AND NOT IS_SYMLINK "${file}")
        execute_process(COMMAND strip --remove-section=.comment --remove-section=.note "${file}"
          COMMAND_ERROR_IS_FATAL ANY)
      endif()
    endforeach()
  endif()]] ALL_COMPONENTS)

# ---- every package ------------------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_PACKAGE_NAME relaykit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE relaykit)
set(RELAYKIT_PACKAGE_MAINTAINER "relayKit maintainers <relaykit-maintainers@example.org>"
  CACHE STRING "Maintainer field of the Debian packages")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${RELAYKIT_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Depends from what the binaries link, found by dpkg-shlibdeps. The programs' librelayKit.so.1 is
# looked up in the staged runtime package, whose symbols file names the version they need.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${runtime_stage_libdir})

# ---- each package ---------------------------------------------------------------------------------
# The first line of a description is the synopsis; CPack indents the rest and turns empty lines
# into " .".
set(about_relaykit [[
relayKit is the run-time library of an OLT management stack for GPON and
XGPON access networks: an OS wrapper over POSIX threads (tasks, semaphores,
message queues, accounted memory, clocks, text output), a service layer
(service messages, tick and conveyor-belt timers, diagnostic output), the
trace and log facility, and a client of the OLT manager's CM protocol over
UDP.]])

set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "line-card runtime for GPON/XGPON OLT management stacks
${about_relaykit}

This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${runtime_package} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEV_DESCRIPTION "line-card runtime for GPON/XGPON OLT management stacks (development files)
${about_relaykit}

This package holds what building a host needs: the C headers, the
librelayKit.so link, and the pkg-config and CMake package files.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION net)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "OMCI capture converter, CM command line and OLT manager emulator
The programs that come with relayKit, a line-card runtime for GPON/XGPON
OLT management stacks: capsheet turns a capture of OMCI frames into CSV,
cmctl asks an OLT manager for one thing per run over the CM protocol, and
oltmgr-sim is an OLT manager emulator to try hosts against.")

set(CPACK_DEBIAN_WIRESHARK_PACKAGE_SECTION net)
set(CPACK_DEBIAN_WIRESHARK_PACKAGE_RECOMMENDS wireshark-common)
set(CPACK_DEBIAN_WIRESHARK_DESCRIPTION "Wireshark dissector for relayKit's CM protocol
Decodes the CM protocol between an OLT management host built on relayKit
and the OLT manager: requests, responses, alarm registrations, alarms and
events, field by field. Wireshark and tshark load it at start.")

include(CPack)
