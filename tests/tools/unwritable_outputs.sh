#!/usr/bin/env bash
# Outputs the system will not take: a directory on a read-only file system, and a disk
# that fills up while the file is written. Both tools say so in one line, end with
# status 1 and leave nothing on the disk. Each case mounts a small tmpfs in a user and
# mount namespace of its own; where there are none, the test is skipped.
#
#   unwritable_outputs.sh KELVARIN_RENDER KELVARIN_CONVERT
set -uo pipefail
render=$1 convert=$2
source "$(dirname "$0")/../session/session_lib.sh"
private_dir work
if ! unshare -rm true 2>/dev/null; then
  skip "no user and mount namespaces (unshare -rm), so no small file system to fill"
fi
cd "$work" || exit 1
mkdir disk
# Thirty seconds of a held note, some 2.7 MB of WAV and more than 16 KB of any type;
# 5000 records, a 20 KB MIDI file.
printf '\x39\x7f\x00\x00\x00\x00\x00\x00\x39\x00\x00\x00\x30\x75\x00\x00' >midi.dat
head -c 40000 /dev/zero >releases.dat

# on_disk MOUNT_OPTIONS PATTERN TOOL ARGUMENTS...: runs the tool with a fresh tmpfs
# mounted on disk/, and checks its status, what it said and what it left there.
on_disk() {
  local options=$1 pattern=$2
  shift 2
  unshare -rm bash -c 'mount -t tmpfs -o "$1" tmpfs disk || exit 3
                       shift
                       status=0
                       "$@" 2>said.txt || status=$?
                       echo "$status"
                       ls -A disk' - "$options" "$@" >result.txt
  local status left said
  status=$(head -n 1 result.txt)
  left=$(tail -n +2 result.txt)
  said=$(cat said.txt)
  [ "$status" = 1 ] || fail "$* on a tmpfs ($options) ended with '$status', not 1: $said"
  [ "$(printf '%s\n' "$said" | wc -l)" -eq 1 ] && [[ "$said" =~ $pattern ]] ||
    fail "$* on a tmpfs ($options) said '$said', expected /$pattern/"
  [ -z "$left" ] || fail "$* left $left on the tmpfs ($options)"
}

on_disk ro "^kelvarin-render: disk/out.wav: Read-only file system$" "$render" midi.dat disk/out.wav
on_disk ro "^kelvarin-convert: disk/out.mid: Read-only file system$" "$convert" midi.dat disk/out.mid
for type in wav flac ogg; do
  on_disk size=16k "^kelvarin-render: disk/out.$type: No space left on device$" "$render" midi.dat disk/out.$type
done
on_disk size=16k "^kelvarin-convert: disk/out.mid: No space left on device$" "$convert" releases.dat disk/out.mid
echo "a read-only directory and a full disk were refused, and nothing was left on either"
