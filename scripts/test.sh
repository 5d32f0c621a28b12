#!/usr/bin/env bash
# Installs what is missing, configures, builds everything and runs every test (the processor's
# twice, the second time under a comma-decimal locale).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"

bash "$ROOT/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" --timeout 300
# Request numbers follow the desktop's locale. The processor's tests run once more under one that
# writes decimals with a comma, so that no test comes to rely on an English desktop. Qt carries
# its own locale data: the machine needs no system locale for this.
env -u LC_ALL -u LC_NUMERIC LANG=de_DE.UTF-8 \
  ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" --timeout 300 -L '^zel_processor'
