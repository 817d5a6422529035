#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config make git
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev nlohmann-json3-dev
  g++-mingw-w64-x86-64-posix
  wine64 fonts-wine xvfb imagemagick fonts-wqy-microhei
  python3
  lintian mandoc groff-base man-db
)

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
