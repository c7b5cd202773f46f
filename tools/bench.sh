#!/usr/bin/env bash
# Runs every benchmark program of the build.
set -eu
build=$(cd "${1:-build}" && pwd)
found=0
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  found=1
  echo "== $(basename "$b") =="
  "$b"
done
[ "$found" = 1 ] || echo "No benchmarks built."
