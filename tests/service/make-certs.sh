#!/usr/bin/env bash
# Generates the test certificates into a folder (created when missing; left
# as it is when already complete):
#   ca.crt/.key          test CA, trusted only inside the test Wine prefix
#   good.crt/.key        leaf under the CA for 127.0.0.1 and localhost (the
#                        address is also a DNS name: Wine's name check
#                        ignores IP address entries)
#   untrusted.crt/.key   self-signed leaf for 127.0.0.1 and localhost
#   expired.crt/.key     leaf under the CA for 127.0.0.1, valid 2020-2021
#   wrongname.crt/.key   leaf under the CA for wrong.invalid only
# Keys are throw-away: they are made here and never leave the build folder.
#   make-certs.sh <folder>
set -euo pipefail
dir=${1:?usage: make-certs.sh <folder>}
mkdir -p "$dir"
cd "$dir"
if [ -f .complete-v2 ]; then exit 0; fi
rm -rf ./*.crt ./*.key ./*.csr ./*.der ca-db .complete*
umask 077

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 3650 -sha256 \
  -subj "/CN=Corvel Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null

# A minimal CA set-up so that validity dates can be given explicitly.
mkdir -p ca-db/new
: > ca-db/index.txt
echo 1000 > ca-db/serial
cat > ca-db/ca.cnf <<EOF
[ ca ]
default_ca = testca
[ testca ]
dir = $PWD/ca-db
database = \$dir/index.txt
new_certs_dir = \$dir/new
serial = \$dir/serial
certificate = $PWD/ca.crt
private_key = $PWD/ca.key
default_md = sha256
policy = anything
unique_subject = no
copy_extensions = none
[ anything ]
commonName = supplied
[ good_ext ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost,DNS:127.0.0.1,IP:127.0.0.1
[ wrong_ext ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:wrong.invalid
EOF

leaf() {  # name cn ext startdate enddate
  openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" 2>/dev/null
  openssl ca -batch -config ca-db/ca.cnf -in "$1.csr" -out "$1.crt" -notext \
    -extensions "$3" -startdate "$4" -enddate "$5" >/dev/null 2>&1
  rm -f "$1.csr"
}
now_minus_day=$(date -u -d '-1 day' +%Y%m%d%H%M%SZ)
in_ten_years=$(date -u -d '+3650 days' +%Y%m%d%H%M%SZ)
leaf good 127.0.0.1 good_ext "$now_minus_day" "$in_ten_years"
leaf expired 127.0.0.1 good_ext 20200101000000Z 20210101000000Z
leaf wrongname wrong.invalid wrong_ext "$now_minus_day" "$in_ten_years"

openssl req -x509 -newkey rsa:2048 -nodes -keyout untrusted.key -out untrusted.crt -days 3650 -sha256 \
  -subj "/CN=127.0.0.1" \
  -addext "basicConstraints=critical,CA:FALSE" \
  -addext "extendedKeyUsage=serverAuth" \
  -addext "subjectAltName=DNS:localhost,DNS:127.0.0.1,IP:127.0.0.1" 2>/dev/null

openssl x509 -in ca.crt -outform DER -out ca.der
for f in ca good untrusted expired wrongname; do test -s "$f.crt" && test -s "$f.key"; done
chmod 644 ./*.crt ca.der
touch .complete-v2
