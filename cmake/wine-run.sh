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

# A Unix path as Wine sees it (drive Z: is the root).
winepath_of() { printf 'Z:%s' "${1//\//\\}"; }

# Wine's caption buttons are glyphs of Marlett; this Wine does not load the
# fonts of its own data directory, so the prefix gets a copy (else the
# buttons read "0 1 r"). Tahoma stays mapped below: Wine's Tahoma is not loaded
# either, and the mapped face also has the glyphs of the Chinese captions.
marlett_src=/usr/share/wine/fonts/marlett.ttf
marlett_dst=$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf

if [ ! -f "$WINEPREFIX/.ready" ] || [ ! -f "$WINEPREFIX/.gui-ready-2" ] || [ ! -f "$marlett_dst" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # ctest runs tests in parallel: one of them makes the prefix, the others wait.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  # A new prefix starts as a copy of the build tree's template, made once the
  # way below: booting a prefix costs some ten seconds of CPU, a copy a fraction
  # of one, and the GUI tests each run in a prefix of their own.
  template=$build_win/wine-prefix-template
  if [ ! -f "$WINEPREFIX/.ready" ] && [ "$WINEPREFIX" != "$template" ]; then
    WINEPREFIX=$template "${BASH_SOURCE[0]}" cmd /c exit 0 >/dev/null 2>&1 || true
    WINEPREFIX=$template /usr/lib/wine/wineserver -w 2>/dev/null || true
    if [ -f "$template/.ready" ] && [ -f "$template/.gui-ready-2" ]; then
      mkdir -p "$WINEPREFIX"
      cp -a "$template/." "$WINEPREFIX/" || rm -f "$WINEPREFIX/.ready" "$WINEPREFIX/.gui-ready-2"
    fi
  fi
  if [ ! -f "$WINEPREFIX/.ready" ]; then
    # Under load wineboot has been seen to leave drive_c without system32's
    # programs (cmd then fails with "ShellExecuteEx failed"): check, and boot again.
    for _ in 1 2 3; do
      "$wine" wineboot --init >/dev/null 2>&1 || true
      /usr/lib/wine/wineserver -w 2>/dev/null || true
      [ -f "$WINEPREFIX/drive_c/windows/system32/cmd.exe" ] && break
    done
    [ -f "$WINEPREFIX/drive_c/windows/system32/cmd.exe" ] ||
      { echo "wine-run: could not make prefix $WINEPREFIX (no system32/cmd.exe after three boots)" >&2; exit 2; }
    touch "$WINEPREFIX/.ready"
  fi
  if [ ! -f "$WINEPREFIX/.gui-ready-2" ]; then
    # Dialog fonts the templates name have no files here: Wine draws them with
    # WenQuanYi Micro Hei, which has both Latin and CJK glyphs. Without a window
    # manager (Xvfb) Wine draws captions and frames itself, so screenshots show
    # them, and manages the windows itself: a managed window would wait 2 s for a
    # window manager each time it is hidden (a dialog's end).
    reg=$(mktemp "${TMPDIR:-/tmp}/wine-fonts.XXXXXX")
    {
      printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
      for face in "宋体" "SimSun" "新宋体" "NSimSun" "MS Shell Dlg" "MS Shell Dlg 2" "MS Sans Serif" "Tahoma"; do
        printf '"%s"="WenQuanYi Micro Hei"\r\n' "$face"
      done
      printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Decorated"="N"\r\n"Managed"="N"\r\n'
    } | iconv -f UTF-8 -t UTF-16 >"$reg"
    "$wine" regedit /S "$(winepath_of "$reg")" >/dev/null 2>&1 || true
    rm -f "$reg"
    "$wine" reg query 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun 2>/dev/null | grep -q 'WenQuanYi' ||
      { echo "wine-run: could not set font replacements in $WINEPREFIX" >&2; exit 2; }
    touch "$WINEPREFIX/.gui-ready-2"
  fi
  if [ ! -f "$marlett_dst" ]; then
    if [ -f "$marlett_src" ]; then
      mkdir -p "$(dirname "$marlett_dst")"
      cp "$marlett_src" "$marlett_dst.tmp" && mv "$marlett_dst.tmp" "$marlett_dst"
    else
      echo "wine-run: $marlett_src not found (package fonts-wine): caption buttons show letters" >&2
    fi
  fi
  flock -u 9
fi

exec "$wine" "$@"
