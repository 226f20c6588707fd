# Sourced by the console benchmarks: a work folder and the processes started in it, all ended
# by their PIDs at exit; the simulated controller on a pseudo-terminal; a process's CPU.
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# kt6-sim (firmware 1.13) on $work/kt6, waited for.
start_sim() {
  "$build/bin/kt6-sim" --link "$work/kt6" --firmware 1.13 >"$work/sim.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -e "$work/kt6" ] && break; sleep 0.05; done
}

# Prints "BENCH <name> <percent> %": the CPU process $1 takes over $2 seconds.
bench_cpu() {
  local pid=$1 seconds=$2 name=$3 t0 t1 hz
  hz=$(getconf CLK_TCK)
  t0=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep "$seconds"
  t1=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" -v n="$name" \
    'BEGIN { printf "BENCH %s %.2f %%\n", n, 100 * d / hz / s }'
}
