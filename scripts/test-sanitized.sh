#!/usr/bin/env bash
# Builds everything with AddressSanitizer + UBSan into $SAN_BUILD_DIR (default build-sanitize/)
# and runs the tests of the layers below the windows: every test whose label (its library's
# name) starts with zel_platform, zel_engine, zel_records, zel_processor, zel_agent or
# zel_cipher, so the tests of a new folder of those layers join without an edit here.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${SAN_BUILD_DIR:-$ROOT/build-sanitize}"
LABELS="${SAN_LABELS:-^zel_(platform|engine|records|processor|agent|cipher)}"

bash "$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_SANITIZE=ON
cmake --build "$BUILD" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
# Any finding fails the test. Leaks are not reported: the toolkit and the bus library keep
# allocations for the life of the process by design.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" --timeout 600 -L "$LABELS"
