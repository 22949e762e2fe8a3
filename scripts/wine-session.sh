# One persistent Wine server per prefix while a script runs Windows programs.
# Debian's wineserver stops as soon as its last program ends, and a program
# that starts in that moment loses its connection ("wine client error:0:
# recvmsg: Connection reset by peer"): programs run one after another or two
# at a time then fail at random. A server started with -p serves the prefix
# until it is stopped.
# Usage: source scripts/wine-session.sh
#        wine_session_start <wine loader> <prefix dir>; ...; wine_session_stop
# A script that may end early stops it in its EXIT trap too. Needs
# scripts/wine-run.sh beside this file.

wine_session_prefix=
wine_session_server=

wine_session_start() {  # <wine loader> <prefix dir>
  wine_session_stop
  local prefix
  mkdir -p "$(dirname "$2")"
  prefix=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
  wine_session_server=$(dirname "$1")/wineserver
  # A server left behind by an earlier run that was killed would be waited
  # for below for ever (a persistent one never ends by itself).
  WINEPREFIX=$prefix "$wine_session_server" -k 2>/dev/null || true
  WINEPREFIX=$prefix "$wine_session_server" -w 2>/dev/null || true
  # The wrapper creates the prefix on first use; the server that ran it is
  # waited out before the persistent one starts.
  "$(dirname "${BASH_SOURCE[0]}")/wine-run.sh" "$1" "$prefix" cmd /c exit >/dev/null
  WINEPREFIX=$prefix "$wine_session_server" -w
  wine_session_prefix=$prefix
  WINEPREFIX=$prefix "$wine_session_server" -p
  # The first program of a server starts Wine's own background programs,
  # which then live as long as the server and keep whatever output they
  # inherited open: started by a test whose output goes into a pipe, they
  # would keep its reader waiting after the test ended. So they start here,
  # with nothing to inherit.
  (
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
    unset DISPLAY WAYLAND_DISPLAY
    "$1" cmd /c exit </dev/null >/dev/null 2>&1
  )
}

wine_session_stop() {
  [ -n "$wine_session_prefix" ] || return 0
  WINEPREFIX=$wine_session_prefix "$wine_session_server" -k 2>/dev/null || true
  WINEPREFIX=$wine_session_prefix "$wine_session_server" -w 2>/dev/null || true
  wine_session_prefix=
}
