# CPack reads this once per generator.

# Every packaged file carries the time of the last commit, unless
# SOURCE_DATE_EPOCH gives one: the same commit packs into the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY "${CPACK_TAVELO_SOURCE_DIR}"
    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed
    ERROR_QUIET)
  if(NOT failed)
    set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
  endif()
endif()

# Linux: the .deb takes the lintian overrides, the archive LICENSE, and both
# the files without a component.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(extra debian)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  set(extra archive)
else()
  return()
endif()
list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build)
set(CPACK_INSTALL_CMAKE_PROJECTS "${build};tavelo;Unspecified;/;${build};tavelo;${extra};/")
