#!/bin/sh
# Runs a Windows program under Wine, for CTest and by hand:
#   wine-run.sh win64 PROGRAM.exe [ARGS...]   64-bit Wine
#   wine-run.sh win32 PROGRAM.exe [ARGS...]   32-bit Wine, emulated by qemu-i386
# The Wine prefix lives in the build folder (VP_BUILD_DIR, or the first folder
# above the current one that holds a CMakeCache.txt); without a display a
# virtual one is started.
arch=$1
shift
case "$arch" in
  win32|win64) ;;
  *) echo "usage: wine-run.sh win32|win64 PROGRAM [ARGS...]" >&2; exit 2 ;;
esac
build_dir=${VP_BUILD_DIR:-$(pwd)}
while [ ! -f "$build_dir/CMakeCache.txt" ] && [ "$build_dir" != / ]; do build_dir=$(dirname "$build_dir"); done
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=${WINEDEBUG:--all}
# No debugger is started for a crash: the process ends and CTest sees it.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || command -v wine)
if [ ! -f "$WINEPREFIX/.ready" ]; then
  # First use: make the prefix once, even when tests start in parallel. (The
  # registry files appear only when the Wine server exits, so a marker of our
  # own says that the prefix is complete.) The 64-bit Wine makes it for both
  # architectures.
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX/.init-lock" sh -c \
    "[ -f '$WINEPREFIX/.ready' ] || { '$wine64' wineboot -i >/dev/null 2>&1 && touch '$WINEPREFIX/.ready'; }"
fi
# Keep the Wine server up between test programs: starting it, and the desktop
# process with it, costs seconds every time.
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] && "$wineserver" -p30 </dev/null >/dev/null 2>&1 || true

if [ "$arch" = win32 ]; then
  # The kernel here runs no 32-bit code: qemu-i386 runs Wine's 32-bit loader,
  # which must not re-execute itself through its preloader.
  export WINELOADERNOEXEC=1
  set -- qemu-i386 /usr/lib/wine/wine "$@"
else
  set -- "$wine64" "$@"
fi

# The program's output goes through a file: processes Wine starts on the way
# (the desktop, services) outlive the program and would hold a pipe open.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
if [ -z "$DISPLAY" ]; then
  xvfb-run -a -s "-screen 0 1280x1024x24" "$@" >"$output" 2>&1 </dev/null
else
  "$@" >"$output" 2>&1 </dev/null
fi
status=$?
cat "$output"
exit $status
