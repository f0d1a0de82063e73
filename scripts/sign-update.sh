#!/bin/bash
# Signs a software update package: writes <package.zip>.sig, the detached
# signature that the program checks before it extracts anything (RSA-PSS with
# SHA-256 and a 32-byte salt over the package's bytes). The signature is checked
# against the key's public half before it is written.
# Usage: scripts/sign-update.sh <package.zip> <private-key.pem>
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -ne 2 ]; then
  echo "usage: $0 <package.zip> <private-key.pem>" >&2
  exit 2
fi
package=$1 key=$2
[ -f "$package" ] || { echo "sign-update: no package $package" >&2; exit 1; }
[ -r "$key" ] || { echo "sign-update: cannot read the private key $key" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
padding=(-sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:32)
openssl dgst -sha256 "${padding[@]}" -sign "$key" -out "$work/sig" "$package"
openssl pkey -in "$key" -pubout -out "$work/public.pem"
openssl dgst -sha256 "${padding[@]}" -verify "$work/public.pem" -signature "$work/sig" "$package" >/dev/null

if ! cmp -s "$work/public.pem" "$ROOT/app/update/keys/update-release-key.pub.pem"; then
  echo "sign-update: note: this is not the release key; release builds will refuse $package" >&2
fi
mv "$work/sig" "$package.sig"
echo "$package.sig"
