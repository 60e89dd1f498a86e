# A Maven repository's layout of the widget artifact, as a team uploads it to
# its repository manager: the jar, its sources and Javadoc jars and its POM
# under <group path>/<artifact>/<version>/, each with the .md5 and .sha1 files
# a repository expects.
# Usage: cmake -DINTO=... -DGROUP=... -DARTIFACT=... -DVERSION=... -DJAR=... -DSOURCES=...
#              -DJAVADOC=... -DPOM=... -P MavenLayout.cmake
string(REPLACE "." "/" group_path "${GROUP}")
set(folder "${INTO}/${group_path}/${ARTIFACT}/${VERSION}")
file(REMOVE_RECURSE "${INTO}")
file(MAKE_DIRECTORY "${folder}")
set(base "${ARTIFACT}-${VERSION}")
foreach(pair "${JAR}|${base}.jar" "${SOURCES}|${base}-sources.jar" "${JAVADOC}|${base}-javadoc.jar" "${POM}|${base}.pom")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 name)
  configure_file("${from}" "${folder}/${name}" COPYONLY)
  foreach(algorithm MD5 SHA1)
    file(${algorithm} "${folder}/${name}" sum)
    string(TOLOWER "${algorithm}" extension)
    file(WRITE "${folder}/${name}.${extension}" "${sum}")
  endforeach()
endforeach()
