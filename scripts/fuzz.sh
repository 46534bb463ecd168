#!/usr/bin/env bash
# Runs every fuzzer in turn from its corpus in fuzz/corpus/, then merges what it found that
# reaches new code back into that corpus (the corpus stays small: only inputs that add
# coverage are kept).
#   scripts/fuzz.sh MINUTES      minutes per fuzzer (builds the asan preset first)
# Prints, per fuzzer, the inputs run, inputs per second and what the merge kept.
set -euo pipefail
cd "$(dirname "$0")/.."

minutes="${1:-}"
if ! [[ "$minutes" =~ ^[0-9]+([.][0-9]+)?$ ]]; then
  echo "usage: scripts/fuzz.sh MINUTES" >&2
  exit 2
fi
seconds=$(awk -v m="$minutes" 'BEGIN { s = int(m * 60); print (s < 1 ? 1 : s) }')

scripts/setup.sh
cmake --preset asan >/dev/null
targets=()
for src in fuzz/*_fuzzer.cpp; do targets+=("$(basename "$src" .cpp)"); done
cmake --build --preset asan -j "$(nproc)" --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
summary=()
for t in "${targets[@]}"; do
  bin=build-asan/bin/$t
  [ -x "$bin" ] || bin=$(find build-asan -type f -name "$t" -perm -u+x | head -n1)
  corpus=fuzz/corpus/$t
  mkdir -p "$corpus" "$work/$t"
  echo "== $t: $seconds s from $(ls "$corpus" | wc -l) seeds"
  # Findings (crashes, leaks, timeouts) land in the working folder and stop the run.
  status=0
  "$bin" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/$t" "$corpus" \
    >"$work/$t.log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$t.log" | tail -n1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$t.log" | tail -n1)
  if [ "$status" -ne 0 ]; then
    echo "$t: stopped with a finding (exit $status); the input is kept in fuzz/findings/" >&2
    mkdir -p fuzz/findings
    cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* fuzz/findings/ 2>/dev/null || true
    tail -n 40 "$work/$t.log" >&2
  fi
  before=$(ls "$corpus" | wc -l)
  "$bin" -merge=1 -max_len=65536 -rss_limit_mb=2048 "$corpus" "$work/$t" >"$work/$t.merge.log" 2>&1
  after=$(ls "$corpus" | wc -l)
  line="$t: ${runs:-?} inputs, ${rate:-?} inputs/s, corpus $before -> $after files ($(du -sh "$corpus" | cut -f1))"
  [ "$status" -ne 0 ] && line="$line, FINDING"
  summary+=("$line")
  echo "$line"
done
echo
echo "== summary ($seconds s each)"
printf '%s\n' "${summary[@]}"
