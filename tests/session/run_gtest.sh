#!/usr/bin/env bash
# Runs a GoogleTest program (or a loader and its program) and judges what ran as well
# as how it ended: it fails when no test ran, so that a filter that matches nothing,
# a renamed test say, never passes; and when every test that ran skipped, it says so
# and is counted as skipped, never as passed.
#   run_gtest.sh PROGRAM [ARGUMENTS...]
set -u
source "$(dirname "$0")/session_lib.sh"
private_dir run
"$@" | tee "$run/output"
status=${PIPESTATUS[0]}
[ "$status" -eq 0 ] || exit "$status"
# GoogleTest's summary: "[==========] N tests from M test suites ran." and
# "[  PASSED  ] N tests." (lines end in CR LF under Wine).
count() { tr -d '\r' <"$run/output" | sed -n "s/^$1 \([0-9]*\) tests\{0,1\}[ .].*/\1/p" | tail -n 1; }
ran=$(count '\[==========\]')
passed=$(count '\[  PASSED  \]')
[ "${ran:-0}" -gt 0 ] || fail "no test ran: $*"
[ "${passed:-0}" -gt 0 ] || skip "every test that ran skipped: $*"
