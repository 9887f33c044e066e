# Shared build helpers.

# GoogleTest from the sources Debian's googletest package installs, built with
# whichever compiler this tree is built with.
function(corvallo_add_gtest)
  if(TARGET gtest)
    return()
  endif()
  set(GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/_gtest EXCLUDE_FROM_ALL SYSTEM)
endfunction()

# Native tools (test servers) are built by the native build; the Windows
# tests find them here.
set(CORVALLO_NATIVE_TOOLS "${CMAKE_SOURCE_DIR}/build/native/tests/tools"
    CACHE PATH "Folder of the native test tools (httpd and friends)")

# corvallo_win_test(NAME <name> TARGET <exe target> [SERVERS http proxy ...]
#                   [TIMEOUT <s>] [ARGS ...] [LABELS ...])
# A Windows test program run under Wine by the harness, in a fresh copy of the
# template prefix, on the run's Xvfb display, with the named servers started
# for it and ended after it.
function(corvallo_win_test)
  cmake_parse_arguments(T "" "NAME;TARGET;TIMEOUT" "SERVERS;ARGS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(server_opts)
  foreach(s IN LISTS T_SERVERS)
    list(APPEND server_opts --server ${s})
  endforeach()
  add_test(NAME ${T_NAME}
           COMMAND ${CMAKE_SOURCE_DIR}/tests/harness/winrun ${server_opts}
                   --timeout ${T_TIMEOUT} -- $<TARGET_FILE:${T_TARGET}> ${T_ARGS})
  # CTest waits a little longer than winrun's own time-out, so that winrun
  # always gets to end the servers it started.
  math(EXPR ctest_timeout "${T_TIMEOUT} + 30")
  set_tests_properties(${T_NAME} PROPERTIES
      FIXTURES_REQUIRED wine_harness
      TIMEOUT ${ctest_timeout}
      LABELS "win;${T_LABELS}"
      ENVIRONMENT "CORVALLO_BUILD=${CMAKE_BINARY_DIR};CORVALLO_NATIVE_TOOLS=${CORVALLO_NATIVE_TOOLS}")
endfunction()

# corvallo_add_templates(<target> <file.dfm>...)
# Compiles window templates into the target as RCDATA resources named after
# the class their first line declares ("object Form1: TForm1" -> TFORM1).
function(corvallo_add_templates target)
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_templates.rc")
  set(content "")
  foreach(f IN LISTS ARGN)
    get_filename_component(path "${f}" ABSOLUTE)
    file(STRINGS "${path}" first REGEX "^[ \t]*object[ \t]" LIMIT_COUNT 1)
    string(REGEX REPLACE "^[ \t]*object[ \t]+([A-Za-z0-9_]+[ \t]*:[ \t]*)?([A-Za-z0-9_]+).*$" "\\2" cls "${first}")
    string(TOUPPER "${cls}" name)
    string(APPEND content "${name} RCDATA \"${path}\"\n")
    set_property(SOURCE "${rc}" APPEND PROPERTY OBJECT_DEPENDS "${path}")
  endforeach()
  file(GENERATE OUTPUT "${rc}" CONTENT "${content}")
  target_sources(${target} PRIVATE "${rc}")
endfunction()
