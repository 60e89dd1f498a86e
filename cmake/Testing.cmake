# GoogleTest: the system's on Linux, built from Debian's googletest sources
# for the cross builds. Windows tests run under Wine (see wine-run.sh).
include(GoogleTest)
if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
  # GoogleTest's own sources are not held to our warning flags.
  target_compile_options(gtest PRIVATE -Wno-error)
  target_compile_options(gtest_main PRIVATE -Wno-error)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VP_WINE_ARCH win32)
  else()
    set(VP_WINE_ARCH win64)
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/cmake/wine-run.sh;${VP_WINE_ARCH}")
else()
  find_package(GTest REQUIRED)
endif()

# Adds a GoogleTest executable whose tests carry the given CTest label.
# Tests are listed when CTest runs, so cross builds need no emulator to build.
# Under the emulated 32-bit Wine every process start costs about a minute, so
# there a program is one CTest entry and runs whole, once.
# With ENGINE_PROCESS the tests run a second time (suffix and label
# engine-process) with the engine in a process of its own. Under the emulated
# 32-bit Wine the program runs whole once more, without the tests
# IN_PROCESS_ONLY names: they would skip, and a skip starts GoogleTest's
# watcher thread, beside which the emulator ends the process at the library's
# next structured exception (tests/emulator).
function(vp_add_gtest target label)
  cmake_parse_arguments(ARG "ENGINE_PROCESS" "" "SOURCES;LIBS;IN_PROCESS_ONLY" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest ${ARG_LIBS})
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    vp_add_import_check(${target})
    vp_add_whole_gtest(${target} ${target} "${label}")
    if(ARG_ENGINE_PROCESS)
      add_dependencies(${target} VantraPlayerEngineHost)
      list(JOIN ARG_IN_PROCESS_ONLY ":" excluded)
      vp_add_whole_gtest(${target}.engine-process ${target} engine-process --gtest_filter=-${excluded})
      set_tests_properties(${target}.engine-process PROPERTIES ENVIRONMENT "VANTRA_PLAYER_ENGINE_HOST=process")
    endif()
    return()
  endif()
  gtest_discover_tests(${target}
    TEST_PREFIX "${target}."
    PROPERTIES LABELS "${label}" TIMEOUT 120
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120)
  if(ARG_ENGINE_PROCESS)
    add_dependencies(${target} VantraPlayerEngineHost)
    gtest_discover_tests(${target}
      TEST_PREFIX "${target}."
      TEST_SUFFIX ".engine-process"
      PROPERTIES LABELS engine-process TIMEOUT 120 ENVIRONMENT "VANTRA_PLAYER_ENGINE_HOST=process"
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120)
  endif()
endfunction()

# A test that the target imports only system DLLs (label "build").
function(vp_add_import_check target)
  add_test(NAME ${target}.imports-system-dlls-only
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DBINARY=$<TARGET_FILE:${target}>
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckImports.cmake)
  set_tests_properties(${target}.imports-system-dlls-only PROPERTIES LABELS build)
endfunction()

# A GoogleTest program run whole as one CTest entry. It passes when GoogleTest
# printed its summary and no failure: under the emulated 32-bit Wine a process
# that dies after a failure can still exit with 0 (tests/emulator shows why).
function(vp_add_whole_gtest name target labels)
  add_test(NAME ${name} COMMAND ${target} ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT 900
    PASS_REGULAR_EXPRESSION "\\[==========\\] [0-9]+ tests? from [0-9]+ test suites? ran"
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|\\[  SKIPPED \\]")
endfunction()
