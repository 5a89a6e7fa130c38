# velmar_add_test(<name> SOURCES <files...> [LIBS <libs...>] [FIREBIRD] [DISPLAY]
#                 [LABELS <labels...>] [TIMEOUT <seconds>])
#
# One GoogleTest executable = one CTest test. On the Windows build CTest runs it through
# Wine (the toolchain's emulator).
#   FIREBIRD  needs the private Firebird server (fixture "firebird"; under Wine the test
#             reaches the host's server and tools); the test finds it through VELMAR_FB_DIR
#             (port in $VELMAR_FB_DIR/port, password in $VELMAR_FB_DIR/password).
#   DISPLAY   needs the test X server with a window manager (fixture "display"); DISPLAY is
#             set for the test from $VELMAR_TEST_DISPLAY_FILE.
set(VELMAR_FB_DIR ${CMAKE_BINARY_DIR}/fbserver CACHE INTERNAL "")
set(VELMAR_DISPLAY_DIR ${CMAKE_BINARY_DIR}/xdisplay CACHE INTERNAL "")

function(velmar_add_test name)
  cmake_parse_arguments(T "FIREBIRD;DISPLAY" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set(launcher)
  if(T_DISPLAY)
    set(launcher ${CMAKE_SOURCE_DIR}/tools/with-test-display ${VELMAR_DISPLAY_DIR})
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${launcher} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${launcher} $<TARGET_FILE:${name}>)
  endif()
  set(fixtures)
  if(T_FIREBIRD)
    list(APPEND fixtures firebird)
  endif()
  if(T_DISPLAY)
    list(APPEND fixtures display)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  # Tests against the server load the Firebird client library, whose own threads may still be
  # ending when the process exits; the leak checker's stop-the-world then crashes now and then
  # although every test passed. Leaks stay checked in all the other tests of the same code.
  set(leaks 1)
  if(T_FIREBIRD)
    set(leaks 0)
  endif()
  # `ctest -LE 'server|display'` leaves out what needs the private server or the test display:
  # the fast inner loop.
  if(T_FIREBIRD)
    list(APPEND T_LABELS server)
  endif()
  if(T_DISPLAY)
    list(APPEND T_LABELS display)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "VELMAR_FB_DIR=${VELMAR_FB_DIR};VELMAR_SOURCE_DIR=${CMAKE_SOURCE_DIR};VELMAR_BIN_DIR=${CMAKE_BINARY_DIR}/bin;ASAN_OPTIONS=detect_leaks=${leaks}:abort_on_error=0;TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")
  if(fixtures)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${fixtures}")
  endif()
  if(T_DISPLAY)
    # Window tests send keys to whatever window has the focus: one at a time.
    set_property(TEST ${name} APPEND PROPERTY RESOURCE_LOCK display)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Under Wine every test shares one prefix and the fixed C:\KORA tree, which each test
    # builds and removes: one at a time there too, even under `ctest -j`.
    set_property(TEST ${name} APPEND PROPERTY RESOURCE_LOCK kora_tree)
  endif()
endfunction()
