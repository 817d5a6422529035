#!/usr/bin/env bash
# Installs the Debian packages the project needs. Safe to run again: silent and
# quick (one dpkg query) when everything is present.
#
#   scripts/setup.sh          everything: the builds, the sanitizers, Windows, Wine and the tests' tools
#   scripts/setup.sh build    only what the native build needs (make demo, make build, make install)
set -euo pipefail

# What configuring and building the native tree needs: the compilers, CMake,
# Ninja, and the libraries the configure step looks for (GoogleTest's sources,
# Google Benchmark, the JSON header, the record store's SQLite and libpq, ncurses for the station's view;
# lld, which the configure step looks for: it links the many test programs faster;
# the HTTP library the line view is served with).
build_packages=(
  build-essential cmake ninja-build pkg-config make python3 lld
  libgtest-dev libgmock-dev googletest libbenchmark-dev nlohmann-json3-dev
  libsqlite3-dev libpq-dev libncurses-dev libcpp-httplib-dev
)
# Beyond the build: clang and its sanitizer runtimes, the Windows cross build,
# Wine with an X server and fonts for the GUI tests, the package and man-page checkers,
# the PostgreSQL server the record store's tests start for themselves, the headless browser
# that loads the line view's pages.
test_packages=(
  git clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix
  wine64 fonts-wine xvfb imagemagick fonts-wqy-microhei tmux
  lintian mandoc groff-base man-db
  postgresql chromium
)

case "${1:-all}" in
  build) packages=("${build_packages[@]}") ;;
  all) packages=("${build_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [build|all]" >&2; exit 64 ;;
esac

# One query for all of them; a package dpkg has never heard of prints nothing.
installed=$(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null |
  awk '$2 == "installed" { print $1 }' || true)
missing=()
for p in "${packages[@]}"; do
  grep -qxF "$p" <<<"$installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq -o Dpkg::Use-Pty=0 --no-install-recommends "${missing[@]}"
