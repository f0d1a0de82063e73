#!/bin/bash
# Builds a release and lays out the folder the update server serves under
# /t51c/software/:
#   Vantrel Glimra Setup VERSION.exe   the installer users download
#   Software-VERSION.zip               the update package (holds Software-VERSION.exe,
#                                      the same installer)
#   Software-VERSION.zip.sig           its signature (scripts/sign-update.sh)
#   version                            VERSION, without a line end
#
# Usage: scripts/release.sh VERSION [--key PRIVATE_KEY.pem] [--out DIR] [--installer FILE]
#   --key        signing key; default $GLIMRA_RELEASE_KEY
#   --out        output folder; default release/VERSION (emptied first)
#   --installer  package this already built "Vantrel Glimra Setup VERSION.exe"
#                instead of building (the build of VERSION goes to
#                ${GLIMRA_RELEASE_BUILD:-build-release})
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SIGN="$ROOT/scripts/sign-update.sh"

die() { echo "release: $*" >&2; exit 1; }

[ $# -ge 1 ] || die "usage: scripts/release.sh VERSION [--key FILE] [--out DIR] [--installer FILE]"
VERSION="$1"; shift
KEY="${GLIMRA_RELEASE_KEY:-}"
OUT="$ROOT/release/$VERSION"
INSTALLER=""
while [ $# -gt 0 ]; do
  case "$1" in
    --key) KEY="$2"; shift 2 ;;
    --out) OUT="$2"; shift 2 ;;
    --installer) INSTALLER="$2"; shift 2 ;;
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

SETUP_NAME="Vantrel Glimra Setup $VERSION.exe"
if [ -z "$INSTALLER" ]; then
  BUILD="${GLIMRA_RELEASE_BUILD:-$ROOT/build-release}"
  "$ROOT/scripts/setup.sh"
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCALDRIS_BUILD_TESTS=OFF "-DCALDRIS_VERSION=$VERSION" >/dev/null
  cmake --build "$BUILD" --target installer
  INSTALLER="$BUILD/installer/$SETUP_NAME"
fi
[ -f "$INSTALLER" ] || die "installer $INSTALLER not found"
[ "$(basename "$INSTALLER")" = "$SETUP_NAME" ] || die "$INSTALLER is not the installer of $VERSION"

# Emptied first, but only if it holds nothing but a release's files.
if [ -d "$OUT" ]; then
  for f in "$OUT"/* "$OUT"/.[!.]*; do
    [ -e "$f" ] || continue
    case "$(basename "$f")" in
      version|Software-*.zip|Software-*.zip.sig|"Vantrel Glimra Setup "*.exe) rm -f "$f" ;;
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

"$SIGN" "$OUT/Software-$VERSION.zip" "$KEY"
[ -s "$OUT/Software-$VERSION.zip.sig" ] || die "signing wrote no $OUT/Software-$VERSION.zip.sig"

printf '%s' "$VERSION" >"$OUT/version"

echo "release $VERSION in $OUT (serve it as /t51c/software/):"
(cd "$OUT" && for f in *; do printf '  %10d  %s  %s\n' "$(stat -c %s "$f")" "$(sha256sum "$f" | cut -c1-16)" "$f"; done)
