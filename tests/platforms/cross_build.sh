#!/usr/bin/env bash
# Builds for platforms this machine does not run, with the clang inside
# zig 0.11 (cmake/zig.cmake): ZIG names it, else it is looked for on PATH:
#   cross_build.sh macos SOURCE_DIR WORK_DIR
#     for macOS x86_64 and arm64: the program, the console library, and the
#     example tour and the C round trip built on the installed library;
#     compiled and linked, not run
#   cross_build.sh musl SOURCE_DIR WORK_DIR TRANSCRIPT_TEST CASES_DIR
#     the program static against musl, a second C library, then every
#     transcript case run with it
# Exits 77 (reported as skipped) where zig is missing.
set -euo pipefail
mode=$1 src=$2 work=$3
zig=${ZIG:-$(command -v zig || true)}
[ -n "$zig" ] || { echo "SKIPPED: zig is not on PATH"; exit 77; }
[ "$("$zig" version)" = 0.11.0 ] || echo "note: zig $("$zig" version), tried with 0.11.0"

build() {  # build TARGET DIR [CMAKE_OPTION...]
  local target=$1 dir=$2
  shift 2
  cmake -S "$src" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/zig.cmake" -DZIG="$zig" -DZIG_TARGET="$target" \
    -DBUILD_TESTING=OFF "$@" >"$dir.log" 2>&1 || { cat "$dir.log"; exit 1; }
  cmake --build "$dir" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(getconf _NPROCESSORS_ONLN)}" >>"$dir.log" 2>&1 || { tail -30 "$dir.log"; exit 1; }
}

case $mode in
macos)
  for target in x86_64-macos aarch64-macos; do
    dir=$work/$target
    rm -rf "$dir"
    build "$target" "$dir"
    cmake --install "$dir" --prefix "$dir/prefix" >/dev/null
    # C and C++ programs on the installed library, linked with the C library alone.
    # zig builds for debugging with its checks unless optimising.
    "$zig" c++ -target "$target" -O2 -std=c++17 -I"$dir/prefix/include" -c "$src/examples/console_tour.cpp" \
      -o "$dir/tour.o"
    "$zig" cc -target "$target" "$dir/tour.o" -L"$dir/prefix/lib" -lmarking-system-console -o "$dir/tour"
    for c_program in tests/package/consumer/c/round_trip.c examples/move_mark.c; do
      "$zig" cc -target "$target" -O2 -std=c99 -Wall -Werror "$src/$c_program" -I"$dir/prefix/include" \
        -L"$dir/prefix/lib" -lmarking-system-console -o "$dir/$(basename "$c_program" .c)"
    done
    for program in src/marking-system tour round_trip move_mark; do
      file "$dir/$program" | grep -q "Mach-O 64-bit .*executable" || { file "$dir/$program"; exit 1; }
    done
    echo "$target: $(file -b "$dir/src/marking-system")"
  done
  ;;
musl)
  dir=$work/x86_64-linux-musl
  rm -rf "$dir"
  build x86_64-linux-musl "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  file "$dir/src/marking-system" | grep -q "static" || { file "$dir/src/marking-system"; exit 1; }
  # The random marks are the C library's generator's, which the test knows for glibc only.
  "$4" "$5" "$dir/src/marking-system" --gtest_filter=-RandomMarks.*
  ;;
*)
  echo "unknown mode $mode"
  exit 2
  ;;
esac
