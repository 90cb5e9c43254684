#!/usr/bin/env bash
# Uninstalls an installation of Korvane with the real KorvaneUninstaller.exe under Wine, as a
# user would (see uninstall_e2e.cpp). Expects the display and Wine environment that
# scripts/test sets up.
set -u
source "$(dirname "$0")/../../scripts/lib.sh"
exe="$KV_BUILD/windows/KorvaneUninstaller.exe"
driver="$KV_BUILD/windows/uninstall_e2e.exe"
[ -f "$exe" ] && [ -f "$driver" ] || { echo "build KorvaneUninstaller.exe and uninstall_e2e.exe first"; exit 1; }
# The installation to remove is the one the real Setup.exe makes: it is uninstalled by
# opening the "Uninstall Korvane" shortcut through the shell, installed again, and
# uninstalled through the installed-programs entry's UninstallString.
kv_wine_env
here=$(cd "$(dirname "$0")" && pwd)
cd "$KV_BUILD/windows" || exit 1
for via in shortcut entry; do
  if [ ! -f "$WINEPREFIX/drive_c/Program Files/Korvane/KORVANE-InstallLog.txt" ]; then
    bash "$here/setup.sh" || { echo "FAIL: Setup.exe could not install Korvane"; exit 1; }
  fi
  echo "== uninstall through the $via"
  timeout 300 wine "$driver" "Z:$(sed 's#/#\\#g' <<<"$exe")" "$via" || exit 1
done
