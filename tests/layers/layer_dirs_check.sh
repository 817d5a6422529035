#!/usr/bin/env bash
# The per-layer include directories hold what the layer map allows and no more:
# through framework's directory a serial/ header compiles and an updater/ one
# does not; through updater's, both do.
#   layer_dirs_check.sh CXX LAYERS_DIR
set -euo pipefail
cxx=$1 layers=$2
try() {  # try LAYER HEADER: does HEADER compile through LAYER's directory alone?
  printf '#include "%s"\n' "$2" | "$cxx" -std=c++20 -fsyntax-only -I "$layers/$1" -x c++ - 2>/dev/null
}
fail() { echo "layer_dirs_check: FAIL: $*" >&2; exit 1; }
[ -d "$layers/framework" ] || fail "no $layers/framework"
try framework serial/frames.h || fail "framework/ cannot reach serial/frames.h"
try framework framework/dialog.h || fail "framework/ cannot reach its own framework/dialog.h"
try framework updater/image_bank/image_bank.h && fail "framework/ reaches updater/image_bank/image_bank.h"
try serial framework/dialog.h && fail "serial/ reaches framework/dialog.h"
try controls frontend/exit_codes.h && fail "controls/ reaches frontend/exit_codes.h"
try updater updater/image_bank/image_bank.h || fail "updater/ cannot reach its own updater/image_bank/image_bank.h"
try updater frontend/exit_codes.h || fail "updater/ cannot reach frontend/exit_codes.h"
echo "layer_dirs_check: each layer's directory reaches what the map allows, and a forbidden edge does not compile"
