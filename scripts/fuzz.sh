#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan + UBSan) and runs each fuzz
# target for the given number of seconds on a copy of its committed corpus.
# Any finding (crash, sanitizer report, failed check, hang, leak) stops the
# script with an error; its input is kept in build-fuzz/findings/<target>/.
#
#   scripts/fuzz.sh [seconds] [target...]     (default: 60, every target)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_exports fuzz_card fuzz_der fuzz_directory)

./scripts/install-deps.sh clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}"

for t in "${targets[@]}"; do
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$t" "$work/corpus"
  findings="build-fuzz/findings/$t"
  mkdir -p "$findings"
  echo "== $t for ${seconds}s"
  "build-fuzz/fuzz/$t" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work/corpus" 2>"$work/log" || {
    tail -n 60 "$work/log"
    echo "$t: finding kept in $findings/" >&2
    exit 1
  }
  grep -E '^stat::number_of_executed_units' "$work/log" || true
  rm -rf "$work"
done
