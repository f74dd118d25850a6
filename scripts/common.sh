# Pieces the scripts share; sourced, not run.

say() { printf '\n=== %s\n' "$*"; }

# Installs the Debian packages among the arguments that are missing (as root).
ensure_packages() {
  local missing=() p
  for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
  ((${#missing[@]})) || return 0
  say "installing: ${missing[*]}"
  if [ "$(id -u)" != 0 ]; then echo "run as root to install: ${missing[*]}" >&2; exit 1; fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# A Wine prefix of our own (WINEPREFIX), quiet, made when it is not there yet
# or when the first argument is "fresh".
wine_prefix() {
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  if [ "${1:-}" = fresh ]; then rm -rf "$WINEPREFIX"; fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    timeout 300 wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    timeout 120 wineserver -w || true
  fi
  # One server for the whole run: a server that ends between two programs
  # while the next one connects fails that program ("recvmsg: Connection
  # reset by peer").  stop_wine_and_xvfb ends it.  Wine's own services start
  # with the first program and live as long as the server: started here,
  # with no output of a test's to hold open.
  wineserver -p
  timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# A private Xvfb display (DISPLAY exported, xvfb_pid set); the first argument
# is the screen size.
xvfb_pid=""
start_xvfb() {
  local n
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      Xvfb ":$n" -nolisten tcp -screen 0 "${1:-1280x1024x24}" >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      sleep 1
      return 0
    fi
  done
  echo "no free X display" >&2
  exit 1
}

# Stops the Wine server of the prefix and the display; for "trap ... EXIT".
stop_wine_and_xvfb() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; fi
}
