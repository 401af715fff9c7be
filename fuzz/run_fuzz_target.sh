#!/usr/bin/env bash
# run_fuzz_target.sh FUZZER SECONDS SEED_CORPUS ARTIFACT_PREFIX: runs the fuzzer for a
# fixed time with a fixed seed. New inputs go to a private scratch directory, so the
# committed corpus never changes; a failing input is kept under ARTIFACT_PREFIX.
set -euo pipefail
fuzzer=$1 seconds=$2 seeds=$3 artifacts=$4
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvarin-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
"$fuzzer" -max_total_time="$seconds" -seed=1 -print_final_stats=1 \
  -artifact_prefix="$artifacts" "$scratch" "$seeds"
