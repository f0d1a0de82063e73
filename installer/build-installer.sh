#!/bin/bash
# Builds the Windows installer from whatever the dist folder holds.
# Usage: installer/build-installer.sh DIST_DIR VERSION OUTPUT.exe
# Skips makensis when the output is newer than every input.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
DIST="$(cd "$1" && pwd)"
VERSION="$2"
OUT="$3"
NSI="$HERE/Glimra.nsi"
EXE="Vantrel Glimra.exe"
ICON="$DIST/skins/theme1/Caldris.ico"

[[ "$VERSION" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "build-installer: bad version '$VERSION'" >&2; exit 1; }
[ -f "$DIST/$EXE" ] || { echo "build-installer: no '$EXE' in $DIST" >&2; exit 1; }
[ -f "$ICON" ] || { echo "build-installer: no icon $ICON" >&2; exit 1; }

mkdir -p "$(dirname "$OUT")"
OUT="$(cd "$(dirname "$OUT")" && pwd)/$(basename "$OUT")"
STAMP="$OUT.inputs"

# The exact file list and version are part of the inputs: a removed file or a
# new version rebuilds even when nothing is newer.
inputs=$(cd "$DIST" && find . -type f | LC_ALL=C sort; echo "$VERSION")
if [ -f "$OUT" ] && [ -f "$STAMP" ] && [ "$inputs" = "$(cat "$STAMP")" ] \
   && [ -z "$(find "$DIST" "$NSI" "$0" -newer "$OUT" -print -quit)" ]; then
  exit 0
fi

# NSIS wants Windows separators in $INSTDIR paths and $$ for a literal $.
nsis_escape() { local s="${1//\$/\$\$}"; printf '%s' "${s//\//\\}"; }

FILES="$(mktemp --suffix=.nsh)"
trap 'rm -f "$FILES"' EXIT
{
  echo "!macro InstallFiles"
  (cd "$DIST" && find . -type d | LC_ALL=C sort) | while read -r dir; do
    rel="${dir#.}"; rel="${rel#/}"
    target="\$INSTDIR"; [ -n "$rel" ] && target="\$INSTDIR\\$(nsis_escape "$rel")"
    files=$(cd "$DIST/$rel" && find . -maxdepth 1 -type f | LC_ALL=C sort)
    [ -n "$files" ] || continue
    echo "  SetOutPath \"$target\""
    while read -r f; do
      f="${f#./}"
      echo "  File \"$(printf '%s' "$DIST/${rel:+$rel/}$f" | sed 's/\$/$$/g')\""
    done <<<"$files"
  done
  echo "  SetOutPath \"\$INSTDIR\""
  echo "!macroend"
  # Per folder: its known files, only when neither it nor a folder above it
  # (up to $INSTDIR) is a link; then the folders, deepest first, if empty
  # (RMDir without /r keeps anything else that is there).
  echo "!macro UninstallFiles"
  (cd "$DIST" && find . -type d | LC_ALL=C sort) | while read -r dir; do
    rel="${dir#.}"; rel="${rel#/}"
    files=$(cd "$DIST/$rel" && find . -maxdepth 1 -type f | LC_ALL=C sort)
    [ -n "$files" ] || continue
    level="\$INSTDIR" zeros=""
    echo "  StrCpy \$R0 \"\""
    IFS=/ read -r -a parts <<<"$rel"
    for part in "" "${parts[@]}"; do
      [ -n "$part" ] && level="$level\\$(nsis_escape "$part")"
      echo "  Push \"$level\""
      echo "  Call un.IsLink"
      echo "  Pop \$R1"
      echo "  StrCpy \$R0 \"\$R0\$R1\""
      zeros="${zeros}0"
    done
    echo "  \${If} \$R0 == \"$zeros\""
    while read -r f; do
      echo "    Delete \"$level\\$(nsis_escape "${f#./}")\""
    done <<<"$files"
    echo "  \${EndIf}"
  done
  (cd "$DIST" && find . -mindepth 1 -type d | LC_ALL=C sort -r) | while read -r d; do
    echo "  RMDir \"\$INSTDIR\\$(nsis_escape "${d#./}")\""
  done
  echo "!macroend"
} >"$FILES"

makensis -V2 -INPUTCHARSET UTF8 \
  "-DVERSION=$VERSION" "-DOUTFILE=$OUT" "-DICON=$ICON" "-DFILES=$FILES" "$NSI"
printf '%s' "$inputs" >"$STAMP"
