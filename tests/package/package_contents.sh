#!/usr/bin/env bash
# Builds the Debian package from a configured build and checks what it installs: every
# file where the desktop looks for it and nothing elsewhere, the dependencies found by
# dpkg-shlibdeps, a menu entry and metainfo that validate and agree with each other,
# icons drawn from the program's own, the manual page, and a program that runs.
#
#   package_contents.sh BUILD_DIR
set -euo pipefail
build=$1
source "$(dirname "$0")/../session/session_lib.sh"
private_dir work

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
debs=("$work"/out/kelvarin_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single kelvarin_*.deb: ${debs[*]}"
deb=${debs[0]}

app_id=io.github.kelvarin.Kelvarin
expected=(
  ./usr/bin/kelvarin
  ./usr/bin/kelvarin-render
  ./usr/bin/kelvarin-convert
  ./usr/share/applications/$app_id.desktop
  ./usr/share/metainfo/$app_id.metainfo.xml
  ./usr/share/icons/hicolor/16x16/apps/kelvarin.png
  ./usr/share/icons/hicolor/32x32/apps/kelvarin.png
  ./usr/share/icons/hicolor/48x48/apps/kelvarin.png
  ./usr/share/icons/hicolor/128x128/apps/kelvarin.png
  ./usr/share/icons/hicolor/scalable/apps/kelvarin.svg
  ./usr/share/man/man1/kelvarin.1.gz
  ./usr/share/man/man1/kelvarin-render.1.gz
  ./usr/share/man/man1/kelvarin-convert.1.gz
  ./usr/share/doc/kelvarin/copyright
  ./usr/share/doc/kelvarin/changelog.gz
  ./usr/lib/lv2/kelvarin.lv2/kelvarin.so
  ./usr/lib/lv2/kelvarin.lv2/manifest.ttl
  ./usr/lib/lv2/kelvarin.lv2/kelvarin.ttl
)
dpkg-deb -c "$deb" >"$work/contents" || fail "dpkg-deb cannot list the package"
files=$(awk '$1 !~ /^d/ { print $6 }' "$work/contents" | sort)
[ "$files" = "$(printf '%s\n' "${expected[@]}" | sort)" ] ||
  fail "the package holds other files than expected:
$(diff <(printf '%s\n' "${expected[@]}" | sort) <(echo "$files") || true)"
for program in kelvarin kelvarin-render kelvarin-convert; do
  grep -q "^-rwxr-xr-x root/root .* \./usr/bin/$program\$" "$work/contents" ||
    fail "$program is not an executable owned by root: $(grep "bin/$program\$" "$work/contents")"
done

depends=$(dpkg-deb -f "$deb" Depends)
for library in libfltk1.3 librtaudio6 libsamplerate0 libsndfile1; do
  [[ "$depends" == *"$library "* ]] || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$work/root"
root=$work/root
desktop=$root/usr/share/applications/$app_id.desktop
metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
desktop-file-validate "$desktop" || fail "the menu entry does not validate"
grep -qx 'Categories=AudioVideo;Audio;Midi;' "$desktop" || fail "the menu entry is not in AudioVideo;Audio;Midi;"
grep -qx 'X-NSM-Capable=true' "$desktop" || fail "the menu entry does not mark the program NSM-capable"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$root/usr/bin/$exec_line" ] || fail "the menu entry starts '$exec_line', which the package does not install in /usr/bin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "the menu entry's icon '$icon' is not installed"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log" >&2; fail "the metainfo does not validate"; }
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch the installed menu entry"
grep -q '<image>https://.*/docs/kelvarin-window.png</image>' "$metainfo" ||
  fail "the metainfo lacks the README's screenshot"

# The icons: each size right, the large ones the small drawings scaled up pixel for
# pixel, in the icon's own colours (its background is #1C2A4A).
icons=$root/usr/share/icons/hicolor
for size in 16 32 48 128; do
  [ "$(identify -format '%wx%h' "$icons/${size}x$size/apps/kelvarin.png")" = "${size}x$size" ] ||
    fail "the ${size}px icon is $(identify -format '%wx%h' "$icons/${size}x$size/apps/kelvarin.png")"
done
same_drawing() {  # same_drawing LARGE SMALL SIZE: LARGE sampled down to SIZE is SMALL
  local differing
  convert "$1" -sample "$3x$3" "$work/sampled.png"
  differing=$(compare -metric AE "$work/sampled.png" "$2" null: 2>&1) || true
  [ "$differing" = 0 ] || fail "$1 is not $2 scaled up: $differing pixels differ"
}
same_drawing "$icons/128x128/apps/kelvarin.png" "$icons/32x32/apps/kelvarin.png" 32
same_drawing "$icons/48x48/apps/kelvarin.png" "$icons/16x16/apps/kelvarin.png" 16
corner=$(convert "$icons/32x32/apps/kelvarin.png" -format '%[pixel:p{0,0}]' info:)
[ "$corner" = "srgb(28,42,74)" ] || fail "the icon's corner is $corner, not the icon's background"
# The scalable icon, its squares painted on a grid, is the 32-pixel one pixel for pixel.
svg_pixels() {
  grep -o '<rect [^>]*>' "$1" | awk '
    { x = 0; y = 0; w = 32; h = 32
      for (i = 1; i <= NF; i++) {
        split($i, kv, "=\""); sub(/".*/, "", kv[2])
        if (kv[1] == "x") x = kv[2] + 0; if (kv[1] == "y") y = kv[2] + 0
        if (kv[1] == "width") w = kv[2] + 0; if (kv[1] == "height") h = kv[2] + 0
        if (kv[1] == "fill") fill = kv[2]
      }
      for (j = y; j < y + h; j++) for (i = x; i < x + w; i++) grid[i "," j] = fill }
    END { for (j = 0; j < 32; j++) for (i = 0; i < 32; i++) print i "," j " " grid[i "," j] }'
}
png_pixels() { convert "$1" txt:- | sed -n 's/^\([0-9]*,[0-9]*\):.*\(#[0-9A-F]\{6\}\).*/\1 \2/p'; }
grep -q 'viewBox="0 0 32 32"' "$icons/scalable/apps/kelvarin.svg" || fail "the scalable icon is not 32 units square"
[ "$(svg_pixels "$icons/scalable/apps/kelvarin.svg" | sort)" = "$(png_pixels "$icons/32x32/apps/kelvarin.png" | sort)" ] ||
  fail "the scalable icon does not draw the 32-pixel icon"

manual=$(zcat "$root/usr/share/man/man1/kelvarin.1.gz")
for topic in Kelvarin.ini midi.dat JACK PulseAudio ALSA Tab DISPLAY; do
  grep -q "$topic" <<<"$manual" || fail "the manual page does not mention $topic"
done

# The plugin's bundle as hosts find it on Debian's LV2 path.
LV2_PATH=$root/usr/lib/lv2 lv2ls | grep -qx 'https://github.com/kelvarin/kelvarin/lv2' ||
  fail "no host finds the plugin in the package's /usr/lib/lv2: $(LV2_PATH=$root/usr/lib/lv2 lv2ls 2>&1)"

version=$(dpkg-deb -f "$deb" Version)
[ "$("$root/usr/bin/kelvarin" --version)" = "Kelvarin $version" ] ||
  fail "the packaged program says '$("$root/usr/bin/kelvarin" --version)', the package is $version"

# The command-line tools: their manual pages, their answers, and a round trip from a
# recording through a Standard MIDI File to a WAV file.
render_manual=$(zcat "$root/usr/share/man/man1/kelvarin-render.1.gz")
for topic in Kelvarin.ini midi.dat settings amplitude loops rate quiet '44\.1' 'EXIT STATUS'; do
  grep -q -- "$topic" <<<"$render_manual" || fail "kelvarin-render's manual page does not mention $topic"
done
convert_manual=$(zcat "$root/usr/share/man/man1/kelvarin-convert.1.gz")
for topic in midi.dat 'format 0' 'Note Off' 'above 127' 'EXIT STATUS'; do
  grep -q -- "$topic" <<<"$convert_manual" || fail "kelvarin-convert's manual page does not mention $topic"
done
for tool in kelvarin-render kelvarin-convert; do
  [ "$("$root/usr/bin/$tool" --version)" = "$tool (Kelvarin) $version" ] ||
    fail "the packaged $tool says '$("$root/usr/bin/$tool" --version)', the package is $version"
  "$root/usr/bin/$tool" --help | grep -q "^Usage: $tool " || fail "the packaged $tool gives no usage"
done
printf '\x39\x7f\x00\x00\x00\x00\x00\x00\x39\x00\x00\x00\xe8\x03\x00\x00' >"$work/midi.dat"
"$root/usr/bin/kelvarin-convert" "$work/midi.dat" "$work/take.mid" &&
  "$root/usr/bin/kelvarin-render" "$work/take.mid" "$work/take.wav" &&
  [ "$(head -c 4 "$work/take.wav")" = RIFF ] || fail "the packaged tools do not render a recording"

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log" >&2; fail "lintian finds errors"; }
echo "the package installs ${#expected[@]} files where they belong and validates"
