# Checks that a shipped DLL is stripped, names its debug file through
# .gnu_debuglink, and that an address inside one of its exports resolves to
# the function and its source line through the debug file, as a crash report's
# address would.
# Usage: cmake -DOBJDUMP=... -DADDR2LINE=... -DBINARY=... -P CheckDebugFile.cmake
set(debug_file "${BINARY}.debug")
set(export "Java_com_ostrel_quillbench_SWTVantraPlayer_VantraPlayerWidget_KickIdle")

execute_process(COMMAND ${OBJDUMP} -h ${BINARY} OUTPUT_VARIABLE sections RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot read ${BINARY}")
endif()
if(sections MATCHES "\\.debug_")
  message(FATAL_ERROR "${BINARY} still carries debug sections")
endif()
if(NOT sections MATCHES "\\.gnu_debuglink")
  message(FATAL_ERROR "${BINARY} does not name its debug file")
endif()
execute_process(COMMAND ${OBJDUMP} -h ${debug_file} OUTPUT_VARIABLE debug_sections)
if(NOT debug_sections MATCHES "\\.debug_info")
  message(FATAL_ERROR "${debug_file} holds no debug information")
endif()

# The export's address: the image base plus its entry in the export address table.
execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE headers)
string(REGEX MATCH "ImageBase[ \t]+([0-9a-fA-F]+)" _ "${headers}")
set(image_base "0x${CMAKE_MATCH_1}")
string(REGEX MATCH "\\[ *([0-9]+)\\] ${export}\n" _ "${headers}")
set(index "${CMAKE_MATCH_1}")
string(REGEX MATCH "\\[ *${index}\\] \\+base\\[ *[0-9]+\\] ([0-9a-fA-F]+) Export RVA" _ "${headers}")
set(rva "${CMAKE_MATCH_1}")
if(index STREQUAL "" OR rva STREQUAL "")
  message(FATAL_ERROR "export ${export} not found in ${BINARY}")
endif()
math(EXPR address "${image_base} + 0x${rva} + 4" OUTPUT_FORMAT HEXADECIMAL)

execute_process(COMMAND ${ADDR2LINE} -f -C -e ${debug_file} ${address} OUTPUT_VARIABLE resolved)
if(NOT resolved MATCHES "${export}" OR
   NOT resolved MATCHES "com_ostrel_quillbench_SWTVantraPlayer_VantraPlayerWidget\\.cpp:[0-9]+")
  message(FATAL_ERROR "${address} resolved to:\n${resolved}")
endif()
message(STATUS "${address} resolves to ${resolved}")
