#!/bin/sh
# An uncertainty study of 300,000 samples under a 40 MB limit on the tool's memory: its rows per
# sample stream out whole, a line each, and its summary is written (both need about 20 MB more
# when every sample is kept before anything is written).
# Usage: uncertainty_memory_test.sh CPU_WIDGET_CLI
set -u
cli=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
limited() { (ulimit -v 40000 && exec "$cli" "$@"); }

lines=$(limited uncertainty --samples 300000 --per-sample --format csv --jobs 2 \
          2>"$scratch/err" | wc -l)
if [ "$lines" != 300001 ] || [ -s "$scratch/err" ]; then
  echo "per-sample rows: $lines lines (expected 300001), errors:"; cat "$scratch/err"; exit 1
fi

limited uncertainty --samples 300000 --format csv --jobs 2 >"$scratch/out" 2>"$scratch/err"
status=$?
if [ $status -ne 0 ] || [ -s "$scratch/err" ] ||
   [ "$(head -1 "$scratch/out")" != "cores,cache_mb,scale,samples,share,median_speedup" ]; then
  echo "summary: status $status (expected 0), errors:"; cat "$scratch/err"; exit 1
fi
echo "300,000 samples streamed and summarised within the limit"
