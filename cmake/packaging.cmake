# What `cmake --install` puts in place and what CPack makes of it. Every
# package carries stripped programs; the version is the project's, marked
# when the packages come from a checkout with uncommitted changes
# (scripts/release.sh --allow-modified gives +modified).
set(TAVELO_VERSION_SUFFIX "" CACHE STRING "Appended to the packages' version")
set(TAVELO_PACKAGE_VERSION ${PROJECT_VERSION}${TAVELO_VERSION_SUFFIX})
set(CPACK_PACKAGE_NAME tavelo)
set(CPACK_PACKAGE_VERSION ${TAVELO_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "the tavelo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Nusselt number of a cylinder in cross flow, tabulated over the Reynolds number")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-per-generator.cmake)
set(CPACK_TAVELO_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # The 64-bit Windows build only runs the tests; the product is the 32-bit
  # program for people who just want it: tavelo.exe, the README and the
  # license.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    install(TARGETS tavelo RUNTIME DESTINATION .)
    install(FILES README.md LICENSE DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME tavelo-${TAVELO_PACKAGE_VERSION}-win32)
    include(CPack)
  endif()
  return()
endif()

# The web page: a folder with index.html and its files, for any static
# file server or a folder opened in a browser.
if(EMSCRIPTEN)
  set(page tavelo-${TAVELO_PACKAGE_VERSION}-web)
  list(TRANSFORM TAVELO_PAGE_FILES PREPEND web/ OUTPUT_VARIABLE page_files)
  install(FILES ${page_files} ${CMAKE_BINARY_DIR}/site/sw.js $<TARGET_FILE:tavelo>
    DESTINATION ${page})
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${page})
  include(CPack)
  return()
endif()

# Linux: the program, the viewer that plays Notepad's part, their manual
# pages and the documents. The .deb carries the license as its copyright
# file (with the lintian overrides); the archive carries LICENSE itself.
include(GNUInstallDirs)
set(TAVELO_MAINTAINER
  "the tavelo developers <maintainers@users.noreply.c-seed-0a77c163.example>")
set(packaging ${CMAKE_BINARY_DIR}/packaging)

# Manual pages and the changelog go out compressed, without a name or time
# in the gzip header.
function(tavelo_gzip source name)
  configure_file(${source} ${packaging}/${name} @ONLY)
  execute_process(COMMAND gzip -9nc ${packaging}/${name} OUTPUT_FILE ${packaging}/${name}.gz
    COMMAND_ERROR_IS_FATAL ANY)
endfunction()
tavelo_gzip(packaging/tavelo.1.in tavelo.1)
tavelo_gzip(packaging/tavelo-cmd.1.in tavelo-cmd.1)
tavelo_gzip(packaging/tavelo.pt_BR.1.in tavelo.pt_BR.1)
tavelo_gzip(packaging/changelog.in changelog)

# The machine-readable copyright file, its license text taken from LICENSE.
file(READ LICENSE license)
string(REGEX REPLACE "^MIT License\n\n[^\n]*\n\n" "" license "${license}")
string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
string(REGEX REPLACE "\n([^\n])" "\n \\1" license " ${license}")
file(WRITE ${packaging}/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: tavelo\n\n"
  "Files: *\nCopyright: 2026 the tavelo developers\nLicense: Expat\n${license}")

install(TARGETS tavelo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS viewer/tavelo-cmd DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaging}/tavelo.1.gz ${packaging}/tavelo-cmd.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# tavelo(1) in Brazilian Portuguese, for man under a pt_BR locale.
install(FILES ${packaging}/tavelo.pt_BR.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/pt_BR/man1
  RENAME tavelo.1.gz)
# The README shows its picture by a link relative to itself.
install(FILES README.md ${packaging}/changelog.gz ${packaging}/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES docs/notepad.png docs/web-page.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT archive)
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME tavelo COMPONENT debian)

set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_FILE_NAME tavelo-${TAVELO_PACKAGE_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A cross build's .deb is for its target, not for the machine building it.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL aarch64)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAVELO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "tavelo evaluates the Zukauskas correlation for forced convection from a
circular cylinder in cross flow, Nu = C Re^m Pr^n (Pr/Prs)^(1/4), for the
Reynolds numbers 1, 2, 4, ... 2^(N-1). It asks for Prs, Pr and N in
Portuguese, writes the table to resultados.txt and shows it, as the 32-bit
Windows program it rebuilds does, byte for byte.
.
tavelo-cmd shows the table in place of cmd.exe and Notepad: in the user's
editor, with xdg-open under a display, or in a pager.")
# tavelo is linked statically and tavelo-cmd is a POSIX shell script: no
# dependencies. tavelo-cmd pages with less when there is no editor or
# display, and opens the table on a desktop with xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS less)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xdg-utils)
# A .deb installs under /usr; the archive unpacks to bin/ and share/.
set(CPACK_PACKAGING_INSTALL_PREFIX "")
set(CPACK_DEBIAN_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
