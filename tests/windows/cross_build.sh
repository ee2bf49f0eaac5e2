#!/usr/bin/env bash
# Builds the Windows executables with MinGW-w64 into BUILD.
# Exits 77 (reported as skipped) where the cross compiler is not installed.
set -euo pipefail
src=$1 build=$2
if ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
  echo "SKIPPED: x86_64-w64-mingw32-g++ is not installed"
  exit 77
fi
cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(getconf _NPROCESSORS_ONLN)}"
