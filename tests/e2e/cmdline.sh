#!/usr/bin/env bash
# Starts the real Korvane.exe under Wine with documents on its command line, as dropping
# them onto its icon does (see cmdline_e2e.cpp). Expects the display and Wine environment
# that scripts/test sets up.
set -u
source "$(dirname "$0")/../../scripts/lib.sh"
exe="$KV_BUILD/windows/Korvane.exe"
driver="$KV_BUILD/windows/cmdline_e2e.exe"
[ -f "$exe" ] && [ -f "$driver" ] || { echo "build Korvane.exe and cmdline_e2e.exe first"; exit 1; }
cd "$KV_BUILD/windows" || exit 1
timeout 300 wine "$driver" "Z:$(sed 's#/#\\#g' <<<"$exe")"
