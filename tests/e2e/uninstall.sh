#!/usr/bin/env bash
# Uninstalls an installation of Korvane with the real KorvaneUninstaller.exe under Wine, as a
# user would (see uninstall_e2e.cpp). Expects the display and Wine environment that
# scripts/test sets up.
set -u
source "$(dirname "$0")/../../scripts/lib.sh"
exe="$KV_BUILD/windows/KorvaneUninstaller.exe"
driver="$KV_BUILD/windows/uninstall_e2e.exe"
[ -f "$exe" ] && [ -f "$driver" ] || { echo "build KorvaneUninstaller.exe and uninstall_e2e.exe first"; exit 1; }
# The installation to remove is the one the real Setup.exe makes: install it first unless
# the Setup driver just did.
kv_wine_env
if [ ! -f "$WINEPREFIX/drive_c/Program Files/Korvane/KORVANE-InstallLog.txt" ]; then
  bash "$(dirname "$0")/setup.sh" || { echo "FAIL: Setup.exe could not install Korvane"; exit 1; }
fi
cd "$KV_BUILD/windows" || exit 1
timeout 300 wine "$driver" "Z:$(sed 's#/#\\#g' <<<"$exe")"
