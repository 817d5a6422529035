#!/usr/bin/env bash
# The Debian package as a user gets it: CPack makes it from this build into a
# scratch folder; lintian must find no error; dpkg installs it into a scratch
# root with an admin directory of its own (dpkg --root, dependencies not
# checked: that root has no libc registered), and from there brevan --help,
# torvik --help and brevan --list (the demo set survived the stripping) run and
# the compressed man pages render without a warning; dpkg then removes it
# without a file left behind. A missing tool is a failure.
#   deb_package_test.sh --build DIR --version X.Y.Z --cpack CPACK
set -euo pipefail
me=deb-package
build="" version="" cpack=""
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --cpack) cpack=$2; shift 2 ;;
    *) echo "$me: unknown option $1" >&2; exit 2 ;;
  esac
done
[ -n "$build" ] && [ -n "$version" ] && [ -n "$cpack" ] || { echo "$me: --build, --version and --cpack are needed" >&2; exit 2; }
fail() { echo "$me: FAIL: $*" >&2; exit 1; }
for tool in dpkg dpkg-deb dpkg-shlibdeps lintian man groff readelf gzip; do
  command -v "$tool" >/dev/null || fail "$tool not found: run 'make setup'"
done
[ -x "$cpack" ] || fail "cpack not found at $cpack"

work=$(mktemp -d "${TMPDIR:-/tmp}/deb-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

(cd "$build" && "$cpack" -B "$work/cpack") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$work/cpack/brevan-torvik_${version}_amd64.deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb"): $(ls "$work/cpack")"

for field in Maintainer Section Depends Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field"
done
# The record store's client libraries, which both terminal programs load.
for lib in libc6 libsqlite3-0 libpq5 libncursesw6; do
  dpkg-deb -f "$deb" Depends | grep -Eq "(^|, )$lib( |,|$)" || fail "Depends lacks $lib: $(dpkg-deb -f "$deb" Depends)"
done

# lintian refuses to run as root unless told it may.
lintian --allow-root --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || { cat "$work/lintian.txt" >&2; fail "lintian found errors"; }
grep -q '^E:' "$work/lintian.txt" && { cat "$work/lintian.txt" >&2; fail "lintian found errors"; }
echo "$me: lintian: $(grep -c '^W:' "$work/lintian.txt" || true) warnings, no errors"

root=$work/root
admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates" "$admin/triggers"
touch "$admin/status" "$admin/available"
dpkg=(dpkg --root="$root" --admindir="$admin" --force-not-root --force-depends --log=/dev/null)
"${dpkg[@]}" -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg could not install it"; }
"${dpkg[@]}" -s brevan-torvik | grep -q '^Status: install ok installed' || fail "dpkg does not list it as installed"

bin=$root/usr/bin
for program in brevan torvik brevan-pack receiver-sim; do
  [ -x "$bin/$program" ] || fail "no $program in /usr/bin"
  readelf -S "$bin/$program" | grep -q '\.symtab' && fail "$program is not stripped"
done
for program in brevan torvik; do
  out=$(LANG=C "$bin/$program" --help) || fail "$program --help exited with $?"
  printf '%s\n' "$out" | grep -q "^usage: $program " || fail "$program --help printed no usage: $out"
done
slots=$("$bin/brevan" --list | grep -c '^[0-9] ') || true
[ "$slots" -eq 10 ] || fail "the installed brevan lists $slots images, not the ten of the demo set"

for page in brevan torvik brevan-pack receiver-sim; do
  file=$root/usr/share/man/man1/$page.1.gz
  [ -f "$file" ] || fail "no $page.1.gz"
  said=$(MANWIDTH=80 man -l "$file" 2>&1 >/dev/null) || fail "man -l $page.1.gz failed: $said"
  [ -z "$said" ] || fail "man -l $page.1.gz warns: $said"
  [ "$(gzip -dc "$file" | head -c 3)" = ".TH" ] || fail "$page.1.gz is not a page"
done
for doc in copyright changelog.gz gprscdmaset.ini; do
  [ -f "$root/usr/share/doc/brevan-torvik/$doc" ] || fail "no /usr/share/doc/brevan-torvik/$doc"
done

"${dpkg[@]}" -r brevan-torvik >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg could not remove it"; }
# dpkg's own admin files aside, the root must be empty again.
left=$(cd "$root" && find . -type f ! -path './var/lib/dpkg/*' | head -5)
[ -z "$left" ] || fail "files left after removal: $left"
echo "$me: PASS: $(basename "$deb") installed into a scratch root, brevan and torvik ran from it, removed cleanly"
