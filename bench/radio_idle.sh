#!/usr/bin/env bash
# The whole console (offscreen) on the simulator, following rig 1 on rigctld's dummy rig with
# PTT: CPU of the console process over 30 s while nothing changes. The rig is read on its
# worker thread all along; this is what that costs the operator's machine.
set -euo pipefail
build=${BUILD:-build}
idle_seconds=${IDLE_SECONDS:-30}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "bench radio_idle: $*" >&2; exit 1; }

# rigctld on a loopback port of its own: one that is taken makes it exit, and the next is tried.
rig_port=""
for _ in $(seq 20); do
  port=$((20000 + RANDOM % 20000))
  rigctld -m 1 -P RIG -T 127.0.0.1 -t "$port" >/dev/null 2>&1 &
  rigctld=$!
  for _ in $(seq 100); do
    if rigctl -m 2 -r "127.0.0.1:$port" f >/dev/null 2>&1; then rig_port=$port; break; fi
    kill -0 "$rigctld" 2>/dev/null || break
    sleep 0.05
  done
  if [ -n "$rig_port" ]; then pids+=($rigctld); break; fi
  kill "$rigctld" 2>/dev/null || true
  wait "$rigctld" 2>/dev/null || true
done
[ -n "$rig_port" ] || fail "rigctld could not be started"
rigctl -m 2 -r "127.0.0.1:$rig_port" F 14074000 || fail "rigctld did not take a frequency"

"$build/bin/kt6-sim" --link "$work/kt6" --firmware 1.13 --trace "$work/trace" >"$work/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/kt6" ] && break; sleep 0.05; done
[ -e "$work/kt6" ] || fail "kt6-sim did not make $work/kt6"
poll=""
[ -n "${RIG_POLL_MS:-}" ] && poll="PollMs=$RIG_POLL_MS\r\n"
printf "[General]\r\nSerialport=1\r\n[Ports]\r\nCOM1=%s\r\n[OmniRig]\r\nRig1=1\r\nRig2=0\r\n[Radio1]\r\nModel=2\r\nPort=127.0.0.1:%s\r\n${poll}[Radio2]\r\nModel=0\r\n" \
  "$work/kt6" "$rig_port" >"$work/skarnel.ini"

QT_QPA_PLATFORM=offscreen "$build/bin/skarnel-kt6" --settings "$work/skarnel.ini" 2>"$work/console.err" &
console=$!
pids+=($console)
# Followed: the rig's frequency reached the controller.
for _ in $(seq 300); do grep -q 'set-frequency 14074 kHz' "$work/trace" 2>/dev/null && break; sleep 0.05; done
grep -q 'set-frequency 14074 kHz' "$work/trace" || fail "the console never sent the rig's frequency"

# The whole process, and its window thread (the one whose id is the process's); the rest is
# the rig's worker thread, Qt's own threads being asleep.
ticks() { awk '{print $14 + $15}' "$1"; }
hz=$(getconf CLK_TCK)
t0=$(ticks "/proc/$console/stat")
w0=$(ticks "/proc/$console/task/$console/stat")
sleep "$idle_seconds"
t1=$(ticks "/proc/$console/stat")
w1=$(ticks "/proc/$console/task/$console/stat")
awk -v d=$((t1 - t0)) -v w=$((w1 - w0)) -v hz="$hz" -v s="$idle_seconds" 'BEGIN {
  printf "bench radio_idle: window thread %.2f %%, other threads %.2f %%\n",
    100 * w / hz / s, 100 * (d - w) / hz / s > "/dev/stderr"
  printf "BENCH console_idle_cpu_rig %.2f %%\n", 100 * d / hz / s
}'
