#!/usr/bin/env bash
# kelvarin-render and kelvarin-convert refuse what they cannot do with exit status 1
# and one line on the error stream naming the file and the reason, and leave no output
# file behind, not even a hidden part of one; an older file of the output's name stays
# as it was. A midi.dat with a partial last record renders up to its last whole one.
# --help and --version answer; the progress line shows only on a terminal.
#
#   refusals.sh KELVARIN_RENDER KELVARIN_CONVERT
set -uo pipefail
render=$1 convert=$2
version=$(sed -n 's/^project(Kelvarin VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
source "$(dirname "$0")/../session/session_lib.sh"
private_dir work
cd "$work" || exit 1

# A held note and its release a second later, then a Standard MIDI File that ends in the
# middle of its track, one whose track chunk claims 100 bytes more than there are, and
# an empty file.
printf '\x39\x7f\x00\x00\x00\x00\x00\x00\x39\x00\x00\x00\xe8\x03\x00\x00' >midi.dat
track='\x00\x90\x3c\x64\x60\x80\x3c\x00\x00\xff\x2f\x00'
printf "MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk\x00\x00\x00\x0c$track" >good.mid
head -c 26 good.mid >truncated.mid
printf "MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk\x00\x00\x00\x70$track" >past_end.mid
: >empty.dat
echo "an older file" >old.wav
cp old.wav old.mid
mkdir inputs && cp midi.dat good.mid truncated.mid past_end.mid empty.dat inputs/
[ "$("$render" midi.dat check.wav 2>&1)" = "" ] && [ -s check.wav ] || fail "kelvarin-render does not render midi.dat quietly"
[ "$("$convert" good.mid check.dat 2>&1)" = "" ] && [ -s check.dat ] || fail "kelvarin-convert does not convert good.mid quietly"
rm check.wav check.dat
before=$(ls -A)

# refused PATTERN TOOL ARGUMENTS...: status 1, one line matching PATTERN, the directory
# as it was.
refused() {
  local pattern=$1 status=0
  shift
  "$@" >out.txt 2>err.txt || status=$?
  local said
  said=$(cat err.txt)
  rm out.txt err.txt
  [ "$status" -eq 1 ] || fail "$* ended with $status, not 1: $said"
  [ "$(printf '%s\n' "$said" | wc -l)" -eq 1 ] || fail "$* said more than one line: $said"
  [[ "$said" =~ $pattern ]] || fail "$* said '$said', expected /$pattern/"
  [ "$(ls -A)" = "$before" ] || fail "$* left $(ls -A | tr '\n' ' ') where there was $before"
  [ "$(cat old.wav)" = "an older file" ] && [ "$(cat old.mid)" = "an older file" ] || fail "$* changed an older file"
}

for tool in "$render" "$convert"; do
  name=${tool##*/}
  out=old.mid
  [ "$name" = kelvarin-render ] && out=old.wav
  refused "^$name: truncated.mid: a chunk's length \(12 bytes\) runs past the end of the file \(track 1 of 1\)$" \
    "$tool" truncated.mid "$out"
  refused "^$name: past_end.mid: a chunk's length \(112 bytes\) runs past the end" "$tool" past_end.mid "$out"
  refused "^$name: empty.dat: the file is empty$" "$tool" empty.dat "$out"
  refused "^$name: missing.dat: No such file or directory$" "$tool" missing.dat "$out"
  refused "^$name: inputs: Is a directory$" "$tool" inputs "$out"
  refused "^$name: nowhere/$out: No such file or directory$" "$tool" midi.dat "nowhere/$out"
  refused "^$name: midi.dat/$out: Not a directory$" "$tool" midi.dat "midi.dat/$out"
  refused "^$name: expected INPUT and OUTPUT, got 1 file names" "$tool" midi.dat
  refused "^$name: unknown option '--fast'" "$tool" --fast midi.dat "$out"
  "$tool" --help | grep -q "^Usage: $name " || fail "$name --help gives no usage"
  [ "$("$tool" --version)" = "$name (Kelvarin) $version" ] || fail "$name --version says '$("$tool" --version)'"
done
refused "^kelvarin-render: old.mp3: unknown extension" "$render" midi.dat old.mp3
refused "^kelvarin-render: --loops: '0' is not a whole number from 1 to" "$render" --loops 0 midi.dat old.wav
refused "^kelvarin-render: --rate: '4x' is not a whole number from 8000 to 192000" "$render" --rate=4x midi.dat old.wav
refused "^kelvarin-render: --settings needs a value" "$render" midi.dat old.wav --settings
refused "^kelvarin-render: unknown option '--settingz=x.ini'" "$render" --settingz=x.ini midi.dat old.wav
refused "^kelvarin-render: missing.ini: No such file or directory$" "$render" --settings missing.ini midi.dat old.wav
refused "^kelvarin-render: good.mid: the rendering would last more than 24 hours$" "$render" --loops 500000 good.mid old.wav
# Two notes 14 hours apart: more than a WAV file holds, refused before rendering.
printf '\x39\x7f\x00\x00\x00\x00\x00\x00\x3a\x7f\x00\x00\x80\x08\x01\x03' >long.dat
before=$(ls -A)
refused "^kelvarin-render: old.wav: a WAV file cannot hold so long a rendering" "$render" long.dat old.wav
# A file size limit stops the writing part way, as a full disk does.
head -c 40000 /dev/zero >releases.dat  # 5000 records: a 20 KB Standard MIDI File
before=$(ls -A)
refused "^kelvarin-render: old.wav: File too large$" bash -c 'ulimit -f 16 && exec "$@"' - "$render" midi.dat old.wav
refused "^kelvarin-convert: old.mid: File too large$" bash -c 'ulimit -f 16 && exec "$@"' - "$convert" releases.dat old.mid
# FLAC's and Ogg's encoders write their last frame or page as the file is closed: a limit
# one byte short of the whole file makes only that last write fail, and it is a failure.
for type in flac ogg; do
  "$render" midi.dat whole.$type && size=$(stat -c %s whole.$type) && rm whole.$type ||
    fail "kelvarin-render does not render midi.dat to .$type"
  refused "^kelvarin-render: old.$type: File too large$" prlimit --fsize=$((size - 1)) "$render" midi.dat old.$type
done
# Ended by a signal part way, the renderer takes its temporary file with it: two hours
# of a held note, stopped as soon as the file is there. Standard input is closed, so
# the file may well be descriptor 0.
printf '\x39\x7f\x00\x00\x00\x00\x00\x00\x39\x00\x00\x00\x00\xdd\x6d\x00' >hours.dat
before=$(ls -A)
"$render" hours.dat old.ogg <&- &
pid=$!
for _ in $(seq 3000); do
  compgen -G '.old.ogg.*' >/dev/null && break
  sleep 0.01
done
compgen -G '.old.ogg.*' >/dev/null || fail "kelvarin-render made no temporary file within 30 s"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 143 ] || fail "kelvarin-render ended with $status after SIGTERM, not 143"
[ "$(ls -A)" = "$before" ] || fail "SIGTERM left $(ls -A | tr '\n' ' ')"
"$render" --help | grep -q "first block that starts at or after sample" || fail "--help does not state when an event takes effect"

# The stray bytes of a partial record change nothing.
"$render" midi.dat whole.wav && cp midi.dat partial.dat && printf '\x3c\x7f\x00' >>partial.dat &&
  "$render" partial.dat partial.wav && cmp -s whole.wav partial.wav ||
  fail "a partial last record changed the rendering"
# Notes and velocities a Standard MIDI File cannot hold are left out, and counted.
printf '\xc8\x7f\x00\x00\x00\x00\x00\x00\x39\xc8\x00\x00\x00\x00\x00\x00\x39\x00\x00\x00\x10\x00\x00\x00' >high.dat
[ "$("$convert" high.dat high.mid 2>&1)" = "kelvarin-convert: high.dat: left out 2 event(s) whose note or velocity is above 127" ] ||
  fail "kelvarin-convert does not count the events it leaves out: $("$convert" high.dat high.mid 2>&1)"

# Progress: on a terminal one line rewritten in place after every second of sound, and
# nothing with --quiet. Three seconds of a note, then its release.
printf '\x39\x7f\x00\x00\x00\x00\x00\x00\x39\x00\x00\x00\xb8\x0b\x00\x00' >three.dat
if command -v script >/dev/null; then
  script -qec "'$render' three.dat tty.wav" /dev/null >tty.txt
  line=$(tr '\r' '\n' <tty.txt | sed 's/\x1b\[K//' | grep -v '^$' | tr '\n' '|')
  expected="kelvarin-render:  33%  1 s of 3 s|kelvarin-render:  66%  2 s of 3 s|"
  expected+="kelvarin-render: 100%  3.0 s, the last notes fading out|"
  expected+="kelvarin-render: 100%  3.4 s, the last notes fading out|"
  [ "$line" = "$expected" ] && [ "$(tail -c 1 tty.txt)" = "" ] ||
    fail "the progress on a terminal is not one line rewritten each second, ended: $(cat -v tty.txt)"
  script -qec "'$render' --quiet three.dat tty.wav" /dev/null >tty.txt
  [ ! -s tty.txt ] || fail "--quiet still shows progress: $(cat -v tty.txt)"
else
  echo "script (util-linux) is missing: the progress line on a terminal is not checked"
fi
# The finished file has the permissions the user's umask gives.
(umask 027 && "$render" three.dat mode.wav && "$convert" three.dat mode.mid)
[ "$(stat -c %a mode.wav mode.mid | tr '\n' ' ')" = "640 640 " ] ||
  fail "the outputs' permissions are $(stat -c %a mode.wav mode.mid | tr '\n' ' '), not 640 under umask 027"
echo "both tools refused every bad input and left nothing behind"
