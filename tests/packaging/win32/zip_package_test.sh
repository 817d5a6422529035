#!/usr/bin/env bash
# The Windows zip as a user gets it: CPack makes it from this build, it must
# hold Brevan.exe (the one the Wine tests run, demo overlay included),
# Torvik.exe, the sample gprscdmaset.ini and the read-me (UTF-8, CRLF, both
# languages, saying the firmware is a demo set); unpacked into a scratch
# folder, each program is started from there under Wine in a private prefix on
# a private Xvfb display (a Chinese desktop, as on the production PCs): its
# window must come up (Torvik.exe offering the sample file's types) and
# WM_CLOSE must end it with exit code 0. A missing tool is a failure.
#   zip_package_test.sh --build-win DIR --host-tools DIR --probe startup_probe.exe
#                       --shots DIR --version X.Y.Z --cpack CPACK
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
me=zip-package

build_win="" host_tools="" probe="" shots="" version="" cpack=""
while [ $# -gt 0 ]; do
  case $1 in
    --build-win) build_win=$2; shift 2 ;;
    --host-tools) host_tools=$2; shift 2 ;;
    --probe) probe=$2; shift 2 ;;
    --shots) shots=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --cpack) cpack=$2; shift 2 ;;
    *) echo "$me: unknown option $1" >&2; exit 2 ;;
  esac
done
[ -n "$build_win" ] && [ -n "$host_tools" ] && [ -n "$probe" ] && [ -n "$shots" ] && [ -n "$version" ] &&
  [ -n "$cpack" ] || { echo "$me: every option is needed" >&2; exit 2; }
fail() { echo "$me: FAIL: $*" >&2; exit 1; }

source "$root/tests/support/wine_gui_session.sh"
gui_require_tools
[ -x "$cpack" ] || fail "cpack not found at $cpack"
[ -f "$probe" ] || fail "$probe not built"
[ -x "$host_tools/brevan-pack" ] || fail "brevan-pack not found in $host_tools: build the native tree"
[ -f "$build_win/bin/Brevan.exe" ] || fail "$build_win/bin/Brevan.exe not built"

gui_locale "$build_win" zh_CN.UTF-8
gui_workdir wine-prefix-zip-package
brevan_pid="" torvik_pid=""
cleanup() {
  gui_stop "$brevan_pid"
  gui_stop "$torvik_pid"
  gui_end
}
trap cleanup EXIT
gui_watchdog 150 "$me"

# The package, made as make dist makes it, but into this test's own folder.
(cd "$build_win" && "$cpack" -B "$work/cpack") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
name=brevan-torvik-$version-win64
zip=$work/cpack/$name.zip
[ -f "$zip" ] || fail "cpack made no $name.zip: $(ls "$work/cpack")"

python3 - "$zip" "$name" "$work/unpacked" <<'PY' || fail "the zip's contents are wrong"
import sys, zipfile
path, top, out = sys.argv[1:]
problems = []
with zipfile.ZipFile(path) as z:
    names = sorted(n for n in z.namelist() if not n.endswith("/"))
    want = sorted(top + "/" + n for n in ("Brevan.exe", "Torvik.exe", "gprscdmaset.ini", "README.txt"))
    if names != want:
        problems.append("entries %s, expected %s" % (names, want))
    for text in ("README.txt", "gprscdmaset.ini"):
        entry = top + "/" + text
        if entry not in names:
            continue
        data = z.read(entry)
        if data.replace(b"\r\n", b"").find(b"\n") >= 0 or data.find(b"\r\n") < 0:
            problems.append("%s has line ends other than CRLF" % text)
        try:
            data.decode("utf-8")
        except UnicodeDecodeError as e:
            problems.append("%s is not UTF-8: %s" % (text, e))
    if top + "/README.txt" in names:
        raw = z.read(top + "/README.txt")
        # Notepad of an older Chinese Windows reads a file without the mark as GBK.
        if not raw.startswith(b"\xef\xbb\xbf"):
            problems.append("the read-me does not start with the UTF-8 byte order mark")
        readme = raw.decode("utf-8", "replace")
        for phrase in ("demo set", "NOT real firmware", "演示数据", "不是真正的固件"):
            if phrase not in readme:
                problems.append("the read-me does not say \"%s\"" % phrase)
    z.extractall(out)
for p in problems:
    print("zip-package: " + p, file=sys.stderr)
sys.exit(1 if problems else 0)
PY
dir=$work/unpacked/$name
cmp -s "$dir/Brevan.exe" "$build_win/bin/Brevan.exe" || fail "the zip's Brevan.exe differs from $build_win/bin/Brevan.exe"
slots=$("$host_tools/brevan-pack" --list "$dir/Brevan.exe" | grep -c '^[0-9] ') || true
[ "$slots" -eq 10 ] || fail "the zip's Brevan.exe lists $slots images, not the ten of the demo set"
echo "$me: $name.zip: Brevan.exe (10 demo images), Torvik.exe, gprscdmaset.ini, README.txt"

gui_display "$work"
gui_prefix "$work" "$root"

# program caption [combo item]: started from the unpacked folder, as from Explorer.
start_and_close() {
  local program=$1 caption=$2 item=${3:-} pid rc=0
  (cd "$dir" && exec "$root/cmake/wine-run.sh" "$dir/$program") >"$work/$program.log" 2>&1 &
  pid=$!
  [ "$program" = Brevan.exe ] && brevan_pid=$pid || torvik_pid=$pid
  "$root/cmake/wine-run.sh" "$probe" --name "zip-${program%.exe}" --caption "$caption" \
    --shots "$(winepath_of "$shots")" ${item:+--combo-item "$item"} || { cat "$work/$program.log" >&2; fail "$program: the probe failed"; }
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "$program still runs 10 s after its window closed"
  wait "$pid" || rc=$?
  [ "$program" = Brevan.exe ] && brevan_pid="" || torvik_pid=""
  [ "$rc" -eq 0 ] || { cat "$work/$program.log" >&2; fail "$program exited with $rc"; }
}
# Captions as on a Chinese desktop; the type T5 is the sample file's last row.
start_and_close Brevan.exe "GSM-CDMA在线升级程序 2011.08.23"
start_and_close Torvik.exe "GTM900/CM320/EM310/EM200 生产设置 2010年01月26日" T5
echo "$me: PASS: both programs came up from the unpacked zip and closed with exit code 0"
