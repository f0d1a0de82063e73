#!/bin/bash
# Builds a release in a tree of its own (tests off: the program trusts the
# release keys only) and lays out the folder the update server serves under
# /t51c/software/:
#   Vantrel Glimra Setup VERSION.exe   the installer users download
#   Software-VERSION.zip               the update package (holds Software-VERSION.exe,
#                                      the same installer)
#   Software-VERSION.zip.sig           its signature, for programs from before the release record
#   release                            the signed release record (app/update/ReleaseRecord.h)
#   release.sig                        its signature (scripts/sign-update.sh)
#   version                            VERSION, without a line end
#
# Usage: scripts/release.sh VERSION [--key PRIVATE_KEY.pem] [--out DIR] [--release-keys "PUB.pem[;PUB.pem]"]
#   --key           signing key; default $GLIMRA_RELEASE_KEY
#   --out           output folder; default release/VERSION (emptied first)
#   --release-keys  the public keys the released program trusts (CALDRIS_RELEASE_KEYS);
#                   default $GLIMRA_RELEASE_KEYS, else the committed
#                   app/update/keys/update-release-key.pub.pem. The signing
#                   key's public half must be one of them.
# The build goes to ${GLIMRA_RELEASE_BUILD:-build-release}.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SIGN="$ROOT/scripts/sign-update.sh"

die() { echo "release: $*" >&2; exit 1; }

[ $# -ge 1 ] || die "usage: scripts/release.sh VERSION [--key FILE] [--out DIR] [--release-keys LIST]"
VERSION="$1"; shift
KEY="${GLIMRA_RELEASE_KEY:-}"
OUT="$ROOT/release/$VERSION"
RELEASE_KEYS="${GLIMRA_RELEASE_KEYS:-$ROOT/app/update/keys/update-release-key.pub.pem}"
while [ $# -gt 0 ]; do
  case "$1" in
    --key) KEY="$2"; shift 2 ;;
    --out) OUT="$2"; shift 2 ;;
    --release-keys) RELEASE_KEYS="$2"; shift 2 ;;
    *) die "unknown argument '$1'" ;;
  esac
done

# The program compares four numbers, each a 16-bit field of its version
# resource, and takes a "version" file of at most 10 characters.
[[ "$VERSION" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "VERSION must be a.b.c.d, got '$VERSION'"
[ ${#VERSION} -le 10 ] || die "VERSION '$VERSION' is longer than the 10 characters the program accepts"
IFS=. read -r -a parts <<<"$VERSION"
for p in "${parts[@]}"; do [ "$((10#$p))" -le 65535 ] || die "version part $p is above 65535"; done

[ -n "$KEY" ] || die "no signing key: pass --key FILE or set GLIMRA_RELEASE_KEY"
[ -f "$KEY" ] || die "signing key $KEY not found"
[ -x "$SIGN" ] || die "signing script $SIGN not found"
# Before anything is built: a release the program would refuse is no release.
abs_keys=()
IFS=';' read -r -a listed <<<"$RELEASE_KEYS"
for pub in "${listed[@]}"; do
  [ -f "$pub" ] || die "release key $pub not found"
  abs_keys+=("$(realpath "$pub")")
done
RELEASE_KEYS=$(IFS=';'; echo "${abs_keys[*]}")
probe=$(mktemp)
trap 'rm -f "$probe" "$probe.sig"' EXIT
"$SIGN" --trusted "$RELEASE_KEYS" "$probe" "$KEY" >/dev/null ||
  die "the signing key $KEY is not one of the keys the release trusts ($RELEASE_KEYS)"

SETUP_NAME="Vantrel Glimra Setup $VERSION.exe"
BUILD="${GLIMRA_RELEASE_BUILD:-$ROOT/build-release}"
"$ROOT/scripts/setup.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCALDRIS_BUILD_TESTS=OFF "-DCALDRIS_VERSION=$VERSION" \
  "-DCALDRIS_RELEASE_KEYS=$RELEASE_KEYS" >/dev/null
cmake --build "$BUILD" --target installer
INSTALLER="$BUILD/installer/$SETUP_NAME"
[ -f "$INSTALLER" ] || die "installer $INSTALLER not found"

# Emptied first, but only if it holds nothing but a release's files.
if [ -d "$OUT" ]; then
  for f in "$OUT"/* "$OUT"/.[!.]*; do
    [ -e "$f" ] || continue
    case "$(basename "$f")" in
      version|release|release.sig|Software-*.zip|Software-*.zip.sig|"Vantrel Glimra Setup "*.exe) rm -f "$f" ;;
      *) die "$OUT holds $(basename "$f"), which is not part of a release; choose another --out" ;;
    esac
  done
fi
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"
cp "$INSTALLER" "$OUT/$SETUP_NAME"

# One entry, marked as made on a DOS-family host with the archive attribute,
# dated like the installer; the program extracts it into its download folder.
python3 - "$OUT/$SETUP_NAME" "$OUT/Software-$VERSION.zip" "Software-$VERSION.exe" <<'PY'
import os, sys, time, zipfile
source, archive, name = sys.argv[1:]
info = zipfile.ZipInfo(name, time.localtime(os.path.getmtime(source))[:6])
info.create_system = 0
info.external_attr = 0x20
info.compress_type = zipfile.ZIP_DEFLATED
with open(source, "rb") as f, zipfile.ZipFile(archive, "w") as z:
    z.writestr(info, f.read(), compresslevel=9)
PY

# The record names this release: the program downloads it first and takes
# nothing that is not strictly newer than itself or not exactly this package.
package="$OUT/Software-$VERSION.zip"
installer_sha=$(sha256sum "$INSTALLER" | cut -d' ' -f1)
printf 'product=Vantrel Glimra\nversion=%s\npackage=Software-%s.zip\nlength=%s\nsha256=%s\ninstaller=Software-%s.exe\ninstaller-sha256=%s\nissued=%s\n' \
  "$VERSION" "$VERSION" "$(stat -c %s "$package")" "$(sha256sum "$package" | cut -d' ' -f1)" "$VERSION" \
  "$installer_sha" "$(date -u +%Y-%m-%d)" >"$OUT/release"
for f in "$package" "$OUT/release"; do
  "$SIGN" --trusted "$RELEASE_KEYS" "$f" "$KEY" >/dev/null
  [ -s "$f.sig" ] || die "signing wrote no $f.sig"
done

printf '%s' "$VERSION" >"$OUT/version"

echo "release $VERSION in $OUT (serve it as /t51c/software/):"
(cd "$OUT" && for f in *; do printf '  %10d  %s  %s\n' "$(stat -c %s "$f")" "$(sha256sum "$f" | cut -c1-16)" "$f"; done)
