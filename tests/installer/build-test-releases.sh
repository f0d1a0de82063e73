#!/bin/bash
# Builds the releases the installer tests install and update between, each in
# a tree of its own through scripts/release.sh (tests off), all signed with one
# throwaway release key that they trust as their only release key.
# Usage: build-test-releases.sh SOURCE OUT KEY VERSION...
#   KEY: the key pair's path without ".pem" / ".pub.pem"
#   OUT/VERSION: the release folder; OUT/build-VERSION: its build tree
set -euo pipefail
SOURCE=$1 OUT=$2 KEY=$3
shift 3
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
for version in "$@"; do
  GLIMRA_RELEASE_BUILD="$OUT/build-$version" "$SOURCE/scripts/release.sh" "$version" \
    --key "$KEY.pem" --release-keys "$KEY.pub.pem" --out "$OUT/$version" >"$OUT/release-$version.log" 2>&1 ||
    { tail -n 40 "$OUT/release-$version.log" >&2; exit 1; }
done
