#!/usr/bin/env bash
# Runs the libFuzzer targets of the native tree one after the other, each for
# the given time, and prints a summary worth quoting: executions, speed,
# coverage, corpus and findings per target, and the intended differences the
# differential targets met.
#   scripts/fuzz.sh [SECONDS] [TARGET...]   (default 600 s, every target)
#   scripts/fuzz.sh decode_fuzz 3600        (the older order works as well)
#   FUZZ_RUNS=10000000 scripts/fuzz.sh 14400 diff_decode_fuzz
#                                           (stops at 10^7 inputs or the time,
#                                           whichever comes first)
#   QUORVEL_LEGACY_METHOD=-pm2- scripts/fuzz.sh 3600 legacy_diff_fuzz
#                                           (one method's inputs only)
# New inputs collect in build/native/fuzz-corpus/TARGET, logs in
# build/native/fuzz-logs/TARGET.log, a crashing input in
# build/native/fuzz-findings/TARGET/ (and inputs that once took over 10 s,
# counted apart as slow). The machine's load is printed before
# each target: figures from a loaded machine are slower, not wrong.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=${QUORVEL_NATIVE_TREE:-$here/build/native}
all=(header_fuzz decode_fuzz diff_decode_fuzz diff_encode_fuzz legacy_diff_fuzz levels_diff_fuzz)

seconds=600
targets=()
for arg in "$@"; do
  if [[ $arg =~ ^[0-9]+$ ]]; then seconds=$arg; else targets+=("$arg"); fi
done
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
for t in "${targets[@]}"; do
  [[ " ${all[*]} " == *" $t "* ]] || { echo "unknown target $t (known: ${all[*]})" >&2; exit 2; }
done

cmake --build "$tree" --target "${targets[@]}" -j2 >/dev/null
mkdir -p "$tree/fuzz-logs"

summary=()
intended=()
for t in "${targets[@]}"; do
  corpus=$tree/fuzz-corpus/$t
  findings=$tree/fuzz-findings/$t
  log=$tree/fuzz-logs/$t.log
  mkdir -p "$corpus" "$findings"
  echo "fuzz.sh: $t for $seconds s (load: $(cut -d' ' -f1-3 /proc/loadavg))"
  status=0
  runs=()
  [ -z "${FUZZ_RUNS:-}" ] || runs=(-runs="$FUZZ_RUNS")
  "$tree/$t" -max_total_time="$seconds" "${runs[@]}" -max_len=65536 -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$here/tests/fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\) .*/\1/p' <<<"$last")
  units=$(sed -n 's/.* corp: \([0-9]*\)\/.*/\1/p' <<<"$last")
  # A slow unit is an input that took over 10 s once, kept for a look: on a
  # loaded machine that is the load's doing, so it is counted apart.
  found=$(find "$findings" -type f ! -name 'slow-unit-*' | wc -l)
  slow=$(find "$findings" -type f -name 'slow-unit-*' | wc -l)
  [ "$slow" -eq 0 ] || found="$found ($slow slow)"
  if [ "$status" -ne 0 ] && [ "${found%% *}" -eq 0 ]; then found="? (exit $status, see $log)"; fi
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  summary+=("$(printf '%-17s %7s s %13s %9s %6s %7s  %s' "$t" "${took:-$seconds}" "${execs:-?}" "${rate:-?}" \
    "${cov:-?}" "${units:-?}" "$found")")
  if line=$(grep -h 'FINDING' "$log" | head -1); then summary+=("    $line"); fi
  if line=$(grep -h 'intended differences met' "$log" | tail -1); then intended+=("$line"); fi
done

echo
echo "fuzz.sh summary ($(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load now: $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-17s %9s %13s %9s %6s %7s  %s\n' target time executions exec/s cov corpus findings
printf '%s\n' "${summary[@]}"
[ ${#intended[@]} -eq 0 ] || printf '%s\n' "${intended[@]}"
