#!/bin/sh
# A budget of 10,000,000 points (about 18 GB if its rows were built whole before writing)
# under a 400 MB limit on the tool's memory: its CSV streams out whole, every point a line.
# Then one whose picture must keep every point: out of memory is one line and exit status 1.
# Usage: memory_limit_test.sh CPU_WIDGET_CLI
set -u
cli=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
limited() { (ulimit -v 400000 && exec "$cli" "$@"); }

lines=$(limited budget --vary power=0.00003:300:0.00003 --format csv --jobs 2 \
          2>"$scratch/err" | wc -l)
if [ "$lines" != 10000001 ] || [ -s "$scratch/err" ]; then
  echo "streamed budget: $lines lines (expected 10000001), errors:"; cat "$scratch/err"; exit 1
fi

limited budget --vary power=0.00003:300:0.00003 -o "$scratch/curve.png" >"$scratch/out" \
  2>"$scratch/err"
status=$?
if [ $status -ne 1 ] || [ "$(wc -l < "$scratch/err")" != 1 ] ||
   ! grep -q '^cpu-widget-cli: out of memory' "$scratch/err"; then
  echo "kept budget: status $status (expected 1), errors:"; cat "$scratch/err"; exit 1
fi
echo "streamed 10,000,000 points within the limit; the kept budget ran out of memory cleanly"
