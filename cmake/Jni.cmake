# JNI headers: the JDK's jni.h everywhere; on Windows our own jni_md.h with
# the Windows definitions, since the JDK here is a Linux one.
find_package(Java 17 REQUIRED COMPONENTS Development)
get_filename_component(VP_JDK_BIN "${Java_JAVAC_EXECUTABLE}" DIRECTORY)
get_filename_component(VP_JDK_HOME "${VP_JDK_BIN}" DIRECTORY)
if(NOT EXISTS "${VP_JDK_HOME}/include/jni.h")
  message(FATAL_ERROR "jni.h not found under ${VP_JDK_HOME}/include")
endif()

add_library(vp_jni INTERFACE)
if(WIN32)
  # Only jni.h is taken from the JDK; jni_md.h comes from third_party.
  set(VP_JNI_DIR "${CMAKE_BINARY_DIR}/jni-include")
  file(COPY "${VP_JDK_HOME}/include/jni.h" DESTINATION "${VP_JNI_DIR}")
  target_include_directories(vp_jni SYSTEM INTERFACE "${VP_JNI_DIR}" "${PROJECT_SOURCE_DIR}/third_party/jni/windows")
else()
  target_include_directories(vp_jni SYSTEM INTERFACE "${VP_JDK_HOME}/include" "${VP_JDK_HOME}/include/linux")
endif()
include(UseJava)
