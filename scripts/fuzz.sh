#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang in build-fuzz and runs
# each for a bounded time, two at a time, on a corpus seeded from the tests'
# byte vectors. Prints executions per second and the run time of each.
#   scripts/fuzz.sh [seconds per harness, default 60]
# A crash stops with the input that caused it in build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); else launcher=(); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
  -DKXT_FUZZ=ON -DKXT_TESTS=OFF -DKXT_BENCH=OFF >/dev/null
harnesses=()
for source in fuzz/*_fuzz.cpp; do harnesses+=("$(basename "$source" .cpp)"); done
cmake --build "$build" -j"$(nproc)" --target "${harnesses[@]}"
python3 fuzz/make_seeds.py "$build/corpus" >/dev/null
mkdir -p "$build/crashes" "$build/logs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
run() {
  local name=$1
  mkdir -p "$build/corpus/$name"
  "$build/fuzz/$name" -max_total_time="$seconds" -max_len=1024 -timeout=10 -rss_limit_mb=1024 \
    -print_final_stats=1 -artifact_prefix="$build/crashes/$name-" "$build/corpus/$name" \
    >"$build/logs/$name.log" 2>&1
}
failed=0
pids=()
names=()
for name in "${harnesses[@]}"; do
  run "$name" &
  pids+=($!)
  names+=("$name")
  # Two at a time.
  if [ ${#pids[@]} -ge 2 ]; then
    wait "${pids[0]}" || { echo "FAILED: ${names[0]} (see $build/logs/${names[0]}.log)"; failed=1; }
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
done
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || { echo "FAILED: ${names[$i]} (see $build/logs/${names[$i]}.log)"; failed=1; }
done

printf '%-28s %12s %10s %8s\n' harness executions exec/s seconds
for name in "${harnesses[@]}"; do
  log="$build/logs/$name.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  printf '%-28s %12s %10s %8s\n' "$name" "${runs:-?}" "${rate:-?}" "${time:-?}"
done
exit $failed
