#!/bin/sh
# Runs one fuzz target for a bounded time (make fuzz does this for every target):
#
#   tests/fuzz/run.sh PROGRAM NAME SECONDS WORK_FOLDER
#
# starting from tests/fuzz/NAME/seeds and its regressions, with its dictionary when there is
# one, and growing a working corpus in WORK_FOLDER (not kept in the repository). A crash, a
# hang (over 3 s on one input), a leak or any sanitizer report ends the run with a failure,
# and the input is kept in tests/fuzz/NAME/regressions, where the test suite replays it.
set -eu

program=$1
name=$2
seconds=$3
work=$4
here=$(cd "$(dirname "$0")" && pwd)
cases=$here/$name
mkdir -p "$work/corpus" "$cases/regressions"
work=$(cd "$work" && pwd) # the targets may change their working folder
dictionary=""
[ -f "$cases/$name.dict" ] && dictionary="-dict=$cases/$name.dict"

# The target's own standard output and error go nowhere (-close_fd_mask=3); libFuzzer and the
# sanitizers report on the original standard error.
status=0
ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
LSAN_OPTIONS=suppressions=$here/../sanitizers/lsan.supp:print_suppressions=0 \
"$program" -max_total_time="$seconds" -timeout=3 -rss_limit_mb=2048 -close_fd_mask=3 \
    -print_final_stats=1 -artifact_prefix="$cases/regressions/" $dictionary \
    "$work/corpus" "$cases/seeds" "$cases/regressions" >"$work/fuzz.log" 2>&1 || status=$?

grep -E "^#[0-9]+.*(INITED|DONE)|stat::number_of_executed_units|stat::peak_rss_mb" "$work/fuzz.log" |
    sed "s/^/$name: /"
if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/fuzz.log" >&2
    echo "$name: failed (status $status); the input is in tests/fuzz/$name/regressions and" \
        "the full log in $work/fuzz.log" >&2
    exit 1
fi
