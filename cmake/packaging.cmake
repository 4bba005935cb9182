# What `cmake --install` puts in place and what CPack makes of it.
set(CPACK_PACKAGE_NAME tavelo)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_VENDOR tavelo)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Nusselt number of a cylinder in cross flow, tabulated over the Reynolds number")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)

if(WIN32)
  # The 64-bit Windows build only runs the tests; the product is the 32-bit
  # program for people who just want it: tavelo.exe and the README.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    install(TARGETS tavelo RUNTIME DESTINATION .)
    install(FILES README.md DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME tavelo-1.0.0-win32)
    include(CPack)
  endif()
  return()
endif()

# Linux: the program, the viewer that plays Notepad's part and the README.
include(GNUInstallDirs)
install(TARGETS tavelo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS viewer/tavelo-cmd DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_FILE_NAME tavelo-1.0.0-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "tavelo developers <tavelo@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The viewer is a POSIX shell script; the program, linked statically
# (TAVELO_STATIC), needs nothing at all.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "dash | bash")
# A .deb installs under /usr; the archive unpacks to bin/ and share/.
set(CPACK_PACKAGING_INSTALL_PREFIX "")
set(CPACK_DEBIAN_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
