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
  set(VP_WINE_RUN "${PROJECT_SOURCE_DIR}/cmake/wine-run.sh")
  set(CMAKE_CROSSCOMPILING_EMULATOR "${VP_WINE_RUN}")
else()
  find_package(GTest REQUIRED)
endif()

# Adds a GoogleTest executable whose tests carry the given CTest label.
# Tests are listed when CTest runs, so cross builds need no emulator to build.
# The 32-bit Windows build cannot run here: its test programs are built, and
# checked for what they import, but not run.
function(vp_add_gtest target label)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest ${ARG_LIBS})
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    vp_add_import_check(${target})
    return()
  endif()
  gtest_discover_tests(${target}
    TEST_PREFIX "${target}."
    PROPERTIES LABELS "${label}" TIMEOUT 120
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120)
endfunction()

# A test that the target imports only system DLLs (label "build").
function(vp_add_import_check target)
  add_test(NAME ${target}.imports-system-dlls-only
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DBINARY=$<TARGET_FILE:${target}>
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckImports.cmake)
  set_tests_properties(${target}.imports-system-dlls-only PROPERTIES LABELS build)
endfunction()
