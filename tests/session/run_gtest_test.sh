#!/usr/bin/env bash
# run_gtest.sh judges what a GoogleTest program ran: a filter that matches no test
# fails, and one that runs tests that pass passes.
#   run_gtest_test.sh GTEST_PROGRAM
set -u
source "$(dirname "$0")/session_lib.sh"
expect() {  # expect STATUS ARGUMENTS...: run_gtest.sh ends with STATUS
  local want=$1 status=0
  shift
  "$(dirname "$0")/run_gtest.sh" "$@" >/dev/null 2>&1 || status=$?
  [ "$status" -eq "$want" ] || fail "run_gtest.sh $* ended with $status, not $want"
}
expect 1 "$1" --gtest_filter=NoSuchSuite.NoSuchTest
expect 0 "$1" --gtest_filter='*'
echo "a filter that matches nothing fails, one that runs tests passes"
