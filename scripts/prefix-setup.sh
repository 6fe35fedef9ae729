#!/usr/bin/env bash
# Makes the checkout's test Wine prefix (.wine/) fit for tests; any other
# WINEPREFIX is refused (scripts/wine-env.sh). Idempotent: run when the
# prefix is made (scripts/wine-env.sh) and again by the test service's start
# script, so a CA made after the prefix still gets in.
#  - Trusts the test CA (tests/service/make-certs.sh) in this prefix's
#    machine Root store only; the host's store is never touched. A CA from an
#    earlier generation is removed.
#  - Marks drive z: (the host's root folder) as a network drive so that the
#    installer never takes it for a fixed disk to install on; tests still
#    read the checkout through it.
#  - Makes the user's shell folders (Desktop, Documents, ...) real folders
#    of the prefix: Wine links them to the host's home, where the links and
#    files tests make would land outside the prefix.
#  - Not done: pointing the http/https shell open commands at a recorder
#    (HKCR\http\shell\open\command); tests that open links should set it.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/wine-env.sh"
# Wine would make a missing prefix on the first call, without the rest of
# corvel_make_prefix: only a made one is set up here.
[ -f "$WINEPREFIX/system.reg" ] || { echo "no Wine prefix at $WINEPREFIX: make it with corvel_make_prefix (scripts/wine-env.sh)" >&2; exit 1; }
certs=${CORVEL_TEST_CERTS:-$ROOT/build/testcerts}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

winpath() { local p=$1; echo "Z:${p//\//\\}"; }

if [ ! -f "$WINEPREFIX/.corvel-hygiene-v1" ]; then
  cat >"$tmp/hygiene.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"z:"="network"
REG
  "$WINE" reg import "$(winpath "$tmp/hygiene.reg")" >/dev/null 2>&1
  # Drive types are read when the wineserver starts its devices: let this
  # one end, and end it when its programs keep it alive past 20 s (seen on a
  # fresh system), so the next program of this prefix reads the new type.
  timeout 20 "$WINESERVER" -w >/dev/null 2>&1 || "$WINESERVER" -k >/dev/null 2>&1 || true
  touch "$WINEPREFIX/.corvel-hygiene-v1"
fi

corvel_keep_user_folders_in_prefix

bash "$ROOT/tests/service/make-certs.sh" "$certs"
sha1=$(openssl x509 -in "$certs/ca.crt" -noout -fingerprint -sha1 | cut -d= -f2 | tr -d ':')
key='HKEY_LOCAL_MACHINE\Software\Microsoft\SystemCertificates\Root\Certificates'
if [ ! -f "$WINEPREFIX/.corvel-ca-$sha1" ]; then
  for old in "$WINEPREFIX"/.corvel-ca-*; do
    [ -e "$old" ] || continue
    "$WINE" reg delete "$key\\${old##*/.corvel-ca-}" /f >/dev/null 2>&1 || true
    rm -f "$old"
  done
  # A system store keeps each certificate as a serialized property list:
  # {property id 32 (the encoded certificate), encoding 1, size, bytes}.
  python3 - "$certs/ca.der" "$sha1" "$key" >"$tmp/ca.reg" <<'PY'
import struct, sys
der = open(sys.argv[1], "rb").read()
blob = struct.pack("<III", 32, 1, len(der)) + der
hexed = ",".join("%02x" % b for b in blob)
lines, line = [], '"Blob"=hex:'
for part in hexed.split(","):
    if len(line) + 3 > 76:
        lines.append(line + ",\\")
        line = "  " + part
    else:
        line += ("" if line.endswith(":") else ",") + part
lines.append(line)
print("Windows Registry Editor Version 5.00\r\n\r\n[%s\\%s]\r\n%s\r\n" % (sys.argv[3], sys.argv[2], "\r\n".join(lines)))
PY
  "$WINE" reg import "$(winpath "$tmp/ca.reg")" >/dev/null 2>&1
  "$WINE" reg query "$key\\$sha1" >/dev/null 2>&1 || { echo "test CA not imported into $WINEPREFIX" >&2; exit 1; }
  touch "$WINEPREFIX/.corvel-ca-$sha1"
fi
