#!/usr/bin/env bash
# Runs the dealer site on the bundled sample: builds the sample business share, starts the
# stand-in hub, the hub agent and the request processor, sends the sample requests through
# the hub to this site, and prints the answers Dulvan leaves in its request folder.
#
#   ./scripts/run-sample-site.sh            (SITE_DIR=... to keep the site elsewhere)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"

if [ -z "${ZEL_IN_SESSION:-}" ]; then
  bash "$ROOT/scripts/build.sh"
  # The agent's automation interface lives on a session bus: the sample site gets a private
  # one, so it never meets an agent of the desktop session.
  exec env ZEL_IN_SESSION=1 dbus-run-session -- bash "$0" "$@"
fi

SHARE_JSON="${SHARE_JSON:-$ROOT/samples/share.json}"
SITE="${SITE_DIR:-$BUILD/sample-site}"
rm -rf "$SITE"
mkdir -p "$SITE"/{unc,config,tmp,home,agent,dulvan,outbox}
export ZEL_UNC_ROOT="$SITE/unc" XDG_CONFIG_HOME="$SITE/config" TMPDIR="$SITE/tmp" HOME="$SITE/home"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

echo "== Building the sample business share"
"$BUILD/tools/sharegen/sharegen" "$SHARE_JSON"
HOST=$(sed -n 's/^ *"host": *"\([^"]*\)".*/\1/p' "$SHARE_JSON" | head -1)
DIR=$(sed -n 's/^ *"directory": *"QMR\([0-9]*\)".*/\1/p' "$SHARE_JSON" | head -1)
mkdir -p "$ZEL_UNC_ROOT/$HOST/DadAri"

echo "== Starting the stand-in hub"
"$BUILD/tools/zelhub/zelhub" --port 0 > "$SITE/hub.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q listening "$SITE/hub.out" && break; sleep 0.1; done
PORT=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$SITE/hub.out")
[ -n "$PORT" ] || { echo "zelhub did not start"; cat "$SITE/hub.out"; exit 1; }

echo "== Starting ZelAgent (documents of every request type go to \\\\$HOST\\DadAri\\zeldist)"
cp "$BUILD/apps/ZelAgent/ZelAgent" "$SITE/agent/ZelAgent"
{
  printf '[AGENT CORE]\r\nHUB_URL=http://127.0.0.1:%s/ZelHub/HUBServlet\r\n' "$PORT"
  printf '[DocTypeDir]\r\n'
  for t in QUERY PO ESTIMATE; do printf '%s=\\\\%s\\DadAri\\zeldist\r\n' "$t" "$HOST"; done
  printf '[DocTypeExt]\r\n'
  for t in QUERY PO ESTIMATE; do printf '%s=.req\r\n' "$t"; done
} > "$SITE/agent/ZelAgent.INI"
"$SITE/agent/ZelAgent" > "$SITE/agent.out" 2>&1 &
pids+=($!)
sleep 0.5
if ! kill -0 "${pids[-1]}" 2>/dev/null; then
  echo "ZelAgent ended at once (another ZelAgent runs on this machine?)"; cat "$SITE/agent.out"; exit 1
fi

echo "== Starting Dulvan on \\\\$HOST\\QMRLINK\\QMR$DIR"
mkdir -p "$XDG_CONFIG_HOME/Zel"
# Orders draw their numbers from the pick-ticket counter; emergency orders carry the emergency
# message as remark lines.
printf '[Distributor\\Settings\\Connection]\r\nHost=%s\r\nDirectory=%s\r\nAuto-Start=1\r\nInterval=0\r\nLogging=0\r\nArchive=1\r\nPickTicketCounter=%s\r\nEmergencyMessage=%s\r\n' \
  "$HOST" "$DIR" "${PICK_TICKET_COUNTER:-5001}" \
  "${EMERGENCY_MESSAGE:-EMERGENCY ORDER - PLEASE PULL AND SHIP TODAY BY THE FASTEST WAY}" \
  > "$XDG_CONFIG_HOME/Zel/settings.ini"
# The site's notes lines, sent with every stock-query answer, lie beside the program.
cp "$BUILD/apps/Dulvan/Dulvan" "$SITE/dulvan/Dulvan"
cp "$ROOT/samples/QueryNotes.txt" "$SITE/dulvan/QueryNotes.txt"
"$SITE/dulvan/Dulvan" > "$SITE/dulvan.out" 2>&1 &
pids+=($!)

ZELDIST="$ZEL_UNC_ROOT/$HOST/DadAri/zeldist"
for _ in $(seq 100); do [ -d "$ZELDIST" ] && break; sleep 0.1; done
[ -d "$ZELDIST" ] || { echo "Dulvan did not make its request folder"; cat "$SITE/dulvan.out"; exit 1; }

call() { gdbus call --session --dest net.zel.ZelAgent --object-path /ZelAgent --method "net.zel.IZelAgent.$1" "${@:2}"; }
for _ in $(seq 150); do call CheckMail >/dev/null 2>&1 && break; sleep 0.1; done

echo "== Sending the sample requests to this site through the hub"
for f in "$ROOT"/samples/requests/*.txt; do
  cp "$f" "$SITE/outbox/"
  call SendFile "$SITE/outbox/$(basename "$f")" >/dev/null
done
for f in "$ROOT"/samples/requests/*.txt; do call CheckMail >/dev/null; done

want=$(ls "$ROOT"/samples/requests/*.txt | wc -l)
for _ in $(seq 200); do
  got=$(find "$ZELDIST" -maxdepth 1 -name '*.req.[12]' 2>/dev/null | wc -l)
  [ "$got" -ge "$want" ] && break
  sleep 0.1
done

echo "== Answers in $ZELDIST"
found=0
for a in "$ZELDIST"/*.req.[12]; do
  [ -e "$a" ] || continue
  found=$((found + 1))
  echo "--- $(basename "$a")"
  tr -d '\r' < "$a"
done

EXPORTS="$ZEL_UNC_ROOT/$HOST/DadAri/WebTask/In"
echo "== Order export files in $EXPORTS"
for x in "$EXPORTS"/*.txt; do
  [ -e "$x" ] || continue
  echo "--- $(basename "$x")"
  tr -d '\r' < "$x"
done
sleep 0.5
echo "== $found of $want requests answered; archived: $(find "$ZEL_UNC_ROOT/$HOST/DadAri" -ipath '*zelarchive/*.req' | wc -l) requests"
echo "   (site kept in $SITE)"
[ "$found" -ge "$want" ]
