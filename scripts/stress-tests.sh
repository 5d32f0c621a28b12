#!/usr/bin/env bash
# Runs the whole test suite ROUNDS times (default 20) with `ctest -j16` while every core is kept
# busy by a spinning process, and reports how many rounds were green. Not part of CI: it finds
# tests that depend on timing or load, which CI must never do.
#
#   ./scripts/stress-tests.sh [ROUNDS]   (or ROUNDS=5 in the environment; BUILD_DIR=... as elsewhere)
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
ROUNDS="${1:-${ROUNDS:-20}}"
case "$ROUNDS" in
  ''|*[!0-9]*|0) echo "usage: $0 [ROUNDS]  (a whole number of rounds, at least 1)" >&2; exit 2 ;;
esac
LOAD="${LOAD:-$(nproc)}"
LOGS="$BUILD/stress"

[ -f "$BUILD/CTestTestfile.cmake" ] || bash "$ROOT/scripts/build.sh" || exit 1
mkdir -p "$LOGS"

spinners=()
stop_load() { for p in "${spinners[@]}"; do kill "$p" 2>/dev/null; done; wait "${spinners[@]}" 2>/dev/null; }
trap stop_load EXIT
for _ in $(seq "$LOAD"); do
  sh -c 'while :; do :; done' &
  spinners+=($!)
done

export QT_QPA_PLATFORM=offscreen
green=0
for round in $(seq "$ROUNDS"); do
  log="$LOGS/round-$round.log"
  if ctest --test-dir "$BUILD" -j16 --timeout 300 --output-on-failure > "$log" 2>&1; then
    green=$((green + 1))
    echo "round $round: green ($(grep -o '[0-9]* tests failed out of [0-9]*' "$log" || true))"
  else
    echo "round $round: FAILED"
    grep -E '\(Failed\)|\(Timeout\)|\(SEGFAULT\)|\(Subprocess' "$log" | sed 's/^/    /'
  fi
done
echo "$green of $ROUNDS rounds green under a load of $LOAD spinning processes (logs in $LOGS)"
[ "$green" -eq "$ROUNDS" ]
