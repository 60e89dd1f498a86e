#!/bin/sh
# Runs a Windows test program under 64-bit Wine, for CTest. The Wine prefix
# lives in the build folder; without a display a virtual one is started.
build_dir=${VP_BUILD_DIR:-$(pwd)}
while [ ! -f "$build_dir/CMakeCache.txt" ] && [ "$build_dir" != / ]; do build_dir=$(dirname "$build_dir"); done
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
if [ ! -f "$WINEPREFIX/.ready" ]; then
  # First use: make the prefix once, even when tests start in parallel. (The
  # registry files appear only when the Wine server exits, so a marker of our
  # own says that the prefix is complete.)
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX/.init-lock" sh -c \
    "[ -f '$WINEPREFIX/.ready' ] || { '$wine' wineboot -i >/dev/null 2>&1 && touch '$WINEPREFIX/.ready'; }"
fi
# Keep the Wine server up between test programs: starting it, and the desktop
# process with it, costs seconds every time.
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] && "$wineserver" -p30 </dev/null >/dev/null 2>&1 || true

# The program's output goes through a file: processes Wine starts on the way
# (the desktop, services) outlive the program and would hold a pipe open.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
if [ -z "$DISPLAY" ]; then
  xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$@" >"$output" 2>&1 </dev/null
else
  "$wine" "$@" >"$output" 2>&1 </dev/null
fi
status=$?
cat "$output"
exit $status
