#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (address and undefined-behaviour
# sanitizers) and runs each for SECONDS (default 60) on a scratch copy of its seed corpus and
# regression inputs. The repository's folders are only read: new inputs and crash files go
# under BUILD/fuzz-runs/<time>/. Prints one line per target; exits non-zero on any crash.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [SECONDS]" >&2
  exit 2
fi
build_dir=${CLIPMILL_FUZZ_BUILD_DIR:-build-fuzz}

bash scripts/install-deps.sh
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DCLIPMILL_FUZZ=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

mkdir -p "$build_dir/fuzz-runs"
run_dir=$(mktemp -d "$build_dir/fuzz-runs/$(date +%Y%m%d-%H%M%S)-XXXX")
run_dir=$(cd "$run_dir" && pwd)
echo "fuzz: $seconds s per target; inputs, crash files and logs in $run_dir"

crashed=0
for source in fuzz/*.cpp; do
  name=$(basename "$source" .cpp)
  corpus="$run_dir/corpus/$name"
  artifacts="$run_dir/artifacts/$name"
  log="$run_dir/$name.log"
  mkdir -p "$corpus" "$artifacts"
  for seeds in "fuzz/corpus/$name" "fuzz/regressions/$name"; do
    if [ -d "$seeds" ]; then cp -R "$seeds/." "$corpus/"; fi
  done

  status=0
  "$build_dir/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || status=$?

  executions=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n 1 || true)
  if [ -z "$executions" ]; then
    executions=$(grep -o '^#[0-9]*' "$log" | tr -d '#' | tail -n 1 || true)
  fi
  crash=$(find "$artifacts" -type f | sort | head -n 1)
  if [ -n "$crash" ] || [ "$status" -ne 0 ]; then
    crashed=1
    echo "$name: ${executions:-?} executions, crash: ${crash:-exit status $status} (log: $log)"
  else
    echo "$name: ${executions:-?} executions, no crash"
  fi
done
exit "$crashed"
