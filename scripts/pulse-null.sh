#!/usr/bin/env bash
# A private PulseAudio server whose only output is a null sink, with a
# recording of that sink's monitor, so that a test can hear what the program
# plays without any audio hardware:
#
#   pulse-null.sh run STATE_DIR COMMAND [ARGS...]
#
# starts the server and the recorder, runs COMMAND with PULSE_SERVER pointing
# at the server and VGWL_SOUND_RECORDING naming the recording (as a Windows
# path on Wine's Z: drive; raw signed 16-bit little-endian mono at 44100 Hz),
# then stops the two processes it started, by their pids. The exit code is
# COMMAND's. Nothing outside STATE_DIR is used or touched.
set -euo pipefail

cmd=${1:?usage: pulse-null.sh run STATE_DIR COMMAND [ARGS...]}
state=$(realpath -m "${2:?usage: pulse-null.sh run STATE_DIR COMMAND [ARGS...]}")
shift 2
[ "$cmd" = run ] || { echo "usage: pulse-null.sh run STATE_DIR COMMAND [ARGS...]" >&2; exit 2; }
[ $# -gt 0 ] || { echo "pulse-null.sh: no command" >&2; exit 2; }

mkdir -p "$state/runtime" "$state/home"
chmod 700 "$state/runtime"
socket="$state/runtime/native"
recording="$state/recording.raw"
rm -f "$socket" "$recording"

server_pid=
recorder_pid=
stop() {
    for pid in $recorder_pid $server_pid; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $recorder_pid $server_pid; do
        wait "$pid" 2>/dev/null || true
    done
}
trap stop EXIT

# The server keeps its runtime files and any state in STATE_DIR, not in the
# user's home; it never exits by itself while the command runs.
HOME="$state/home" XDG_RUNTIME_DIR="$state/runtime" PULSE_RUNTIME_PATH="$state/runtime" \
    PULSE_STATE_PATH="$state/home" \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
    --log-target=file:"$state/pulseaudio.log" \
    -L "module-null-sink sink_name=vgwl_null rate=44100 channels=1" \
    -L "module-native-protocol-unix socket=$socket auth-anonymous=1" \
    </dev/null >/dev/null 2>&1 &
server_pid=$!

export PULSE_SERVER="unix:$socket"
for _ in $(seq 1 100); do
    if HOME="$state/home" pactl info >/dev/null 2>&1; then
        break
    fi
    if ! kill -0 "$server_pid" 2>/dev/null; then
        echo "pulse-null.sh: the server did not start; see $state/pulseaudio.log" >&2
        exit 1
    fi
    sleep 0.1
done
HOME="$state/home" pactl info >/dev/null 2>&1 || {
    echo "pulse-null.sh: the server does not answer" >&2
    exit 1
}

HOME="$state/home" parec -d vgwl_null.monitor --format=s16le --channels=1 --rate=44100 \
    --latency-msec=20 </dev/null >"$recording" 2>"$state/parec.log" &
recorder_pid=$!
for _ in $(seq 1 100); do
    [ -s "$recording" ] && break
    sleep 0.1
done
[ -s "$recording" ] || {
    echo "pulse-null.sh: nothing is being recorded; see $state/parec.log" >&2
    exit 1
}

export VGWL_SOUND_RECORDING="Z:${recording//\//\\}"
status=0
"$@" || status=$?
exit "$status"
