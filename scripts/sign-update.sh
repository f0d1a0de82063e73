#!/bin/bash
# Signs a software update file (a package or a release record): writes
# <file>.sig, the detached signature that the program checks before it trusts
# the file (RSA-PSS with SHA-256 and a 32-byte salt over the file's bytes). The
# signature is checked against the key's public half before it is written.
# Usage: scripts/sign-update.sh [--trusted "PUB.pem[;PUB.pem...]"] <file> <private-key.pem>
#   --trusted  the public keys the program to be released trusts; the signing
#              key's public half must be one of them, else nothing is written
set -euo pipefail
trusted=""
if [ "${1:-}" = "--trusted" ]; then
  trusted=$2
  shift 2
fi
if [ $# -ne 2 ]; then
  echo "usage: $0 [--trusted \"PUB.pem[;PUB.pem...]\"] <file> <private-key.pem>" >&2
  exit 2
fi
package=$1 key=$2
[ -f "$package" ] || { echo "sign-update: no file $package" >&2; exit 1; }
[ -r "$key" ] || { echo "sign-update: cannot read the private key $key" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl pkey -in "$key" -pubout -out "$work/public.pem"
if [ -n "$trusted" ]; then
  match=""
  IFS=';' read -r -a keys <<<"$trusted"
  for pub in "${keys[@]}"; do
    [ -f "$pub" ] || { echo "sign-update: trusted key $pub not found" >&2; exit 1; }
    if cmp -s "$work/public.pem" <(openssl pkey -pubin -in "$pub" -pubout); then match=$pub; fi
  done
  [ -n "$match" ] || { echo "sign-update: $key is not one of the trusted keys ($trusted); nothing signed" >&2; exit 1; }
fi
padding=(-sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:32)
openssl dgst -sha256 "${padding[@]}" -sign "$key" -out "$work/sig" "$package"
openssl dgst -sha256 "${padding[@]}" -verify "$work/public.pem" -signature "$work/sig" "$package" >/dev/null
mv "$work/sig" "$package.sig"
echo "$package.sig"
