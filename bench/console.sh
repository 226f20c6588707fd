#!/usr/bin/env bash
# The console on the simulated controller: time from launch to the first decoded status
# reply, idle CPU over 30 s, resident memory after 60 s.
set -euo pipefail
build=${BUILD:-build}
idle_seconds=${IDLE_SECONDS:-30}
rss_at=${RSS_AT_SECONDS:-60}
. "$(dirname "$0")/lib/console_run.sh"
start_sim
printf '[General]\r\nSerialport=1\r\n[Ports]\r\nCOM1=%s\r\n[OmniRig]\r\nRig1=0\r\nRig2=0\r\n' "$work/kt6" >"$work/skarnel.ini"

start=$(date +%s%N)
QT_QPA_PLATFORM=offscreen "$build/bin/skarnel-kt6" --settings "$work/skarnel.ini" 2>"$work/console.err" &
console=$!
pids+=($console)
online=""
for _ in $(seq 400); do
  if grep -q 'online' "$work/console.err"; then online=$(date +%s%N); break; fi
  sleep 0.025
done
if [ -z "$online" ]; then
  echo "bench console: the console never reported the controller online" >&2
  exit 1
fi
echo "BENCH console_first_status $(( (online - start) / 1000000 )) ms"

bench_cpu "$console" "$idle_seconds" console_idle_cpu
elapsed=$(( ($(date +%s%N) - start) / 1000000000 ))
[ "$elapsed" -lt "$rss_at" ] && sleep $((rss_at - elapsed))
rss=$(awk '/VmRSS/ {print $2}' "/proc/$console/status")
echo "BENCH console_rss_60s $((rss / 1024)) MiB"
