#!/usr/bin/env bash
# Installs and removes Korvane as a deployment tool does: the real Setup.exe from the package
# with /quiet and each kind of choice, then the entry's QuietUninstallString (see
# quiet_e2e.cpp). A copy of the package without Support\Skull.ico, made under the build
# folder, stands for a file that cannot be copied. Leaves no installation behind. Expects the
# display and Wine environment that scripts/test sets up, and the package that
# scripts/package lays out.
set -u
source "$(dirname "$0")/../../scripts/lib.sh"
pkg="$KV_BUILD/package"
broken="$KV_BUILD/quiet-package"
driver="$KV_BUILD/windows/quiet_e2e.exe"
[ -f "$pkg/Setup.exe" ] && [ -f "$driver" ] || { echo "run scripts/package and build quiet_e2e.exe first"; exit 1; }
kv_wine_env
rm -rf "$broken"
cp -r "$pkg" "$broken" && rm "$broken/Support/Skull.ico" || { echo "cannot copy the package to $broken"; exit 1; }
trap 'rm -rf "$broken"' EXIT
winpath() { echo "Z:$(sed 's#/#\\#g' <<<"$1")"; }
cd "$KV_BUILD/windows" || exit 1
timeout 900 wine "$driver" "$(winpath "$pkg")" "$(winpath "$broken")"
