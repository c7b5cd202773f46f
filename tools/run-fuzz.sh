#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for the given number of seconds,
# starting from its seed corpus in tests/fuzz/corpus/<name>/. New inputs go to
# a scratch corpus, so the repository's seeds stay small. Any finding fails.
set -eu
build=$(cd "$1" && pwd)
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for f in "$build"/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f"); name=${name#fuzz_}
  work=$(mktemp -d)
  seeds="$root/tests/fuzz/corpus/$name"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null || true
  echo "== fuzz $name for ${seconds}s =="
  if ! (cd "$work" && "$f" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "$work" > "$work/.log" 2>&1); then
    tail -n 60 "$work/.log"
    echo "FUZZ FAILURE in $name (artifacts kept in $work)"
    status=1
    continue
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$work/.log" | tr '\n' ' '; echo
  rm -rf "$work"
done
exit $status
