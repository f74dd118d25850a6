#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, AddressSanitizer, UBSan)
# and runs each on its seed corpus for a while.  Exits non-zero when any
# target finds a crash, a sanitizer report or a broken invariant; the input
# that did it is kept in build/fuzz/artifacts/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target (default 15); TARGETs among ini, image, eep,
# description, bench, driver (default all).  What a run finds beyond the
# seeds is kept in build/fuzz/run/TARGET/corpus and reused by the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
. scripts/common.sh

seconds=${1:-15}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(ini image eep description bench driver)

say "fuzz build (clang, libFuzzer, AddressSanitizer, UBSan)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

mkdir -p build/fuzz/artifacts
failed=()
for t in "${targets[@]}"; do
  run="$top/build/fuzz/run/$t"
  mkdir -p "$run/corpus" "$run/scratch"
  say "fuzz $t for ${seconds}s"
  # New inputs go to the first folder (never the seeds in the repository);
  # the target runs in a scratch folder of its own.
  if (cd "$run/scratch" && "$top/build/fuzz/tests/fuzz/fuzz_$t" "$run/corpus" "$top/tests/fuzz/corpus/$t" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$top/build/fuzz/artifacts/$t-" >"$run/log" 2>&1); then
    grep -E '^(Done|stat::number_of_executed_units)' "$run/log" | tail -1
  else
    tail -40 "$run/log"
    failed+=("$t")
  fi
done
if ((${#failed[@]})); then
  echo "fuzz targets failed: ${failed[*]} (inputs in build/fuzz/artifacts/)" >&2
  exit 1
fi
say "fuzz targets passed"
