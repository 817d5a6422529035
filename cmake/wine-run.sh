#!/usr/bin/env bash
# Runs a Windows test binary under Wine in a private prefix kept inside the
# Windows build tree (made on first use), so tests never touch ~/.wine.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_win=${BUILD_WIN_DIR:-$here/build-win}
export WINEPREFIX=${WINEPREFIX:-$build_win/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "wine-run: $wine not found: run 'make setup'" >&2; exit 2; }

if [ ! -f "$WINEPREFIX/.ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # ctest runs tests in parallel: one of them makes the prefix, the others wait.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.ready" ]; then
    "$wine" wineboot --init >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
    [ -d "$WINEPREFIX/drive_c" ] || { echo "wine-run: could not make prefix $WINEPREFIX" >&2; exit 2; }
    touch "$WINEPREFIX/.ready"
  fi
  flock -u 9
fi

exec "$wine" "$@"
