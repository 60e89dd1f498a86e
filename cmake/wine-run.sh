#!/bin/sh
# Runs a Windows program under Wine, for CTest and by hand:
#   wine-run.sh win64 PROGRAM.exe [ARGS...]   64-bit Wine
#   wine-run.sh win32 PROGRAM.exe [ARGS...]   32-bit Wine
#   wine-run.sh win64|win32 --prefix-only     only make the prefix, if it is not made
# The Wine prefix lives in the build folder (VP_BUILD_DIR, or the first folder
# above the current one that holds a CMakeCache.txt); without a display a
# virtual one is started. With VP_WINEPREFIX_FROM naming a ready prefix, a
# prefix to be made is copied from it instead (seconds, where making one takes
# minutes when 32-bit code is emulated).
arch=$1
shift
case "$arch" in
  win32|win64) ;;
  *) echo "usage: wine-run.sh win32|win64 PROGRAM [ARGS...] | --prefix-only" >&2; exit 2 ;;
esac
if [ -n "$VP_BUILD_DIR" ]; then
  build_dir=$VP_BUILD_DIR
else
  build_dir=$(pwd)
  while [ ! -f "$build_dir/CMakeCache.txt" ] && [ "$build_dir" != / ]; do build_dir=$(dirname "$build_dir"); done
fi
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=${WINEDEBUG:--all}
# No debugger is started for a crash: the process ends and CTest sees it.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || command -v wine)
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
# The prefix is ready once both halves are in it: a 64-bit Wine that cannot
# start 32-bit programs (scripts/x86-32) makes it without its 32-bit half,
# says nothing and exits 0, and every 32-bit program then fails to load
# kernel32.dll. (The registry files appear only when the Wine server exits,
# so a marker of our own says that the prefix is complete.)
prefix_ready() {
  [ -f "$1/.ready" ] && [ -f "$1/drive_c/windows/syswow64/kernel32.dll" ]
}
make_prefix() {
  if [ -d "$WINEPREFIX" ]; then
    WINEPREFIX="$WINEPREFIX" "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  if [ -n "$VP_WINEPREFIX_FROM" ] && prefix_ready "$VP_WINEPREFIX_FROM"; then
    # Its registry is on disk only once its Wine server has gone.
    WINEPREFIX="$VP_WINEPREFIX_FROM" "$wineserver" -w 2>/dev/null || true
    mkdir -p "$(dirname "$WINEPREFIX")"
    cp -a "$VP_WINEPREFIX_FROM" "$WINEPREFIX"
    return
  fi
  "$wine64" wineboot -i >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "wine-run.sh: the Wine prefix $WINEPREFIX has no 32-bit half: this machine runs no 32-bit x86 program (scripts/setup makes it run them)" >&2
    return 1
  fi
  touch "$WINEPREFIX/.ready"
}
if ! prefix_ready "$WINEPREFIX"; then
  # Once, even when tests start in parallel.
  (
    flock 9
    prefix_ready "$WINEPREFIX" || make_prefix
  ) 9>"$build_dir/wineprefix.lock" || exit 1
fi
[ "$1" = --prefix-only ] && exit 0
# Keep the Wine server up between test programs: starting it, and the desktop
# process with it, costs seconds every time.
[ -n "$wineserver" ] && "$wineserver" -p30 </dev/null >/dev/null 2>&1 || true

if [ "$arch" = win32 ]; then
  # Natively or through qemu-i386, as scripts/x86-32 set up: the program
  # cannot tell.
  set -- /usr/lib/wine/wine "$@"
else
  set -- "$wine64" "$@"
fi

# The program's output goes through a file: processes Wine starts on the way
# (the desktop, services) outlive the program and would hold a pipe open.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
run() {
  if [ -z "$DISPLAY" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@" >"$output" 2>&1 </dev/null
  else
    "$@" >"$output" 2>&1 </dev/null
  fi
}
run "$@"
status=$?
# Rarely, beside other Wine programs starting, a program ends at once with an
# error and no output at all: it never ran (every program of ours prints).
# It is started once more, and the output says so.
if [ $status -ne 0 ] && [ ! -s "$output" ]; then
  echo "wine-run.sh: $2 printed nothing and exited $status: started again"
  run "$@"
  status=$?
fi
cat "$output"
exit $status
