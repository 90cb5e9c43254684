#!/usr/bin/env bash
# The program's windows at high dpi: the layout tests of korvane_tests.exe (every control
# whole inside its window's client area, none over another, every caption fitting, the log
# viewer's and Help's boxes whole and filling their windows) run again at 144 and 192 dpi.
# Each setting gets a Wine prefix of its own, a copy of the test prefix with LogPixels set,
# so the other tests keep running at 96 dpi. KV_SHOTS_DIR=<folder> keeps a screenshot of
# each window, in <folder>/144 and <folder>/192.
# Expects the display and Wine environment that scripts/test sets up.
set -u
source "$(dirname "$0")/../../scripts/lib.sh"
tests="$KV_BUILD/windows/korvane_tests.exe"
[ -f "$tests" ] || { echo "build korvane_tests.exe first"; exit 1; }
base=${WINEPREFIX:-$KV_BUILD/wineprefix}
[ -f "$base/.kv-ready" ] || kv_wine_env
filter='WhatUsersSee.*:WorkingWindows.MainWindowLayoutAndCaptions:WorkingWindows.EasyDropIsASmallTopmostToolWindow'
filter+=':WorkingWindows.EasyDropKeeps*:CipherTest.ARunOf*:FormLayer.FramesLieBeneath*:LogViewer.ShowsEveryEntry*:Help.*:About.*'
cd "$KV_BUILD/windows" || exit 1

failed=0
for dpi in ${KV_DPIS:-144 192}; do
  prefix="$KV_BUILD/wineprefix-${dpi}dpi"
  if [ ! -f "$prefix/.kv-dpi-$dpi" ]; then
    rm -rf "$prefix"
    cp -a "$base" "$prefix" || { echo "cannot copy the Wine prefix"; exit 1; }
    rm -f "$prefix/.kv-dpi-"*
    WINEPREFIX="$prefix" timeout 120 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
      /d "$dpi" /f >/dev/null 2>&1 || { echo "cannot set LogPixels"; exit 1; }
    WINEPREFIX="$prefix" timeout 60 wineserver -w
    touch "$prefix/.kv-dpi-$dpi"
  fi
  echo "== $dpi dpi"
  shots=""
  if [ -n "${KV_SHOTS_DIR:-}" ]; then
    mkdir -p "$KV_SHOTS_DIR/$dpi"
    shots="$(cd "$KV_SHOTS_DIR/$dpi" && pwd)"
  fi
  # The tests check that the screen really has this dpi, so a setting that did not take
  # cannot pass for one that did.
  watcher=""
  if [ -n "$shots" ]; then
    # Windows a test holds up for a screenshot (it leaves <name>.ready and waits until that is gone).
    ( while :; do
        for m in "$shots"/*.ready; do
          [ -e "$m" ] || continue
          import -window root "${m%.ready}.png" 2>/dev/null; rm -f "$m"
        done
        sleep 0.3
      done ) &
    watcher=$!
  fi
  env ${shots:+KV_SHOTS="$shots"} KV_EXPECT_DPI="$dpi" WINEPREFIX="$prefix" \
    timeout 600 wine "$tests" --gtest_brief=1 --gtest_filter="$filter"
  rc=$?
  [ -n "$watcher" ] && kill "$watcher" 2>/dev/null
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
  [ $rc -eq 0 ] || { echo "FAILED at $dpi dpi"; failed=1; }
done
[ $failed -eq 0 ] && echo PASS
exit $failed
