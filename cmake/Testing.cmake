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

# How this machine runs the 32-bit build's programs: "native" or "emulated"
# (qemu-i386), as scripts/x86-32 set up. The emulator's faults (tests/emulator)
# and its cost, a minute for every Windows process start, shape the 32-bit
# runs there (and the 64-bit build's runs with 32-bit engines); natively they
# run as the 64-bit ones do. VP_X86_32_LISTS shapes the test lists for the
# mode it names instead, whatever this machine does: scripts/try-emulated-lists
# runs the emulated shape natively.
if(WIN32)
  if(VP_X86_32_LISTS)
    set(VP_X86_32 "${VP_X86_32_LISTS}")
  else()
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/x86-32 mode
                    OUTPUT_VARIABLE VP_X86_32 OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  if(NOT VP_X86_32 MATCHES "^(native|emulated)$")
    message(WARNING "This machine runs no 32-bit x86 program; scripts/setup makes it run them.")
    set(VP_X86_32 native)
  endif()
  message(STATUS "32-bit x86 programs run ${VP_X86_32}")
endif()

# Adds a GoogleTest executable whose tests carry the given CTest label.
# Tests are listed when CTest runs, so cross builds need no emulator to build.
# A 32-bit program runs whole, once, as one CTest entry: one Wine start for
# all its tests. Emulated, it runs without the tests EMULATOR_EXCLUDES names.
# With ENGINE_PROCESS the tests run a second time (suffix and label
# engine-process) with the engine in a process of its own; the emulated
# 32-bit program then runs only the tests EMULATED_ENGINE_PROCESS names, each
# engine process it starts costing a minute of emulated start-up.
function(vp_add_gtest target label)
  cmake_parse_arguments(ARG "ENGINE_PROCESS" "" "SOURCES;LIBS;EMULATOR_EXCLUDES;EMULATED_ENGINE_PROCESS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest ${ARG_LIBS})
  if(ARG_ENGINE_PROCESS)
    add_dependencies(${target} VantraPlayerEngineHost)
  endif()
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    vp_add_import_check(${target})
    set(in_process_args "")
    set(engine_process_args "")
    if(VP_X86_32 STREQUAL "emulated")
      if(ARG_EMULATOR_EXCLUDES)
        list(JOIN ARG_EMULATOR_EXCLUDES ":" excluded)
        set(in_process_args --gtest_filter=-${excluded})
      endif()
      list(JOIN ARG_EMULATED_ENGINE_PROCESS ":" subset)
      set(engine_process_args --gtest_filter=${subset})
    endif()
    vp_add_whole_gtest(${target} ${target} "${label}" ${in_process_args})
    if(ARG_ENGINE_PROCESS)
      vp_add_whole_gtest(${target}.engine-process ${target} engine-process ${engine_process_args})
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

# A GoogleTest program run whole as one CTest entry. Emulated, it passes when
# GoogleTest printed its summary and neither a failure nor a skip: there a
# process that dies after a failure can still exit with 0, and a skip starts
# the thread beside which the next structured exception ends the process
# (tests/emulator). Natively its exit code tells.
function(vp_add_whole_gtest name target labels)
  add_test(NAME ${name} COMMAND ${target} ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT 900)
  if(VP_X86_32 STREQUAL "emulated")
    set_tests_properties(${name} PROPERTIES
      PASS_REGULAR_EXPRESSION "\\[==========\\] [0-9]+ tests? from [0-9]+ test suites? ran"
      FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|\\[  SKIPPED \\]")
  endif()
endfunction()
