#!/usr/bin/env bash
# Runs a Windows test binary under Wine with COMn wired to a pty whose far
# end is tests/serial/win32/far_end.py.
#   wine-pty.sh --com N [--refused-com M] [--far-end "far_end.py options"]
#               -- program.exe [args]
# The dosdevices links are made before the program starts; the program learns
# its port and the far end's status file from W32_TEST_COM and
# W32_TEST_STATUS. --refused-com links COMm to a device node that refuses to
# open for writing even for root (access denied, the answer Windows gives for
# a port that another program holds), named in W32_TEST_REFUSED_COM.
# Everything missing is a failure, never a skip.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
: "${BUILD_WIN_DIR:?wine-pty: BUILD_WIN_DIR must name the Windows build tree}"
export BUILD_WIN_DIR
export WINEPREFIX=${WINEPREFIX:-$BUILD_WIN_DIR/wine-prefix}
wrapper=$root/cmake/wine-run.sh

com=""
refused=""
refusing_node=/sys/devices/system/cpu/online
far_args=""
while [ $# -gt 0 ]; do
  case $1 in
    --com) com=$2; shift 2 ;;
    --refused-com) refused=$2; shift 2 ;;
    --far-end) far_args=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "wine-pty: unknown option $1" >&2; exit 2 ;;
  esac
done
[ -n "$com" ] && [ $# -gt 0 ] || { echo "wine-pty: usage: --com N [--far-end ARGS] -- program [args]" >&2; exit 2; }
[ -x /usr/lib/wine/wine64 ] || { echo "wine-pty: Wine is not installed (/usr/lib/wine/wine64): run 'make setup'" >&2; exit 2; }
command -v python3 >/dev/null || { echo "wine-pty: python3 is missing: run 'make setup'" >&2; exit 2; }

# The prefix (and its dosdevices folder) must exist before the link is made.
if [ ! -f "$WINEPREFIX/.ready" ]; then
  "$wrapper" cmd /c exit 0 >/dev/null 2>&1 || true
fi
[ -d "$WINEPREFIX/dosdevices" ] || { echo "wine-pty: no Wine prefix at $WINEPREFIX" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/wine-pty-com$com.XXXXXX")
link=$WINEPREFIX/dosdevices/com$com
far_pid=""
cleanup() {
  if [ -n "$far_pid" ] && kill -0 "$far_pid" 2>/dev/null; then
    kill -TERM "$far_pid" 2>/dev/null || true
    wait "$far_pid" 2>/dev/null || true
  fi
  rm -f "$link"
  [ -z "$refused" ] || rm -f "$WINEPREFIX/dosdevices/com$refused"
  rm -rf "$work"
}
trap cleanup EXIT

if [ -n "$refused" ]; then
  if [ ! -e "$refusing_node" ] || (exec 8<>"$refusing_node") 2>/dev/null; then
    echo "wine-pty: $refusing_node is missing or opens for writing: no refusing port here" >&2
    exit 2
  fi
  ln -sfn "$refusing_node" "$WINEPREFIX/dosdevices/com$refused"
  export W32_TEST_REFUSED_COM=COM$refused
fi

# shellcheck disable=SC2086  # the far end's options are words
python3 "$here/far_end.py" --link "$link" --status "$work/status" $far_args >"$work/far.out" 2>"$work/far.err" &
far_pid=$!
for _ in $(seq 100); do
  [ -s "$work/far.out" ] && [ -L "$link" ] && break
  kill -0 "$far_pid" 2>/dev/null || break
  sleep 0.1
done
if ! [ -s "$work/far.out" ] || ! [ -L "$link" ]; then
  echo "wine-pty: the far end did not come up:" >&2
  cat "$work/far.err" >&2
  exit 2
fi
echo "wine-pty: COM$com -> $(cat "$work/far.out") (far end $far_args)"

export W32_TEST_COM=COM$com
export W32_TEST_STATUS="Z:${work//\//\\}\\status"
rc=0
"$wrapper" "$@" || rc=$?

if [ -s "$work/far.err" ]; then
  echo "wine-pty: the far end reported:" >&2
  cat "$work/far.err" >&2
  [ "$rc" -ne 0 ] || rc=3
fi
exit "$rc"
