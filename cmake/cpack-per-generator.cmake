# CPack reads this once per generator: the .deb takes the lintian overrides,
# the archive LICENSE, and both the files without a component.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(extra debian)
else()
  set(extra archive)
endif()
list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build)
set(CPACK_INSTALL_CMAKE_PROJECTS "${build};tavelo;Unspecified;/;${build};tavelo;${extra};/")
