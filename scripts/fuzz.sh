#!/bin/sh
# Runs every fuzz target of build/fuzz for FUZZ_SECONDS seconds each, one
# after the other with a single worker, and fails on the first finding.
# Corpora grow in build/fuzz/corpus/<target>, seeded from the regression
# corpus; findings land in build/fuzz/findings/<target>. The last lines of
# each run (executions, speed, coverage) are kept in build/fuzz/<target>.log.
set -eu
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-120}
targets=${FUZZ_TARGETS:-"wav2dmx dmx2wav settings report prepare info"}
bin=build/fuzz/bin

for t in $targets; do
  corpus=build/fuzz/corpus/$t
  findings=build/fuzz/findings/$t
  mkdir -p "$corpus" "$findings"
  extra=""
  seeds=""
  case $t in
    wav2dmx) extra="-dict=fuzz/wav.dict"; from=tests/corpus/wav; ext=wav ;;
    settings) from=tests/corpus/ini; ext=ini ;;
    # Its seeds carry their own option bytes: the folder is a corpus as it is.
    prepare) from=""; seeds=tests/corpus/prepare ;;
    # Its seeds carry their own option byte already.
    info) from=""; seeds=tests/corpus/info ;;
    *) from="" ;;
  esac
  # The targets take their settings from the first byte: the regression
  # files become seeds behind a zero byte (the default settings).
  if [ -n "$from" ] && [ -d "$from" ]; then
    seeds=build/fuzz/seeds/$t
    mkdir -p "$seeds"
    for f in "$from"/*."$ext"; do
      [ -f "$f" ] || continue
      { printf '\000'; cat "$f"; } >"$seeds/$(basename "$f")"
    done
  fi
  echo "== fuzz_$t for $seconds s"
  # shellcheck disable=SC2086
  if ! "$bin/fuzz_$t" $extra -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" $seeds \
      >"build/fuzz/$t.log" 2>&1; then
    tail -n 40 "build/fuzz/$t.log"
    echo "fuzz_$t: finding in $findings" >&2
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE' "build/fuzz/$t.log" || true
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "build/fuzz/$t.log" || true
done
