# The client library's C++ interface header (firebird/Interface.h and the ibase.h it
# includes) for the backup service client. Linux finds them in /usr/include. The Windows
# cross-build gets a folder of links to just these two, so nothing else of the Linux headers
# can take the place of mingw's own.
function(velmar_use_firebird_headers target)
  if(NOT CMAKE_CROSSCOMPILING)
    return()
  endif()
  set(folder ${CMAKE_BINARY_DIR}/firebird-include)
  if(NOT EXISTS /usr/include/firebird/Interface.h OR NOT EXISTS /usr/include/ibase.h)
    message(FATAL_ERROR "firebird/Interface.h not found: install firebird-dev")
  endif()
  file(MAKE_DIRECTORY ${folder})
  file(CREATE_LINK /usr/include/firebird ${folder}/firebird SYMBOLIC)
  file(CREATE_LINK /usr/include/ibase.h ${folder}/ibase.h SYMBOLIC)
  target_include_directories(${target} PRIVATE ${folder})
endfunction()
