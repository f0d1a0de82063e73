#!/bin/bash
# STAND-IN for tests only, until scripts/sign-update.sh is merged; delete it
# then. Same interface: <package.zip> <private-key.pem> writes <package.zip>.sig.
set -euo pipefail
openssl dgst -sha256 -sign "$2" -out "$1.sig" "$1"
