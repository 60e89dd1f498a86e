# A jar of every file under FROM, in sorted order, each dated DATE.
# Usage: cmake -DJAR=... -DDATE=... -DFROM=... -DOUTPUT=... -P MakeJar.cmake
file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE "${FROM}" "${FROM}/*")
list(SORT entries)
set(arguments)
foreach(entry ${entries})
  list(APPEND arguments -C "${FROM}" "${entry}")
endforeach()
file(REMOVE "${OUTPUT}")
execute_process(COMMAND "${JAR}" --create --date=${DATE} --file "${OUTPUT}" ${arguments} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "jar failed for ${OUTPUT}")
endif()
