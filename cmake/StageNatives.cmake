# Puts one platform's natives into a jar's tree, under natives/PLATFORM/, with
# the list of their SHA-256 sums that the widget's loader checks what it
# extracts against.
# Usage: cmake -DPLATFORM=windows-x64 -DFILES="source|name;..." -DINTO=tree -P StageNatives.cmake
set(into "${INTO}/natives/${PLATFORM}")
file(REMOVE_RECURSE "${into}")
file(MAKE_DIRECTORY "${into}")
set(list "")
foreach(file ${FILES})
  string(REPLACE "|" ";" parts "${file}")
  list(GET parts 0 source)
  list(GET parts 1 name)
  file(COPY_FILE "${source}" "${into}/${name}")
  file(SHA256 "${into}/${name}" sum)
  string(APPEND list "${sum}  ${name}\n")
endforeach()
file(WRITE "${into}/files.sha256" "${list}")
