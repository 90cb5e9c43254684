# Shared by scripts/test, scripts/run and scripts/bench: packages, builds, and the Wine bench.
# Sourced, not run.

KV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KV_BUILD=${KV_BUILD:-$KV_ROOT/build}
KV_PACKAGES="mingw-w64 wine wine64 xvfb openbox cmake ninja-build googletest libgtest-dev
  libbenchmark-dev clang libclang-rt-14-dev imagemagick x11-utils zip cppcheck clang-tidy"

kv_install_packages() {
  local missing=()
  for p in $KV_PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

kv_build_windows() {
  cmake -S "$KV_ROOT" -B "$KV_BUILD/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$KV_ROOT/cmake/mingw-w64.cmake" >/dev/null
  cmake --build "$KV_BUILD/windows" "$@"
}

kv_build_native() {
  CC=clang CXX=clang++ cmake -S "$KV_ROOT" -B "$KV_BUILD/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
  cmake --build "$KV_BUILD/native" "$@"
}

# Xvfb (unless a display is given) and openbox, then a Wine prefix of our own.
kv_start_display() {
  # A display that does not answer counts as none.
  if [ -n "${DISPLAY:-}" ] && ! xdpyinfo >/dev/null 2>&1; then unset DISPLAY; fi
  if [ -z "${DISPLAY:-}" ] || [ "${KV_FORCE_XVFB:-0}" = 1 ]; then
    local n=${KV_DISPLAY_NUM:-77}
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    KV_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start"; return 1; }
    openbox >/dev/null 2>&1 &
    KV_OPENBOX_PID=$!
    sleep 0.5
  fi
}

kv_stop_display() {
  [ -n "${KV_OPENBOX_PID:-}" ] && kill "$KV_OPENBOX_PID" 2>/dev/null
  [ -n "${KV_XVFB_PID:-}" ] && kill "$KV_XVFB_PID" 2>/dev/null
  true
}

# Wine never reaches the home folder of whoever runs the tests: HOME and the XDG folders lie
# inside the build folder (the Recycle Bin maps to $HOME/.local/share/Trash), the menu builder
# is off (no menu entries or .desktop files), and the prefix's profile folders are real
# folders instead of Wine's links to the home folder's Desktop, Documents and the rest.
kv_wine_home() {
  export HOME="$KV_BUILD/home"
  export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
  export XDG_DESKTOP_DIR="$HOME/Desktop" XDG_DOCUMENTS_DIR="$HOME/Documents" XDG_DOWNLOAD_DIR="$HOME/Downloads"
  export XDG_MUSIC_DIR="$HOME/Music" XDG_PICTURES_DIR="$HOME/Pictures" XDG_VIDEOS_DIR="$HOME/Videos"
  export XDG_TEMPLATES_DIR="$HOME/Templates" XDG_PUBLICSHARE_DIR="$HOME/Public"
  mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
  # A desktop session gives the display a resource database; a bare Xvfb has none, and Xlib
  # then looks for ~/.Xdefaults again at every lookup: twice at each font Wine selects, dozens
  # of failed opens per repaint of a progress window. An empty one makes Xlib read it once.
  [ -e "$HOME/.Xdefaults" ] || : >"$HOME/.Xdefaults"
}

# Replaces every link among the prefix's profile folders by a real, empty folder; fails when
# one cannot be replaced.
kv_wine_real_profile() {
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/* "$WINEPREFIX"/drive_c/users/*/AppData/*/*; do
    [ -L "$link" ] || continue
    rm -f "$link" && mkdir -p "$link" || { echo "cannot make $link a real folder"; return 1; }
  done
}

kv_wine_env() {
  export WINEPREFIX=${WINEPREFIX:-$KV_BUILD/wineprefix}
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEARCH=win64
  export LC_ALL=C.UTF-8
  kv_wine_home
  if [ ! -f "$WINEPREFIX/.kv-ready" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.kv-ready"
  fi
  kv_wine_real_profile || return 1
  wineserver -p >/dev/null 2>&1
}

# One Wine server for the whole run: a stale one (left from an earlier session, its desktop on
# that session's display) is stopped first; the one started here stays until kv_stop_wine, so
# the programs and scripts of the run do not each start their own.
kv_keep_wine_server() {
  kv_stop_wine
  wineserver -p >/dev/null 2>&1
}

kv_stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
}
