#!/usr/bin/env bash
# Runs COMMAND with Wine set up for the Windows build in BUILD: a private
# prefix under BUILD, made on first use, and Wine's own logging off.
# Exits 77 (reported as skipped) where Wine or the Windows build is missing.
#   with_wine.sh BUILD COMMAND...
set -euo pipefail
build=$1
shift
if ! command -v wine >/dev/null; then
  echo "SKIPPED: wine is not installed"
  exit 77
fi
if [ ! -f "$build/src/marking-system.exe" ]; then
  echo "SKIPPED: no Windows build in $build"
  exit 77
fi
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot --init >"$build/wineboot.log" 2>&1
  wineserver -w
fi
exec "$@"
