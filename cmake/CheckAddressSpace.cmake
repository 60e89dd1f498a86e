# Fails when the 32-bit program is large-address-aware: an engine that was
# only ever given addresses below 2 GiB keeps them (docs/engine-process.md).
# Usage: cmake -DOBJDUMP=<objdump> -DBINARY=<program> -P CheckAddressSpace.cmake
execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE header RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT header MATCHES "Characteristics 0x[0-9a-f]+")
  message(FATAL_ERROR "cannot read the header of ${BINARY}")
endif()
if(header MATCHES "large address aware")
  message(FATAL_ERROR "${BINARY} is large-address-aware")
endif()
message(STATUS "${BINARY}: addresses below 2 GiB only, as in a 32-bit JVM")
