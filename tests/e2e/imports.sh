#!/usr/bin/env bash
# Setup and the uninstaller run elevated from folders that users can write to, and users may
# create files in the installation folder, so none of our programs may load a library from its
# own folder. Each may import only libraries that Windows always takes from the system folder:
# the known DLLs (those common to Windows 7 and later), the API sets, and the common controls,
# which come from the side-by-side store when the program's manifest asks for them. Anything
# else is loaded on demand from the system folder only (win/system_library.h).
# Reads the import tables of the built programs and of the package's component files.
set -u
source "$(dirname "$0")/../../scripts/lib.sh"
win="$KV_BUILD/windows"
objdump=x86_64-w64-mingw32-objdump
command -v "$objdump" >/dev/null || { echo "FAIL: $objdump not found"; exit 1; }

allowed=" advapi32.dll clbcatq.dll comdlg32.dll difxapi.dll gdi32.dll imagehlp.dll imm32.dll
  kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ntdll.dll ole32.dll oleaut32.dll psapi.dll
  rpcrt4.dll sechost.dll setupapi.dll shell32.dll shlwapi.dll user32.dll wldap32.dll ws2_32.dll "

required=(Korvane.exe Setup.exe KorvaneUninstaller.exe MSINET.ocx RICHTX32.ocx COMDLG32.OCX scrrun.dll)

failures=0; checked=0
check() {  # file
  local f=$1 name libs bad=()
  name=$(basename "$f")
  libs=$("$objdump" -p "$f" 2>/dev/null | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr 'A-Z' 'a-z' | sort -u)
  # Every program we build imports the kernel; an empty list means the table was not read.
  if ! grep -qx 'kernel32.dll' <<<"$libs"; then
    echo "FAIL: $name: import table not read"; failures=$((failures + 1)); return
  fi
  for lib in $libs; do
    case "$lib" in
      api-ms-win-*) continue ;;
      comctl32.dll)
        # Only the manifest's side-by-side dependency keeps this out of the program's folder.
        grep -aq 'name="Microsoft.Windows.Common-Controls"' "$f" || bad+=("$lib (no Common-Controls manifest)")
        continue ;;
    esac
    [[ "$allowed" == *" $lib "* ]] || bad+=("$lib")
  done
  checked=$((checked + 1))
  if [ ${#bad[@]} -gt 0 ]; then
    echo "FAIL: $name imports ${bad[*]}"; failures=$((failures + 1))
  else
    echo "ok: $name imports $(tr '\n' ' ' <<<"$libs")"
  fi
}

for n in "${required[@]}"; do
  if [ -f "$win/$n" ]; then check "$win/$n"; else echo "FAIL: $win/$n is missing"; failures=$((failures + 1)); fi
done

# Libraries loaded at run time go through win/system_library.cpp, which takes them from the
# system folder only; no other program source loads one by name.
loads=$(cd "$KV_ROOT" && grep -rnE '\b(LoadLibrary(Ex)?[AW]?|CoLoadLibrary)[[:space:]]*\(' \
  core users ui win setup uninstaller shared 2>/dev/null | grep -v '^win/system_library\.cpp:')
if [ -n "$loads" ]; then
  echo "FAIL: libraries loaded outside win/system_library.cpp (use kv::win::LoadSystemLibrary):"
  echo "$loads"; failures=$((failures + 1))
fi

echo "$checked checked, $failures failed"
[ "$failures" -eq 0 ]
