#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a bounded time, one after
# the other, starting from the seeds in fuzz/corpus/<name>/.
#   scripts/fuzz.sh [seconds per target, default 60]
# Build directory: build/fuzz (or $DEVU_FUZZ_BUILD_DIR). Inputs found to be interesting collect
# in <build>/corpus/<name>/, crashing inputs in <build>/findings/<name>/. Exits non-zero when a
# target found a crash.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${DEVU_FUZZ_BUILD_DIR:-$root/build/fuzz}"
targets=(binary json)

mkdir -p "$build"
if ! { CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build "$build" -j2 --target $(printf 'proto_value_%s_fuzzer ' "${targets[@]}"); } \
     >"$build/build.log" 2>&1; then
  tail -40 "$build/build.log"
  exit 2
fi

status=0
for name in "${targets[@]}"; do
  corpus="$build/corpus/$name"
  findings="$build/findings/$name"
  mkdir -p "$corpus" "$findings"
  echo "== proto_value_${name}_fuzzer for ${seconds}s"
  if ! "$build/proto_value_${name}_fuzzer" "$corpus" "$root/fuzz/corpus/$name" \
      -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$findings/" 2>"$build/$name.log"; then
    status=1
    echo "!! crash: see $build/$name.log and $findings/"
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$build/$name.log" || true
done
exit "$status"
