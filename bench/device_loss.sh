#!/usr/bin/env bash
# The whole console (a real window on Xvfb) on the simulator, whose device goes away and
# comes back: CPU of the console process while the device is gone and the 20m key is
# pressed once a second, and the time from the device's return (the simulator's terminal
# back on the same path) to the first decoded status reply.
set -euo pipefail
build=${BUILD:-build}
lost_seconds=${LOST_SECONDS:-20}
returns=${RETURNS:-10}
work=$(mktemp -d)
pids=()
sim=""
cleanup() {
  for p in "${pids[@]}" $sim; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}" $sim; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "bench device_loss: $*" >&2; exit 1; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Waits up to $2 seconds for file $1 to hold $3 lines matching pattern $4, looking every 20 ms.
wait_lines() {
  for _ in $(seq $(($2 * 50))); do
    [ "$(grep -c -- "$4" "$1" 2>/dev/null || true)" -ge "$3" ] && return 0
    sleep 0.02
  done
  return 1
}

start_sim() {
  "$build/bin/kt6-sim" --link "$work/kt6" --firmware 1.13 --trace "$work/trace.$1" >"$work/sim.out" 2>&1 &
  sim=$!
  for _ in $(seq 100); do [ -e "$work/kt6" ] && return 0; sleep 0.02; done
  fail "kt6-sim did not make $work/kt6"
}
stop_sim() {
  kill "$sim"
  wait "$sim" 2>/dev/null || true
  sim=""
}

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x500x24 -nolisten tcp >"$work/xvfb.out" 2>&1 &
pids+=($!)
exec 3>&-
wait_lines "$work/display" 10 1 '^[0-9]' || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"

start_sim 0
printf '[General]\r\nSerialport=1\r\n[Ports]\r\nCOM1=%s\r\n[OmniRig]\r\nRig1=0\r\nRig2=0\r\n' "$work/kt6" >"$work/skarnel.ini"
"$build/bin/skarnel-kt6" --settings "$work/skarnel.ini" 2>"$work/console.err" &
console=$!
pids+=($console)
wait_lines "$work/console.err" 30 1 'online' || fail "the console never went online"

wid=""
for _ in $(seq 50); do
  wid=$(xdotool search --name '^SkarNel KT-6$' 2>/dev/null | head -n 1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "no console window"
# The 20m key by its shortcut (Ctrl+3): the operator's input goes through the X server and
# the window's own event handling, and the figure does not hang on where the key is drawn.
xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
press() { xdotool key --clearmodifiers ctrl+3; }

# The presses must reach the window, or the figure below would be of an idle console.
press
wait_lines "$work/trace.0" 5 1 'key 5' || fail "Ctrl+3 (the 20m key) did not reach the controller"

stop_sim
wait_lines "$work/console.err" 5 1 'device lost' || fail "the console did not notice the device going away"
ticks() { awk '{print $14 + $15}' "/proc/$console/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks)
for _ in $(seq "$lost_seconds"); do
  press
  sleep 1
done
t1=$(ticks)
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$lost_seconds" \
  'BEGIN { printf "BENCH device_lost_console_cpu %.2f %%\n", 100 * d / hz / s }'

# The device comes back at a different moment of the retry rhythm each time.
times=()
for i in $(seq "$returns"); do
  onlines=$(grep -c 'online' "$work/console.err" || true)
  start_sim "$i"
  back=$(now_ms)
  wait_lines "$work/console.err" 10 $((onlines + 1)) 'online' || fail "the console did not come back online"
  times+=($(( $(now_ms) - back )))
  [ "$i" -lt "$returns" ] || break
  stop_sim
  wait_lines "$work/console.err" 5 $((i + 1)) 'device lost' || fail "the console did not notice the device going away"
  sleep "$((RANDOM % 2)).$((RANDOM % 10))$((RANDOM % 10))"
done
echo "bench device_loss: return times (ms): ${times[*]}" >&2
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "BENCH device_return_to_status_median ${sorted[$(( ${#sorted[@]} / 2 ))]} ms"
echo "BENCH device_return_to_status_max ${sorted[-1]} ms"
