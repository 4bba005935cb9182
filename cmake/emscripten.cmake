# Build for WebAssembly with the emscripten that emcc on PATH belongs to
# (Debian's links /usr/bin/emcc to /usr/share/emscripten/emcc).
find_program(TAVELO_EMCC emcc REQUIRED)
file(REAL_PATH ${TAVELO_EMCC} emcc)
get_filename_component(emscripten_root ${emcc} DIRECTORY)
include(${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)

# The run-time ends a failing shutdown step by an exception it catches.
set(CMAKE_CXX_FLAGS_INIT "-fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fexceptions")

# Debian's emscripten runs JavaScript tools that need Debian's node modules
# (acorn), which a node installed from elsewhere does not look for.
if(IS_DIRECTORY /usr/share/nodejs)
  set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
endif()
