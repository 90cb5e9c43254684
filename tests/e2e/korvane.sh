#!/usr/bin/env bash
# Drives the real Korvane.exe under Wine from the log-in to Quit (see korvane_e2e.cpp).
# Expects the display and Wine environment that scripts/test sets up.
set -u
source "$(dirname "$0")/../../scripts/lib.sh"
exe="$KV_BUILD/windows/Korvane.exe"
driver="$KV_BUILD/windows/korvane_e2e.exe"
[ -f "$exe" ] && [ -f "$driver" ] || { echo "build Korvane.exe and korvane_e2e.exe first"; exit 1; }
cd "$KV_BUILD/windows" || exit 1
timeout 300 wine "$driver" "Z:$(sed 's#/#\\#g' <<<"$exe")"
