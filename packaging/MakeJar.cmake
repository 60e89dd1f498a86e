# A jar of every file under FROM, in sorted order, each dated DATE, with the
# entries of the file MANIFEST in its manifest when given.
# Usage: cmake -DJAR=... -DDATE=... -DFROM=... -DOUTPUT=... [-DMANIFEST=...] -P MakeJar.cmake
file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE "${FROM}" "${FROM}/*")
list(SORT entries)
set(arguments)
foreach(entry ${entries})
  list(APPEND arguments -C "${FROM}" "${entry}")
endforeach()
file(REMOVE "${OUTPUT}")
set(manifest)
if(MANIFEST)
  set(manifest "--manifest=${MANIFEST}")
endif()
execute_process(COMMAND "${JAR}" --create --date=${DATE} --file "${OUTPUT}" ${manifest} ${arguments} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "jar failed for ${OUTPUT}")
endif()
