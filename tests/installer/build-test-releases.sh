#!/bin/bash
# Builds the releases the installer tests install and update between, each in
# a tree of its own through scripts/release.sh (tests off), all signed with one
# throwaway release key that they trust as their only release key.
# Usage: build-test-releases.sh SOURCE OUT TREE KEY VERSION...
#   KEY: the key pair's path without ".pem" / ".pub.pem"
#   OUT/VERSION: the release folder; TREE-VERSION: its build tree
set -euo pipefail
SOURCE=$1 OUT=$2 TREE=$3 KEY=$4
shift 4
mkdir -p "$OUT"
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
for version in "$@"; do
  GLIMRA_RELEASE_BUILD="$TREE-$version" "$SOURCE/scripts/release.sh" "$version" \
    --key "$KEY.pem" --release-keys "$KEY.pub.pem" --out "$OUT/$version" >"$OUT/release-$version.log" 2>&1 ||
    { tail -n 40 "$OUT/release-$version.log" >&2; exit 1; }
done
