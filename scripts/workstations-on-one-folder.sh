#!/usr/bin/env bash
# Several Dulvans polling one request folder as workstations do: each with a settings store of
# its own and every counter at the same start, so their numbers meet at every order. ORDERS
# purchase orders are dropped at once; with KILLS=k, one instance is killed (SIGKILL) k times
# while they are answered and started again each time. An instance that ends by itself is
# counted and started again. Then every answer and export is checked: each order exported
# exactly once, each confirmation number in exactly one answer and one export (the export of
# that very order), no export left under its temporary name. Not part of CI: it runs real
# programs for minutes and kills them at moments of its own choosing.
#
#   ./scripts/workstations-on-one-folder.sh               (INSTANCES=2 ORDERS=100 KILLS=0)
#   INSTANCES=3 KILLS=1 ./scripts/workstations-on-one-folder.sh
#   RUNS=5 ...  repeats the run; SITE_DIR=... keeps the sites elsewhere; BUILD_DIR=... as elsewhere
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
INSTANCES="${INSTANCES:-2}"
ORDERS="${ORDERS:-100}"
KILLS="${KILLS:-0}"
RUNS="${RUNS:-1}"
COUNTER="${PICK_TICKET_COUNTER:-100}"
for v in INSTANCES ORDERS RUNS COUNTER; do
  case "${!v}" in ''|*[!0-9]*|0) echo "$v must be a whole number of at least 1" >&2; exit 2 ;; esac
done
case "$KILLS" in ''|*[!0-9]*) echo "KILLS must be a whole number" >&2; exit 2 ;; esac
[ -x "$BUILD/apps/Dulvan/Dulvan" ] && [ -x "$BUILD/tools/sharegen/sharegen" ] ||
  { echo "build first (scripts/build.sh)"; exit 2; }

pids=()
cleanup() {
  for p in "${pids[@]}"; do [ -n "$p" ] && kill -9 "$p" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT

one_run() {
  local run="$1" site="${SITE_DIR:-$BUILD/workstations}/run$1"
  rm -rf "$site"
  mkdir -p "$site"/{unc,tmp,home,stage}
  export ZEL_UNC_ROOT="$site/unc" TMPDIR="$site/tmp" HOME="$site/home" QT_QPA_PLATFORM=offscreen
  "$BUILD/tools/sharegen/sharegen" "$ROOT/samples/share.json" > "$site/sharegen.out" 2>&1 ||
    { echo "sharegen failed"; cat "$site/sharegen.out"; return 1; }
  local host dir
  host=$(sed -n 's/^ *"host": *"\([^"]*\)".*/\1/p' "$ROOT/samples/share.json" | head -1)
  dir=$(sed -n 's/^ *"directory": *"QMR\([0-9]*\)".*/\1/p' "$ROOT/samples/share.json" | head -1)
  local dadari="$ZEL_UNC_ROOT/$host/DadAri"
  local zeldist="$dadari/zeldist" exports="$dadari/WebTask/In"
  mkdir -p "$dadari"

  start() {  # instance number
    local i="$1" config="$site/config$1"
    if [ ! -d "$config/Zel" ]; then
      mkdir -p "$config/Zel"
      printf '[Distributor\\Settings\\Connection]\r\nHost=%s\r\nDirectory=%s\r\nAuto-Start=1\r\nInterval=0\r\nLogging=0\r\nArchive=0\r\nPickTicketCounter=%s\r\n' \
        "$host" "$dir" "$COUNTER" > "$config/Zel/settings.ini"
    fi
    XDG_CONFIG_HOME="$config" "$BUILD/apps/Dulvan/Dulvan" >> "$site/dulvan$i.err" 2>&1 &
    pids[$i]=$!
  }
  for i in $(seq "$INSTANCES"); do start "$i"; done
  for _ in $(seq 200); do [ -d "$zeldist" ] && break; sleep 0.1; done
  [ -d "$zeldist" ] || { echo "no request folder"; return 1; }

  # Written aside, then renamed into place all at once, as the agent leaves them.
  for n in $(seq "$ORDERS"); do
    sed -e "s/^PoNumber=.*/PoNumber=P-$n/" -e 's/$/\r/' "$ROOT/samples/requests/purchase-order.txt" \
      > "$site/stage/p$n.req"
  done
  mv "$site/stage"/*.req "$zeldist/"

  answered() { find "$zeldist" -maxdepth 1 -name 'p*.req.1' | wc -l; }
  local ends=0 kills=0 deadline=$((SECONDS + 600))
  while :; do
    local got
    got=$(answered)
    # The kills fall while the orders are being answered, spread over the run.
    if [ "$kills" -lt "$KILLS" ] && [ "$got" -ge $(( (kills + 1) * ORDERS / (KILLS + 1) )) ]; then
      kill -9 "${pids[1]}" 2>/dev/null && wait "${pids[1]}" 2>/dev/null
      kills=$((kills + 1))
      start 1
    fi
    for i in $(seq "$INSTANCES"); do
      if ! kill -0 "${pids[$i]}" 2>/dev/null; then
        wait "${pids[$i]}" 2>/dev/null
        ends=$((ends + 1))
        start "$i"
      fi
    done
    if [ "$got" -ge "$ORDERS" ] && [ -z "$(find "$zeldist" -maxdepth 1 -name 'p*.req')" ]; then break; fi
    [ "$SECONDS" -lt "$deadline" ] || { echo "run $run: only $got of $ORDERS answered in time"; break; }
    sleep 0.2
  done
  sleep 1  # the last clean-ups
  for i in $(seq "$INSTANCES"); do kill -0 "${pids[$i]}" 2>/dev/null || ends=$((ends + 1)); done
  for i in $(seq "$INSTANCES"); do kill -9 "${pids[$i]}" 2>/dev/null; wait "${pids[$i]}" 2>/dev/null; pids[$i]=; done

  # Answers: order -> confirmation number; exports: number -> order.
  local answers="$site/answers.txt" exported="$site/exports.txt"
  : > "$answers"
  for n in $(seq "$ORDERS"); do
    local a="$zeldist/p$n.req.1"
    if [ -f "$a" ]; then
      tr -d '\r' < "$a" | awk -v o="P-$n" -F= '
        $1 == "ConfirmationNumber" { c = $2 }
        $1 == "Comments" { if (match($2, /Order Number [0-9]+ /)) m = substr($2, RSTART + 13, RLENGTH - 14) }
        END { print o, c, m }' >> "$answers"
    else
      echo "P-$n - -" >> "$answers"
    fi
  done
  : > "$exported"
  for x in "$exports"/*.txt; do
    [ -e "$x" ] || continue
    tr -d '\r' < "$x" | awk -v f="$(basename "$x" .txt)" '
      NR == 2 { h = substr($0, 4) } NR == 4 { po = substr($0, 4) } END { print f, h, po }' >> "$exported"
  done
  local leftovers errors
  leftovers=$(find "$exports" -maxdepth 1 -name '*.tmp' | wc -l)
  errors=$(cat "$site"/dulvan*.err 2>/dev/null | grep -c 'Error: ' || true)
  awk -v run="$run" -v instances="$INSTANCES" -v orders="$ORDERS" -v kills="$kills" \
      -v ends="$ends" -v errors="$errors" -v leftovers="$leftovers" '
    FNR == NR { order[$1] = $2; if ($2 != $3) bad++; ticket[$2]++; next }
    { if ($1 != $2) bad++; exports[$3]++; orderOf[$1] = $3; numbers[$1]++ }
    END {
      once = 0; twice = 0; none = 0
      for (o in order) {
        n = exports[o] + 0
        if (n == 1) once++; else if (n == 0) none++; else twice++
        if (orderOf[order[o]] != o) bad++
      }
      shared = 0; distinct = 0
      for (t in ticket) { distinct++; if (ticket[t] > 1 || t == "-") shared++ }
      ok = once == orders && shared == 0 && ends == 0 && errors == 0 && leftovers == 0 && bad == 0
      printf "run %s: %d instances, %d orders, %d kills: exported once %d, twice or more %d, never %d; " \
             "%d confirmation numbers, %d given to more than one order or missing, %d mismatches; " \
             "%d ends (%d error boxes); %d exports left as .tmp: %s\n",
             run, instances, orders, kills, once, twice, none, distinct, shared, bad + 0, ends,
             errors, leftovers, ok ? "OK" : "FAILED"
      exit ok ? 0 : 1
    }' "$answers" "$exported"
}

failed=0
for run in $(seq "$RUNS"); do one_run "$run" || failed=$((failed + 1)); done
echo "== $((RUNS - failed)) of $RUNS runs OK"
[ "$failed" -eq 0 ]
