#!/usr/bin/env bash
# A desktop session runs its JACK server on a /dev/shm of its own, which servers and
# clients of other sessions never meet; where the machine gives no user namespaces (an
# unshare that fails), it runs on the machine's.
set -u
source "$(dirname "$0")/session_lib.sh"
unshare --user --map-root-user --mount --ipc sh -c 'mount -t tmpfs tmpfs /dev/shm' 2>/dev/null ||
  skip "this machine gives no user namespaces"
session=$(dirname "$0")/../with_desktop_session.sh
private_dir work
marker=$(mktemp /dev/shm/kelvarin-marker-XXXXXX) || fail "cannot make a file in /dev/shm"
at_exit "rm -f '$marker'"
fail_logs=("$work/session.log")

# Prints 3 when the session saw the machine's /dev/shm, 4 when it did not.
in_session() {
  local status=0
  "$@" "$session" sh -c "jack_lsp >/dev/null || exit 2; [ -e '$marker' ] && exit 3; exit 4" \
    >"$work/session.log" 2>&1 || status=$?
  echo "$status"
}
[ "$(in_session)" -eq 4 ] || fail "a session ran on the machine's /dev/shm, or not at all"
mkdir "$work/bin"
printf '#!/bin/sh\nexit 1\n' >"$work/bin/unshare"
chmod +x "$work/bin/unshare"
[ "$(in_session env PATH="$work/bin:$PATH")" -eq 3 ] ||
  fail "without user namespaces, a session did not run on the machine's /dev/shm"
echo "a session has a /dev/shm of its own, and without user namespaces runs on the machine's"
