# Sourced by the scripts that run a program under Wine on a private Xvfb
# display with its COM ports linked to receiver-sim. The caller sets `me` (the
# name its lines start with) and defines fail(); it calls, in this order:
#   gui_options "$@" (the options every such script takes; the rest in gui_rest);
#   gui_inputs (the tools, receiver-sim, the program and its driver are there);
#   gui_workdir PREFIX (a fresh work directory and the run's Wine prefix);
#   gui_locale DIR NAME; gui_watchdog SECONDS NAME;
#   gui_display WORKDIR; gui_prefix WORKDIR ROOT
# and from its EXIT trap, after stopping its own Windows processes,
#   gui_end [PID...]   (the simulators and anything else native it started).
# Anything missing is a failure, never a skip.

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
xvfb_pid="" watchdog_pid=""

gui_require_tools() {
  [ -x "$wine" ] && [ -x "$wineserver" ] || fail "Wine is not installed ($wine): run 'make setup'"
  command -v Xvfb >/dev/null || fail "Xvfb not found: run 'make setup'"
  command -v python3 >/dev/null || fail "python3 not found: run 'make setup'"
  command -v localedef >/dev/null || fail "localedef not found (package libc-bin)"
}

# Sets build_win, program, driver, host_tools and shots from their options;
# every other argument goes to gui_rest, in order, for the caller.
gui_options() {
  build_win="" program="" driver="" host_tools="" shots=""
  gui_rest=()
  while [ $# -gt 0 ]; do
    case $1 in
      --build-win) build_win=$2; shift 2 ;;
      --program) program=$2; shift 2 ;;
      --driver) driver=$2; shift 2 ;;
      --host-tools) host_tools=$2; shift 2 ;;
      --shots) shots=$2; shift 2 ;;
      *) gui_rest+=("$1"); shift ;;
    esac
  done
  [ -n "$build_win" ] && [ -n "$program" ] && [ -n "$driver" ] && [ -n "$host_tools" ] && [ -n "$shots" ] ||
    { echo "$me: --build-win, --program, --driver, --host-tools and --shots are all needed" >&2; exit 2; }
}

# The tools, receiver-sim (sets sim), the program and its driver.
gui_inputs() {
  gui_require_tools
  sim=$host_tools/receiver-sim
  [ -x "$sim" ] || fail "receiver-sim not found at $sim: build the native tree HOST_TOOLS_DIR names"
  [ -f "$program" ] || fail "$program not built"
  [ -f "$driver" ] || fail "$driver not built"
}

# A fresh work directory $build_win/$me (sets work) and the Wine prefix named
# $build_win/PREFIX for the run.
gui_workdir() {
  work=$build_win/$me
  rm -rf "$work"
  mkdir -p "$work/run" "$shots"
  export BUILD_WIN_DIR=$build_win
  export WINEPREFIX=$build_win/$1
}

# A Unix path as Wine sees it (drive Z: is the root).
winepath_of() { printf 'Z:%s' "${1//\//\\}"; }

# pid: TERM, then KILL after 3 s.
gui_stop() {
  local pid=$1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# Wine takes the system language from LANG/LC_ALL; the locale itself is
# compiled once into the build tree so that it really loads, as on a desktop
# of that language (the build host need not have it; glibc would fall back to C).
gui_locale() {
  local locales=$1/locale locale_name=$2
  mkdir -p "$locales"
  (
    flock 9
    if [ ! -f "$locales/$locale_name/LC_CTYPE" ]; then
      localedef -i "${locale_name%%.*}" -f UTF-8 "$locales/$locale_name.tmp" &&
        rm -rf "${locales:?}/$locale_name" && mv "$locales/$locale_name.tmp" "$locales/$locale_name"
    fi
  ) 9>"$locales.lock" || fail "localedef could not make $locale_name"
  # This shell itself does not see LOCPATH: its warning about the locale is beside the point.
  { export LOCPATH=$locales LANG=$locale_name LC_ALL=$locale_name; } 2>/dev/null
  unset LANGUAGE
  [ "$(locale charmap 2>/dev/null)" = UTF-8 ] && ! locale 2>&1 >/dev/null | grep -q . ||
    fail "the locale $locale_name does not load from $locales"
}

# Ends the script with exit code 124 after that many seconds; NAME leads its line.
gui_watchdog() {
  local seconds=$1 name=$2 script_pid=$$
  trap "echo '$name: FAIL: over $seconds s or interrupted' >&2; exit 124" TERM INT
  ( trap 'kill "$nap" 2>/dev/null; exit 0' TERM; sleep "$seconds" & nap=$!; wait "$nap" && kill -TERM "$script_pid" ) 2>/dev/null &
  watchdog_pid=$!
}

gui_display() {
  local work=$1 display=""
  mkfifo "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  read -r -t 20 display <"$work/display" && [ -n "$display" ] || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
  export DISPLAY=":$display"
}

# The caller's WINEPREFIX, made on first use (fonts, undecorated frames); the
# server started here stays for the program. Links in dosdevices/ are made
# after this: the prefix's mount manager rewrites them when it starts.
gui_prefix() {
  local work=$1 root=$2
  export WINEDEBUG=${WINEDEBUG:--all}
  # A server left from an interrupted run would carry another display.
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  # The first program of a fresh prefix may lose a race with its own services;
  # a second try on the finished prefix tells a flake from a broken prefix.
  timeout 120 "$root/cmake/wine-run.sh" cmd /c exit 0 >"$work/prefix.log" 2>&1 || {
    "$wineserver" -w 2>/dev/null || true
    timeout 60 "$root/cmake/wine-run.sh" cmd /c exit 0 >>"$work/prefix.log" 2>&1
  } || { cat "$work/prefix.log" >&2; fail "the Wine prefix $WINEPREFIX could not be made"; }
  [ -d "$WINEPREFIX/dosdevices" ] || fail "no dosdevices in $WINEPREFIX"
}

# Waits for a receiver-sim started with --link LINK and stdout to OUT; prints its pty.
gui_sim_pty() {
  local pid=$1 out=$2 link=$3 err=$4
  for _ in $(seq 100); do
    [ -s "$out" ] && [ -L "$link" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$out" ] && [ -L "$link" ] || { cat "$err" >&2; fail "receiver-sim did not come up"; }
  head -n1 "$out"
}

# Stops a receiver-sim (its report is complete once it has stopped); fails on
# anything it said on stderr or an exit other than by the TERM.
gui_sim_end() {
  local pid=$1 err=$2 rc=0
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" || rc=$?
  [ ! -s "$err" ] || { cat "$err" >&2; fail "receiver-sim reported problems"; }
  [ "$rc" -eq 0 ] || [ "$rc" -eq 143 ] || fail "receiver-sim exited with $rc"
}

gui_end() {
  # Whatever else runs in this test's own prefix (its desktop, services).
  [ -d "${WINEPREFIX:-}" ] && "$wineserver" -k 2>/dev/null || true
  local pid
  for pid in "$@"; do gui_stop "$pid"; done
  gui_stop "$xvfb_pid"
  [ -z "$watchdog_pid" ] || kill "$watchdog_pid" 2>/dev/null || true
}
