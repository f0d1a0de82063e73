#!/bin/bash
# Fails when a Windows binary imports anything but Windows system DLLs (and the
# project's own QLUI.dll): the runtime must be linked statically.
set -euo pipefail
ALLOWED='^(kernel32|user32|gdi32|gdiplus|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|msvcrt|wininet|winhttp|setupapi|hid|cfgmgr32|winmm|imm32|shlwapi|version|msimg32|uxtheme|dwmapi|crypt32|ws2_32|bcrypt|ntdll|psapi|dxgi|d3d11|userenv|qlui)\.dll$'
status=0
bins=()
for arg in "$@"; do
  if [ -d "$arg" ]; then
    for f in "$arg"/*.exe "$arg"/*.dll; do [ -e "$f" ] && bins+=("$f"); done
  else
    bins+=("$arg")
  fi
done
[ ${#bins[@]} -gt 0 ] || { echo "FAIL: nothing to check"; exit 1; }
for bin in "${bins[@]}"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$bin" | awk '/DLL Name:/{print tolower($3)}')
  for dll in $dlls; do
    if ! [[ "$dll" =~ $ALLOWED ]]; then
      echo "FAIL: $(basename "$bin") imports $dll"
      status=1
    fi
  done
  echo "$(basename "$bin"): $(echo $dlls | tr '\n' ' ')"
done
exit $status
