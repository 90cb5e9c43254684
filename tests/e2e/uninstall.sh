#!/usr/bin/env bash
# Uninstalls an installation of Korvane with the real KorvaneUninstaller.exe under Wine, as a
# user would (see uninstall_e2e.cpp). Expects the display and Wine environment that
# scripts/test sets up.
set -u
source "$(dirname "$0")/../../scripts/lib.sh"
exe="$KV_BUILD/windows/KorvaneUninstaller.exe"
driver="$KV_BUILD/windows/uninstall_e2e.exe"
[ -f "$exe" ] && [ -f "$driver" ] || { echo "build KorvaneUninstaller.exe and uninstall_e2e.exe first"; exit 1; }
cd "$KV_BUILD/windows" || exit 1
timeout 300 wine "$driver" "Z:$(sed 's#/#\\#g' <<<"$exe")"
