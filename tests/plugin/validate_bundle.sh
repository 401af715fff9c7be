#!/bin/sh
# Checks the built bundle's description against the LV2 specifications installed.
#   validate_bundle.sh BUNDLE_DIR
if ! command -v lv2_validate >/dev/null; then
  echo "lv2_validate (Debian's lv2-dev) is not installed: skipped"
  exit 77
fi
exec lv2_validate "$1/manifest.ttl" "$1/kelvarin.ttl"
