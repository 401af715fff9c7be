#!/usr/bin/env bash
# A short fuzzing run, from the committed seeds, into a private corpus that is removed
# afterwards; a finding fails the run and its input is printed as hex.
#
#   run_fuzz.sh FUZZER SEED_DIRECTORY SECONDS
set -euo pipefail
fuzzer=$1
seeds=$2
seconds=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/" "$work/corpus" "$seeds" || status=$?
for finding in "$work"/crash-* "$work"/timeout-* "$work"/oom-* "$work"/leak-*; do
  [ -e "$finding" ] || continue
  echo "finding $(basename "$finding"):"
  od -An -tx1 -v "$finding" | head -n 20
  status=1
done
exit $status
