#!/bin/sh
# Runs JUnit 5 tests in a JVM with -Xcheck:jni and fails on any JNI warning.
# Usage: run-junit.sh LIBRARY_PATH TEST_JAR OTHER_CLASSPATH PRELOAD [JVM_OPTION...]
# Every class named *Test in TEST_JAR runs.
set -u
library_dir=$1 test_jar=$2 classpath=$3 preload=${4:-}
shift 4 2>/dev/null || shift $#
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# The native libraries carry the sanitizer runtimes; the JVM's own signal
# handling (SIGSEGV) stays with the JVM.
LD_PRELOAD="$preload" \
ASAN_OPTIONS="detect_leaks=0:handle_segv=0:allow_user_segv_handler=1:halt_on_error=1" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
java -Xcheck:jni -Djava.library.path="$library_dir" "$@" \
  -jar /usr/share/java/junit-platform-console-standalone.jar \
  --class-path "$test_jar:$classpath" --scan-class-path "$test_jar" \
  --fail-if-no-tests --disable-banner --details=tree >"$log" 2>&1
status=$?
cat "$log"
# Every line the JNI checker prints starts with WARNING or FATAL ERROR (for
# example "WARNING: JNI local refs: 33, exceeds capacity: 32").
if grep -E "^(WARNING|FATAL ERROR)|JNI warning" "$log" >/dev/null; then
  echo "run-junit: JNI check reported a problem" >&2
  exit 1
fi
exit $status
