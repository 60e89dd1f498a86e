#!/bin/sh
# The jar's natives through the per-user cache, as JVMs meet it: two JVMs
# started together on an empty cache both load and play; then a cached file
# changed on disk is replaced before the next JVM loads it; a cache that
# cannot be written gives way to a temporary folder of the user's own, said
# once, and used again by the next start rather than another made.
# Usage: jar-cache-runs.sh CACHE_HOME BUILT_LIBRARY COMMAND...
# COMMAND runs the jar's tests in one JVM; BUILT_LIBRARY is what the jar carries.
set -u
cache=$1 built=$2
shift 2
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
fail() {
  for log in "$logs"/*.log; do echo "== $log" && cat "$log"; done
  echo "jar-cache-runs: $1" >&2
  exit 1
}
rm -rf "$cache"
mkdir -p "$cache"
export XDG_CACHE_HOME="$cache"

"$@" >"$logs/first.log" 2>&1 &
first=$!
"$@" >"$logs/second.log" 2>&1 &
second=$!
wait $first || fail "the first of two JVMs started together did not load and play"
wait $second || fail "the second of two JVMs started together did not load and play"

name=$(basename "$built")
cached=$(find "$cache" -type f -name "$name")
[ "$(echo "$cached" | wc -l)" = 1 ] && [ -n "$cached" ] || fail "not one cached $name: $cached"
cmp -s "$cached" "$built" || fail "the cached $name is not the jar's"
[ -z "$(find "$cache" -name '*.part')" ] || fail "temporary files left in the cache"

printf 'not a library' >"$cached"
"$@" >"$logs/after-tampering.log" 2>&1 || fail "a JVM did not load after the cached $name was changed"
cmp -s "$cached" "$built" || fail "the changed $name was kept"

# A cache under a plain file cannot be made; the JVM's temporary folder takes it.
temporary="$logs/temporary"
mkdir "$temporary"
for run in 1 2; do
  XDG_CACHE_HOME="$cached" "$@" "-Djava.io.tmpdir=$temporary" "-Dvp.expectedLibrary=$temporary" \
    >"$logs/unwritable-$run.log" 2>&1 || fail "a JVM did not load with an unwritable cache (run $run)"
  [ "$(grep -c "cannot be put in the cache" "$logs/unwritable-$run.log")" = 1 ] || fail "the fallback was not said once"
done
[ "$(find "$temporary" -maxdepth 1 -name 'vantra-player-natives*' | wc -l)" = 1 ] ||
  fail "each start made a temporary folder of its own: $(ls "$temporary")"
[ -n "$(find "$temporary" -maxdepth 1 -name 'vantra-player-natives*' -perm 700)" ] ||
  fail "the temporary folder is not the user's own"
echo "jar-cache-runs: two JVMs at once loaded; a changed cached file was replaced; an unwritable cache gave way to one temporary folder, reused"
