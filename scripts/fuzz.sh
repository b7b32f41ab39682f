#!/bin/sh
# Runs every fuzz target of build/fuzz for FUZZ_SECONDS seconds each, one
# after the other with a single worker, and fails on the first finding.
# Corpora grow in build/fuzz/corpus/<target> from the seeds in
# fuzz/seeds/<target> (named by the outcome the unit tests hold them to),
# with the words of the file formats from fuzz/*.dict; findings land in
# build/fuzz/findings/<target>. The last lines of each run
# (executions, speed, coverage) are kept in build/fuzz/<target>.log.
set -eu
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-120}
targets=${FUZZ_TARGETS:-"wav2dmx dmx2wav settings prepare info"}
bin=build/fuzz/bin

for t in $targets; do
  corpus=build/fuzz/corpus/$t
  findings=build/fuzz/findings/$t
  mkdir -p "$corpus" "$findings"
  extra=""
  case $t in
    wav2dmx) extra="-dict=fuzz/wav.dict" ;;
    prepare | info) extra="-dict=fuzz/sound.dict" ;;
  esac
  echo "== fuzz_$t for $seconds s"
  # shellcheck disable=SC2086
  if ! "$bin/fuzz_$t" $extra -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "fuzz/seeds/$t" \
      >"build/fuzz/$t.log" 2>&1; then
    tail -n 40 "build/fuzz/$t.log"
    echo "fuzz_$t: finding in $findings" >&2
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE' "build/fuzz/$t.log" || true
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "build/fuzz/$t.log" || true
done
