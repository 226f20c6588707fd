#!/usr/bin/env bash
# The console without a window on the simulated controller: idle CPU over 30 s, resident
# memory after 60 s, and `kt6ctl status` through its interface (the whole kt6ctl process,
# median of 20).
set -euo pipefail
build=${BUILD:-build}
idle_seconds=${IDLE_SECONDS:-30}
rss_at=${RSS_AT_SECONDS:-60}
. "$(dirname "$0")/lib/console_run.sh"
start_sim
port=$((47000 + $$ % 1000))
printf '[General]\r\nSerialport=1\r\n[Ports]\r\nCOM1=%s\r\n[Api]\r\nPort=%d\r\n' "$work/kt6" "$port" \
  >"$work/skarnel.ini"

start=$(date +%s%N)
env -u DISPLAY -u WAYLAND_DISPLAY "$build/bin/skarnel-kt6" --headless --settings "$work/skarnel.ini" \
  2>"$work/console.err" &
console=$!
pids+=($console)
for _ in $(seq 400); do
  grep -q 'online' "$work/console.err" && break
  sleep 0.025
done
grep -q 'online' "$work/console.err" || {
  echo "bench headless: the console never reported the controller online" >&2
  exit 1
}

times=()
for _ in $(seq 20); do
  t0=$(date +%s%N)
  "$build/bin/kt6ctl" --settings "$work/skarnel.ini" status >/dev/null
  times+=($(( ($(date +%s%N) - t0) / 1000 )))
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 10p)
awk -v us="$median" 'BEGIN { printf "BENCH headless_kt6ctl_status_median %.1f ms\n", us / 1000 }'

bench_cpu "$console" "$idle_seconds" headless_idle_cpu
elapsed=$(( ($(date +%s%N) - start) / 1000000000 ))
[ "$elapsed" -lt "$rss_at" ] && sleep $((rss_at - elapsed))
rss=$(awk '/VmRSS/ {print $2}' "/proc/$console/status")
echo "BENCH headless_rss_60s $((rss / 1024)) MiB"
