#!/usr/bin/env bash
# Installs Korvane with the real Setup.exe from the package under Wine, as a user would (see
# setup_e2e.cpp). Runs before the uninstall driver, which then removes this installation.
# Expects the display and Wine environment that scripts/test sets up, and the package that
# scripts/package lays out.
set -u
source "$(dirname "$0")/../../scripts/lib.sh"
pkg="$KV_BUILD/package"
driver="$KV_BUILD/windows/setup_e2e.exe"
[ -f "$pkg/Setup.exe" ] && [ -f "$driver" ] || { echo "run scripts/package and build setup_e2e.exe first"; exit 1; }
cd "$KV_BUILD/windows" || exit 1
timeout 300 wine "$driver" "Z:$(sed 's#/#\\#g' <<<"$pkg")"
