#!/bin/bash
# Figures, not a test: extraction of a ~20 MB package of a few hundred files by
# the program's extractor under Wine against the host's unzip, and the time to
# verify the package's signature.
# Usage: tests/update/update-bench.sh [runs]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${CALDRIS_TEST_BUILD:-$ROOT/build-tests}"
RUNS="${1:-3}"
cmake --build "$BUILD" --target update_bench
WORK="$BUILD/update-bench"
rm -rf "$WORK"
mkdir -p "$WORK"

# 300 files in 10 folders: a third incompressible, the rest text-like.
python3 - "$WORK/bench.zip" <<'PY'
import os, random, sys, zipfile
random.seed(7)
words = [b"cooler", b"pump", b"display", b"sensor", b"firmware", b"skin", b"theme", b"report"]
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(300):
        if i % 3 == 0:
            data = os.urandom(random.randint(20000, 160000))
        else:
            data = b" ".join(random.choice(words) + b"%d" % random.randint(0, 999) for _ in range(random.randint(5000, 40000)))
        z.writestr("dir%02d/file%03d.bin" % (i % 10, i), data)
PY
"$ROOT/scripts/sign-update.sh" "$WORK/bench.zip" "$BUILD/update-keys/test-update-key.pem" 2>/dev/null >/dev/null
echo "package: $(du -m "$WORK/bench.zip" | cut -f1) MB, $(unzip -Z1 "$WORK/bench.zip" | wc -l) files," \
     "$(unzip -l "$WORK/bench.zip" | tail -1 | awk '{print int($1/1048576)}') MB unpacked"

. "$ROOT/scripts/wine-env.sh"
trap stop_wine_env EXIT
wine_prepare_prefix "$BUILD/wineprefix"
start_wineserver
"$ROOT/scripts/wine-run.sh" "$BUILD/bin/update_bench.exe" "Z:$WORK/bench.zip" "Z:$WORK/bench.zip.sig" \
  "Z:$WORK/out-wine" "$RUNS" | tee "$WORK/wine.txt"

for run in $(seq "$RUNS"); do
  start=$(date +%s.%N)
  unzip -q -o "$WORK/bench.zip" -d "$WORK/out-host"
  end=$(date +%s.%N)
  echo "host unzip run $run: $(echo "$end - $start" | bc) s"
done | tee "$WORK/host.txt"

wine_best=$(grep -o 'extract [0-9.]*' "$WORK/wine.txt" | awk '{print $2}' | sort -n | head -1)
host_best=$(grep -o ': [0-9.]* s' "$WORK/host.txt" | awk '{print $2}' | sort -n | head -1)
verify_best=$(grep -o 'verify [0-9.]*' "$WORK/wine.txt" | awk '{print $2}' | sort -n | head -1)
echo "best: extractor $wine_best s, host unzip $host_best s, ratio $(echo "scale=2; $wine_best / $host_best" | bc); verification $verify_best s"
