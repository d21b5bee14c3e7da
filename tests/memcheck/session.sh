#!/bin/sh
# A scripted session of the real program under valgrind's memcheck, driven through the keyboard
# the way a person would: start, change a few options (the blank 90 nm node item included),
# press "Best Performance", move every slider, lock a slider and try to move it, type a limit,
# close the window. Run on a virtual display (make memcheck does this):
#
#   xvfb-run -a -s "-screen 0 1920x1080x24" tests/memcheck/session.sh PROGRAM CLOSE_WINDOW OUT [ARG...]
#
# Further arguments go to the program: with --map the design-space map is open beside the
# window all along, rebuilt after each action, and closes with it.
#
# Passes when the program ends with status 0 after the close, printed what each action should
# print, and valgrind reports no error: no invalid read or write, no use of uninitialised
# memory and no definite leak outside the suppressions in gtk.supp.
set -eu

program=$1
close_window=$2
out=${3:-build/memcheck}
if [ $# -ge 3 ]; then shift 3; else set --; fi
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
log=$out/valgrind.log
trace=$out/stdout.txt
: >"$trace"

# GLib's slice allocator and its caches would hide GTK's memory from valgrind.
G_SLICE=always-malloc G_DEBUG=gc-friendly valgrind --tool=memcheck --leak-check=full \
    --show-leak-kinds=definite --errors-for-leak-kinds=definite --track-origins=yes \
    --num-callers=40 --suppressions="$here/gtk.supp" --gen-suppressions=all --error-exitcode=99 \
    --log-file="$log" "$program" "$@" >"$trace" 2>"$out/stderr.txt" &
pid=$!

fail() {
    echo "memcheck: $*" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
}

count() { grep -c -- "$1" "$trace" || true; }

# Waits until the program has printed at least $2 lines matching $1.
wait_for() {
    tries=0
    while [ "$(count "$1")" -lt "$2" ]; do
        kill -0 "$pid" 2>/dev/null || fail "the program ended before printing '$1' ($2 times)"
        tries=$((tries + 1))
        [ "$tries" -le 2400 ] || fail "no '$1' ($2 times) after 10 minutes"
        sleep 0.25
    done
}

# Waits until standard output has not grown for two seconds.
settle() {
    last=-1
    quiet=0
    while [ "$quiet" -lt 8 ]; do
        size=$(wc -c <"$trace")
        if [ "$size" -eq "$last" ]; then quiet=$((quiet + 1)); else quiet=0; fi
        last=$size
        sleep 0.25
    done
}

key() { xdotool key --delay 100 "$@"; }

# The search summaries printed so far; each recalculation adds one.
summaries() { count '^SpeedUp_max = '; }

window=$(timeout 300 xdotool search --sync --onlyvisible --name '^CPU widget$' | head -1)
[ -n "$window" ] || fail "the window did not appear"
xdotool windowfocus --sync "$window"
settle

# The option boxes, in focus order from the first, which has the focus at start.
key Down && wait_for '^0 1$' 1          # workload: DB2/TPCH
key Tab Down && wait_for '^1 1$' 1      # memory: 3D Memory
key Tab Down && wait_for '^2 1$' 1      # transistor: LOP/HP
key Tab Down && wait_for '^3 1$' 1      # core kind: FPGA
key Tab Up && wait_for '^4 0$' 1        # node: the blank 90 nm item
key Down && wait_for '^4 1$' 1          # node: 65nm again
settle

# "Best Performance", then each slider to both ends of its range: core count, cache size,
# supply voltage, frequency (each one search at least) and speedup (the gauge only).
n=$(summaries)
key Tab space && wait_for '^SpeedUp_max = ' $((n + 1))
for slider in cores cache voltage frequency; do
    n=$(summaries)
    key Tab Home End && wait_for '^SpeedUp_max = ' $((n + 1))
    settle
done
key Tab Home End
settle

# Lock the core count ("core number"), then try to move its slider: it snaps back unsearched.
key Tab space
settle
n=$(summaries)
key shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab Home End
settle
[ "$(summaries)" -eq "$n" ] || fail "a locked core-count slider ran a search"

# Type an area limit: one evaluation of the configuration on show.
key Tab Tab Tab Tab Tab Tab Tab Tab
n=$(summaries)
key ctrl+a && xdotool type --delay 100 150 && key Return
wait_for '^SpeedUp_max = ' $((n + 1))
settle

"$close_window" "$window" || fail "could not ask the window to close"
status=0
wait "$pid" || status=$?

echo "memcheck: $(grep -c '' "$trace") lines of output, $(summaries) searches; valgrind's log in $log"
grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|suppressed:" "$log" |
    sed 's/^==[0-9]*== */  /'
case $status in
0) echo "memcheck: no errors" ;;
99) fail "valgrind found errors (see $log)" ;;
*) fail "the program ended with status $status" ;;
esac
