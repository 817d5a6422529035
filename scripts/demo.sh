#!/usr/bin/env bash
# The main job as far as it exists: the shipped updater loads its built-in
# (demo) firmware images and lists them.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Shipped updater build/bin/brevan, carrying the demo firmware set (demo data, not real firmware):"
build/bin/brevan --list
