#!/usr/bin/env bash
# The Windows build under Wine beside the native one, on kt6-sim's pseudo-terminal (Wine's COM7
# a link to it): kt6ctl status as a whole process, median of 10, native and kt6ctl.exe; and the
# Win32 backend's exchange round trip inside one process, where Wine's start-up is not counted.
# Skipped, with a message, when scripts/windows has not made build-windows/.
set -euo pipefail
build=${BUILD:-build}
win=build-windows/tree/bin
if [ ! -x "$win/kt6ctl.exe" ] || [ ! -d build-windows/prefix ]; then
  echo "bench windows: skipped, no build-windows/ (scripts/windows makes it)"
  exit 0
fi
export WINEPREFIX=$PWD/build-windows/prefix WINEARCH=win64 WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
work=$(mktemp -d)
sim=""
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 130" INT TERM
fail() { echo "bench windows: $*" >&2; exit 1; }

"$build/bin/kt6-sim" >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
for _ in $(seq 100); do
  tty=$(head -n1 "$work/sim.out")
  [ -n "$tty" ] && break
  sleep 0.05
done
[ -n "$tty" ] || fail "kt6-sim did not start"
ln -sfn "$tty" "$WINEPREFIX/dosdevices/com7"
"$wineserver" -p >/dev/null 2>&1 || true
"$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1

# Median of 10 runs of a whole command, in ms.
median_ms() {
  local times=()
  for _ in $(seq 10); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null || fail "$* failed"
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 5p | awk '{printf "%.1f", $1 / 1000}'
}
echo "BENCH kt6ctl_status_native_process_median $(median_ms "$build/bin/kt6ctl" --device "$tty" status) ms"
echo "BENCH kt6ctl_status_wine_process_median $(median_ms "$wine" "$win/kt6ctl.exe" --device COM7 status) ms"
"$wine" "$win/bench_exchange_com.exe" 7 wine_win32_exchange_roundtrip
