#!/bin/bash
# Runs a command next to the local HTTPS update server: starts the server on a
# free loopback port, trusts its CA in $WINEPREFIX (once per prefix), exports
# GLIMRA_UPDATE_SERVER=https://localhost:<port> and ends the server after the
# command. Used as the tests' launcher.
#
# Usage: with-update-server.sh STATE_DIR TRUST_CA_EXE command [args...]
set -uo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
STATE="$1" TRUST="$2"
shift 2
mkdir -p "$STATE/root"

# One CA per state folder, trusted once per prefix; parallel test runs take turns.
(
  flock 9
  python3 -c "import sys; sys.path.insert(0, '$HERE'); import updateserver; updateserver.ensure_certificates('$STATE'); updateserver.write_demo_root('$STATE/root', '1.0.2.0')" || exit 1
  marker="${WINEPREFIX:?}/.glimra-test-ca-$(sha1sum "$STATE/ca.pem" | cut -c1-16)"
  if [ ! -f "$marker" ]; then
    timeout 60 /usr/lib/wine/wine64 "$TRUST" "Z:${STATE//\//\\}\\ca.pem" >/dev/null 2>&1 </dev/null || exit 1
    touch "$marker"
  fi
) 9>"$STATE/.lock" || { echo "with-update-server: no CA" >&2; exit 1; }

url_file="$(mktemp)"
rm -f "$url_file"
python3 "$HERE/updateserver.py" --state-dir "$STATE" --root "$STATE/root" --port 0 --url-file "$url_file" \
  </dev/null >/dev/null 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$url_file" ] && break; sleep 0.05; done
if [ ! -s "$url_file" ]; then
  echo "with-update-server: the server did not start" >&2
  kill "$server" 2>/dev/null
  exit 1
fi
GLIMRA_UPDATE_SERVER="$(cat "$url_file")"
export GLIMRA_UPDATE_SERVER
rm -f "$url_file"
"$@"
rc=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
exit $rc
