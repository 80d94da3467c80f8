#!/usr/bin/env bash
# The demo's process handling: whichever way the demo ends (its normal end, an error, Ctrl-C,
# SIGTERM, even with a process that ignores SIGTERM), no process it started is left. A miniature demo
# sources the demo's process handling, starts the simulators as the demo does and a stand-in window
# that starts a child of its own (as xvfb-run starts an X server). Every process it starts carries a
# marker in its environment, so a leftover is found even when the demo has lost its PID.
# Usage: demo_processes_test.sh DEMO_PROCESSES_SH TAMRIX_SIM
set -euo pipefail
helper=$1
sim=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cat >"$tmp/mini-demo" <<'EOF'
set -euo pipefail
ending=$1
source "$DEMO_HELPER"
demo_sim=$DEMO_SIM
demo_start_sims 10001
# A stubborn window ignores SIGTERM (and so does its child).
ignore=; [ "$ending" != stubborn ] || ignore="trap '' TERM;"
demo_start sh -c "$ignore"'sleep 300 & echo >"$1/window-ready"; read -r line <"$1/close-window"' window "$DEMO_TMP"
echo >"$DEMO_TMP/demo-ready"
demo_wait "$demo_started"
[ "$ending" != error ] || false
EOF

mark=
# Reports a failure and stops what the miniature demo left behind.
fail() {
    echo "FAIL: $*" >&2
    [ -z "$mark" ] || marked "$mark" | xargs -r kill 2>/dev/null || true
    exit 1
}

# PIDs of the live processes that carry the marker $1.
marked() {
    grep -lzx "TAMRIX_DEMO_TEST_MARK=$1" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3 || true
}

# Waits up to $1 tenths of a second for the command "${@:2}" to succeed.
eventually() {
    local tries=$1
    shift
    for ((; tries > 0; tries--)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
ready() { [ -e "$tmp/window-ready" ] && [ -e "$tmp/demo-ready" ]; }
ended() { ! kill -0 "$demo" 2>/dev/null; }
none_left() { [ -z "$(marked "$mark")" ]; }

# Runs the miniature demo and ends it the way $1 says; $2 is the exit status expected.
check() {
    local ending=$1 expected=$2 status=0
    mark="$ending-$$-$RANDOM"
    rm -f "$tmp/window-ready" "$tmp/demo-ready" "$tmp/close-window"
    mkfifo "$tmp/close-window"
    # A session of its own, so that Ctrl-C can reach its process group as a terminal's would; and
    # SIGINT as a terminal leaves it, not ignored as for a background command of this script.
    TAMRIX_DEMO_TEST_MARK=$mark DEMO_HELPER=$helper DEMO_SIM=$sim DEMO_TMP=$tmp \
        setsid env --default-signal=INT bash "$tmp/mini-demo" "$ending" </dev/null >"$tmp/$ending.out" 2>&1 &
    demo=$!
    eventually 300 ready || fail "$ending: the miniature demo did not start: $(cat "$tmp/$ending.out")"
    # The demo, two simulators, the window and its child.
    [ "$(marked "$mark" | wc -l)" -ge 5 ] || fail "$ending: not every process started: $(marked "$mark")"
    case "$ending" in
    normal | error) echo close >"$tmp/close-window" ;;
    ctrl-c) kill -INT -- "-$demo" ;;
    sigterm | stubborn) kill -TERM "$demo" ;;
    esac
    eventually 300 ended || fail "$ending: the miniature demo did not end"
    wait "$demo" || status=$?
    [ "$status" -eq "$expected" ] || fail "$ending: exit status $status, expected $expected: $(cat "$tmp/$ending.out")"
    eventually 50 none_left || fail "$ending: left running: $(marked "$mark" | xargs ps -o pid=,args= -p)"
    echo "ok: $ending (exit status $status)"
}

check normal 0
check error 1
check ctrl-c 130
check sigterm 143
check stubborn 143
