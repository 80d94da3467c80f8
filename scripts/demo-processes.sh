# Sourced by scripts/demo (and by its test): the demo's temporary folder and the processes it starts,
# all stopped when the demo ends, however it ends (normal end, an error, Ctrl-C, SIGTERM).
#
# Every process starts in a session of its own, so that stopping it also stops what it started
# (xvfb-run's X server, say). PIDs and values come back in variables, never through a command
# substitution: a function run inside $(...) runs in a subshell, and what it adds to the PID list
# there is lost to the clean-up.

demo_work=$(mktemp -d)
demo_pids=()
demo_started= # the PID (and process group) of the process demo_start started last
demo_value=   # what demo_start_sim read from the simulator's start-up line

# Starts "$@" in the background in a session of its own and records its PID.
demo_start() {
    setsid "$@" &
    demo_started=$!
    demo_pids+=("$demo_started")
}

# True while any process of the given process groups is alive.
demo_any_alive() {
    local pid
    for pid in "$@"; do
        kill -0 -- "-$pid" 2>/dev/null && return 0
    done
    return 1
}

# Stops the given started processes and everything in their process groups: SIGTERM, up to 5 s to
# save and quit, then SIGKILL for what is left. Drops them from the PID list.
demo_stop() {
    local pid kept=() tries
    [ $# -gt 0 ] || return 0
    for pid in "$@"; do
        kill -TERM -- "-$pid" 2>/dev/null || true
    done
    for ((tries = 0; tries < 50; tries++)); do
        demo_any_alive "$@" || break
        sleep 0.1
    done
    for pid in "$@"; do
        ! demo_any_alive "$pid" || kill -KILL -- "-$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    for pid in "${demo_pids[@]}"; do
        case " $* " in *" $pid "*) ;; *) kept+=("$pid") ;; esac
    done
    demo_pids=("${kept[@]}")
}

# Waits for a started process; whatever it left in its process group is stopped. Returns its status.
# A trapped signal interrupts the wait at once, unlike a command run in the foreground.
demo_wait() {
    local status=0
    wait "$1" || status=$?
    demo_stop "$1"
    return "$status"
}

# Runs "$@" as a started process and waits for it.
demo_run() {
    demo_start "$@"
    demo_wait "$demo_started"
}

# Starts the simulator $demo_sim with the given options and waits (10 s at most) for its start-up
# line that begins with $1 ("TCP" or "PTY"), so that nothing uses it before it listens; sets
# demo_value to that line's value after its last colon. A simulator that does not get there is
# stopped.
demo_start_sim() {
    local wanted=$1 out="$demo_work/sim-${#demo_pids[@]}.out" line tries
    shift
    demo_start "$demo_sim" --time-scale 2 "$@" >"$out" 2>&1
    for ((tries = 0; tries < 100; tries++)); do
        while IFS= read -r line; do
            case "$line" in
            "$wanted "*)
                sed 's/^/tamrix-sim: /' "$out" >&2
                demo_value=${line#"$wanted" }
                demo_value=${demo_value##*:}
                return 0
                ;;
            esac
        done <"$out"
        kill -0 "$demo_started" 2>/dev/null || break
        sleep 0.1
    done
    sed 's/^/tamrix-sim: /' "$out" >&2
    demo_stop "$demo_started"
    return 1
}

# The demo's simulators: a K760 TEC controller on TCP port $1 (any free port if that one is taken),
# its port in demo_tcp, and an X510 laser + TEC on a pseudo-terminal linked at $demo_work/x510.
demo_start_sims() {
    demo_start_sim TCP --model K760 --tcp "$1" || demo_start_sim TCP --model K760 --tcp 0
    demo_tcp=$demo_value
    demo_start_sim PTY --model X510 --pty "$demo_work/x510"
}

demo_clean_up() {
    trap '' INT TERM
    demo_stop "${demo_pids[@]}"
    rm -rf "$demo_work"
}
trap demo_clean_up EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
