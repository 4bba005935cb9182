# The program as WebAssembly: tavelo.js, the module with the program in it,
# for the page (site/: index.html and its files) and for the node runner
# (tavelo-node, which holds it). Their host calls are platform_web.js.
set(web_library ${CMAKE_SOURCE_DIR}/platform/platform_web.js)
target_link_options(tavelo PRIVATE
  --js-library=${web_library}
  # One file, so that a page opened from a folder loads it as a script.
  -sSINGLE_FILE=1 -sMODULARIZE=1 -sEXPORT_NAME=createTavelo -sENVIRONMENT=web,node
  # The console read waits for a typed line without a second thread.
  -sASYNCIFY=1 -sASYNCIFY_IMPORTS=[tavelo_host_read]
  # The heap grows on demand up to 256 MiB, stack and static data included,
  # which keeps a tab under 512 MiB on a phone: larger work arrays are
  # refused (malloc answers null when growth fails) and reported as F6772.
  -sFILESYSTEM=0 -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=256MB)
set_property(TARGET tavelo APPEND PROPERTY LINK_DEPENDS ${web_library})

# The site: the page's files as they are in web/, tavelo.js, and the
# service worker that keeps them all for offline use, which names the
# release and the files (packaging.cmake installs the same list).
set(TAVELO_PAGE_FILES index.html page_host.js page.js style.css manifest.webmanifest icon.svg icon-192.png
  icon-512.png icon-maskable-512.png)
set(site ${CMAKE_BINARY_DIR}/site)
foreach(file ${TAVELO_PAGE_FILES})
  configure_file(web/${file} ${site}/${file} COPYONLY)
endforeach()
set(TAVELO_SITE_FILES ${TAVELO_PAGE_FILES} tavelo.js)
configure_file(web/sw.js ${site}/sw.js @ONLY)
add_custom_command(OUTPUT ${site}/tavelo.js
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tavelo> ${site}/tavelo.js
  DEPENDS tavelo VERBATIM)
set(runner ${CMAKE_SOURCE_DIR}/web/tavelo-node.js)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/tavelo-node
  COMMAND ${CMAKE_COMMAND} -DRUNNER=${runner} -DMODULE=$<TARGET_FILE:tavelo>
    -DOUTPUT=${CMAKE_BINARY_DIR}/tavelo-node -P ${CMAKE_SOURCE_DIR}/cmake/web_runner.cmake
  DEPENDS tavelo ${runner} ${CMAKE_SOURCE_DIR}/cmake/web_runner.cmake VERBATIM)
add_custom_target(site ALL DEPENDS ${site}/tavelo.js ${CMAKE_BINARY_DIR}/tavelo-node)
