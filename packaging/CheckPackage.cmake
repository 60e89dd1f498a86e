# Unpacks the release zip into a new folder and checks it: exactly the files a
# release holds, every sum in SHA256SUMS right, the widget's jar carrying the
# same natives, listed with their sums, and its 32-bit DLL the very file the
# product checks and the 32-bit runs tested.
# Usage: cmake -DZIP=... -DTESTED_DLL=build/win32/.../JNIToVantraPlayerBridge.dll -DINTO=folder -P CheckPackage.cmake
file(REMOVE_RECURSE "${INTO}")
file(MAKE_DIRECTORY "${INTO}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${ZIP}" WORKING_DIRECTORY "${INTO}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${ZIP}")
endif()
get_filename_component(top "${ZIP}" NAME)
string(REGEX REPLACE "\\.zip$" "" top "${top}")
file(GLOB tops LIST_DIRECTORIES true RELATIVE "${INTO}" "${INTO}/*")
if(NOT tops STREQUAL "${top}")
  message(FATAL_ERROR "the zip's top folder is '${tops}', not '${top}'")
endif()
set(root "${INTO}/${top}")

include(${CMAKE_CURRENT_LIST_DIR}/../cmake/Version.cmake)
set(maven maven/com/ostrel/quillbench/vantra-player-widget/${VP_VERSION}/vantra-player-widget-${VP_VERSION})
set(expected
  SHA256SUMS USAGE.txt
  java/vantra-player-widget-javadoc.jar java/vantra-player-widget-sources.jar java/vantra-player-widget.jar)
foreach(suffix .jar -sources.jar -javadoc.jar .pom)
  list(APPEND expected ${maven}${suffix} ${maven}${suffix}.md5 ${maven}${suffix}.sha1)
endforeach()
list(APPEND expected
  licenses/GPL-3.txt licenses/gcc-runtime-libraries.txt licenses/mingw-w64-runtime.txt
  windows-x64/JNIToVantraPlayerBridge.dll windows-x64/JNIToVantraPlayerBridge.dll.debug
  windows-x64/VantraPlayerEngineHost.exe windows-x64/VantraPlayerEngineHost.exe.debug
  windows-x64/VantraPlayerEngineHost32.exe windows-x86/VantraPlayerEngineHost64.exe
  windows-x86/JNIToVantraPlayerBridge.dll windows-x86/JNIToVantraPlayerBridge.dll.debug
  windows-x86/VantraPlayerEngineHost.exe windows-x86/VantraPlayerEngineHost.exe.debug)
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
list(SORT found)
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "the package holds:\n${found}\nnot:\n${expected}")
endif()

file(STRINGS "${root}/SHA256SUMS" lines)
set(summed "")
foreach(line ${lines})
  if(NOT line MATCHES "^([0-9a-f]+)  (.+)$")
    message(FATAL_ERROR "a malformed line in SHA256SUMS: ${line}")
  endif()
  set(hash "${CMAKE_MATCH_1}")
  set(name "${CMAKE_MATCH_2}")
  file(SHA256 "${root}/${name}" actual)
  if(NOT actual STREQUAL hash)
    message(FATAL_ERROR "${name}: SHA256SUMS says ${hash}, the file has ${actual}")
  endif()
  list(APPEND summed "${name}")
endforeach()
list(REMOVE_ITEM expected SHA256SUMS)
list(SORT summed)
if(NOT summed STREQUAL expected)
  message(FATAL_ERROR "SHA256SUMS covers:\n${summed}\nnot:\n${expected}")
endif()

# The jar carries the very DLLs and engine processes the zip holds, each
# listed with its sum for the loader.
set(jar_tree "${INTO}/jar")
file(MAKE_DIRECTORY "${jar_tree}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${root}/java/vantra-player-widget.jar"
                WORKING_DIRECTORY "${jar_tree}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot unpack the widget's jar")
endif()
foreach(platform windows-x86 windows-x64)
  set(other VantraPlayerEngineHost64.exe)
  if(platform STREQUAL "windows-x64")
    set(other VantraPlayerEngineHost32.exe)
  endif()
  file(READ "${jar_tree}/natives/${platform}/files.sha256" listed)
  foreach(name JNIToVantraPlayerBridge.dll VantraPlayerEngineHost.exe ${other})
    file(SHA256 "${jar_tree}/natives/${platform}/${name}" carried)
    file(SHA256 "${root}/${platform}/${name}" zipped)
    if(NOT carried STREQUAL zipped)
      message(FATAL_ERROR "the jar's ${platform}/${name} is not the package's")
    endif()
    string(FIND "${listed}" "${carried}  ${name}\n" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the jar's list for ${platform} does not give ${name} its sum")
    endif()
  endforeach()
endforeach()

# Its manifest names the module and the version, as the class path and the
# module path read them.
file(READ "${jar_tree}/META-INF/MANIFEST.MF" manifest)
foreach(entry "Automatic-Module-Name: com.ostrel.quillbench.swtvantraplayer" "Implementation-Version: ${VP_VERSION}"
              "Implementation-Title: vantra-player-widget")
  string(FIND "${manifest}" "${entry}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the widget's jar's manifest lacks \"${entry}\"")
  endif()
endforeach()

# The Maven artifact is the package's jar, its sums right.
file(SHA256 "${root}/java/vantra-player-widget.jar" zipped_jar)
file(SHA256 "${root}/${maven}.jar" artifact_jar)
if(NOT zipped_jar STREQUAL artifact_jar)
  message(FATAL_ERROR "the Maven artifact's jar is not the package's")
endif()
foreach(suffix .jar -sources.jar -javadoc.jar .pom)
  foreach(algorithm MD5 SHA1)
    file(${algorithm} "${root}/${maven}${suffix}" sum)
    string(TOLOWER "${algorithm}" extension)
    file(READ "${root}/${maven}${suffix}.${extension}" written)
    if(NOT written STREQUAL sum)
      message(FATAL_ERROR "${maven}${suffix}.${extension} is not its file's sum")
    endif()
  endforeach()
endforeach()

file(SHA256 "${root}/windows-x86/JNIToVantraPlayerBridge.dll" shipped)
file(SHA256 "${TESTED_DLL}" tested)
if(NOT shipped STREQUAL tested)
  message(FATAL_ERROR "the package's 32-bit DLL is not the tested ${TESTED_DLL}")
endif()
list(LENGTH found count)
message(STATUS "${top}: ${count} files as expected, their sums right, its 32-bit DLL the tested one")
