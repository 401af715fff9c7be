#!/usr/bin/env bash
# run_fuzz_target.sh FUZZER SECONDS SEED_CORPUS ARTIFACT_PREFIX: runs the fuzzer for a
# fixed time with a fixed seed. New inputs go to a private scratch directory, so the
# committed corpus never changes; a failing input is kept under ARTIFACT_PREFIX.
set -euo pipefail
fuzzer=$1 seconds=$2 seeds=$3 artifacts=$4
source "$(dirname "$0")/../tests/session/session_lib.sh"
private_dir scratch
"$fuzzer" -max_total_time="$seconds" -seed=1 -print_final_stats=1 \
  -artifact_prefix="$artifacts" "$scratch" "$seeds"
