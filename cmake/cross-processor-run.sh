#!/bin/sh
# Runs a win64 test program under the 64-bit Wine with the 32-bit engines of
# the win32 build, as a 64-bit JVM runs the 32-bit engine: the win32 build's
# engine process goes beside the 64-bit library as VantraPlayerEngineHost32.exe.
#   cross-processor-run.sh WIN32_BUILD WIN64_LIBRARY_FOLDER PROGRAM.exe [ARGS...]
# Exits 77 (a skip) when there is no win32 build: scripts/test builds it first.
win32_build=$1
library_folder=$2
shift 2
host="$win32_build/JNIToVantraPlayerBridge/VantraPlayerEngineHost.exe"
if [ ! -f "$host" ] || [ ! -d "$win32_build/engines" ]; then
  echo "cross-processor-run: no win32 build in $win32_build (cmake --build --preset win32 makes it)"
  exit 77
fi
# Copied under another name, then renamed: suites started together share the folder.
cp "$host" "$library_folder/VantraPlayerEngineHost32.exe.$$" &&
  mv -f "$library_folder/VantraPlayerEngineHost32.exe.$$" "$library_folder/VantraPlayerEngineHost32.exe" || exit 1
if [ "$VP_X86_32" = emulated ]; then
  echo "cross-processor-run: 32-bit code is emulated here (a minute per engine process): a bounded subset runs: $*"
fi
VP_ENGINES_FOLDER="Z:$(cd "$win32_build/engines" && pwd | tr / '\\')"
export VP_ENGINES_FOLDER
exec "$(dirname "$0")/wine-run.sh" win64 "$@"
