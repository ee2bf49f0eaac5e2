#!/usr/bin/env bash
# Checks one artefact that users get, then runs the program from it on the
# README's example session (the block after "<!-- example session"), with the
# example scores.txt that came with it, and compares the output byte for byte.
#   package_test.sh readme  SOURCE_DIR PROGRAM     the README's block itself
#   package_test.sh install SOURCE_DIR BUILD_DIR   cmake --install, and a program built on it
#   package_test.sh manual  SOURCE_DIR PROGRAM     the manual page, its messages the program's
#   package_test.sh deb     SOURCE_DIR BUILD_DIR   the .deb
#   package_test.sh zip     SOURCE_DIR BUILD_DIR   the Windows .zip, under Wine
#   package_test.sh reproducible SOURCE_DIR        the release packages, built twice
#   package_test.sh c-only  SOURCE_DIR            a debug build needs the C library alone
# Exits 77 (reported as skipped) where a tool it needs is missing. Its work
# folder goes on every way out: the builds it runs time out before CTest
# would kill it.
set -euo pipefail
mode=$1 src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(getconf _NPROCESSORS_ONLN)}
export CMAKE_BUILD_PARALLEL_LEVEL

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }
need() { for tool; do command -v "$tool" >/dev/null || skip "$tool is not installed"; done; }

# session SCORES COMMAND...: the README's session run by COMMAND in a fresh
# directory holding SCORES as scores.txt.
session() {
  local scores=$1 dir=$work/session
  shift
  mkdir -p "$dir"
  cp "$scores" "$dir/scores.txt"
  awk '/^<!-- example session/ { found = 1; next }
       found && /^```/ { if (inside) exit; inside = 1; next }
       inside' "$src/README.md" >"$work/block"
  local input
  input=$(sed -n "1s/^\\\$ printf '\\(.*\\)' | marking-system\$/\\1/p" "$work/block")
  [ -n "$input" ] || fail "no example session in README.md"
  tail -n +2 "$work/block" >"$work/expected"
  # shellcheck disable=SC2059 # the README shows the input as printf's format
  (cd "$dir" && printf "$input" | "$@") | sed 's/\r$//' >"$work/actual"
  cmp -s "$work/expected" "$work/actual" || {
    diff "$work/expected" "$work/actual" || true
    fail "the session differs from the README's"
  }
  cmp -s "$scores" "$dir/scores.txt" || fail "scores.txt was changed"
}

# on_terminal COMMAND: runs the shell command in a tmux pane, a terminal that
# answers its queries, and prints what it wrote on standard error.
on_terminal() {
  local results=$work/results socket=package-test-$$
  rm -f "$results"
  tmux -L "$socket" -f /dev/null new-session -d -x 80 -y 24 \
    "$1 2>$results.part; mv $results.part $results; sleep 60"
  for _ in $(seq 600); do [ -f "$results" ] && break; sleep 0.1; done
  tmux -L "$socket" kill-server 2>/dev/null || true
  cat "$results"
}

# consumer PREFIX [CMAKE_OPTION...]: builds the outside program against the
# console functions installed in PREFIX with find_package, and the installed
# examples with it.
consumer() {
  local prefix=$1 build=$work/consumer
  shift
  rm -rf "$build"
  cmake -S "$src/tests/package/consumer" -B "$build" -DCMAKE_PREFIX_PATH="$prefix" \
    -DEXAMPLES="$(find "$prefix" -path '*/examples/*' -type f | sort | paste -sd ';')" "$@" >/dev/null
  cmake --build "$build" >/dev/null
}

# same_files LISTED EXPECTED...: the listed files are exactly the expected
# ones; CMake's file of the build type's targets is named targets-CONFIG.
same_files() {
  local listed=$1
  shift
  printf '%s\n' "$@" | sort >"$work/wanted"
  sed 's/-targets-[a-z]*\.cmake$/-targets-CONFIG.cmake/' "$listed" | sort |
    cmp -s "$work/wanted" - || {
    sed 's/-targets-[a-z]*\.cmake$/-targets-CONFIG.cmake/' "$listed" | sort |
      diff "$work/wanted" - || true
    fail "unexpected files"
  }
}

case $mode in
readme)
  session "$src/doc/scores.txt" "$3"
  ;;
install)
  need tmux pkg-config
  # The header's functions, by name.
  sed -n 's/^[a-z][a-z ]*[ *]\([A-Za-z]*\)(.*);.*/\1/p' "$src/src/console/console.h" | sort >"$work/api"
  # The program carries the console functions, unused as they are.
  nm "$3/src/marking-system" >"$work/symbols"
  while read -r function; do
    grep -q " T $function\$" "$work/symbols" || fail "the program lacks $function"
  done <"$work/api"
  cmake --install "$3" --prefix "$work/prefix" --strip >/dev/null  # as the README says
  readelf -S "$work/prefix/bin/marking-system" >"$work/sections"
  ! grep -q debug_info "$work/sections" || fail "not stripped"
  (cd "$work/prefix" && find . ! -type d | sed 's|/lib/[^/]*-linux-gnu/|/lib/|') >"$work/files"
  same_files "$work/files" ./bin/marking-system ./share/man/man1/marking-system.1 \
    ./share/man/man3/marking-system-console.3 \
    ./share/doc/marking-system/README.md ./share/doc/marking-system/scores.txt \
    ./share/doc/marking-system/doc/console_tour.png ./share/doc/marking-system/LICENSE ./share/doc/marking-system/examples/console_tour.cpp \
    ./share/doc/marking-system/examples/move_mark.c \
    ./include/marking-system/console.h ./lib/libmarking-system-console.a \
    ./lib/pkgconfig/marking-system-console.pc ./lib/cmake/marking-system/marking-system-config.cmake \
    ./lib/cmake/marking-system/marking-system-config-version.cmake \
    ./lib/cmake/marking-system/marking-system-targets.cmake \
    ./lib/cmake/marking-system/marking-system-targets-CONFIG.cmake
  session "$work/prefix/share/doc/marking-system/scores.txt" "$work/prefix/bin/marking-system"
  # Relocatable: no path of this machine in what is installed; moved, it still serves.
  ! grep -rlF -e "$src" -e "$3" -e "$work" "$work/prefix" || fail "a build path is installed"
  mv "$work/prefix" "$work/moved"
  # The library exports the header's functions and nothing else.
  nm -g --defined-only "$(find "$work/moved" -name '*.a')" | awk 'NF == 3 { print $3 }' | sort |
    cmp -s "$work/api" - || fail "the library exports other names than the header's"
  consumer "$work/moved"
  [ "$(on_terminal "$work/consumer/round_trip")" = "7 3 7" ] || fail "find_package: $(cat "$work/results")"
  cmake -S "$src/tests/package/consumer/c" -B "$work/consumer-c" -DCMAKE_PREFIX_PATH="$work/moved" \
    >/dev/null
  cmake --build "$work/consumer-c" >/dev/null || fail "find_package from C does not build"
  [ "$(on_terminal "$work/consumer-c/round_trip_c")" = "7 3 7" ] || fail "find_package from C: $(cat "$work/results")"
  PKG_CONFIG_PATH=$(dirname "$(find "$work/moved" -name '*.pc')")
  export PKG_CONFIG_PATH
  # shellcheck disable=SC2046 # pkg-config's words are separate arguments
  cc -std=c99 -Wall -Wpedantic -Werror=strict-prototypes "$src/tests/package/consumer/c/round_trip.c" \
    $(pkg-config --cflags --libs marking-system-console) -o "$work/c_by_pkg_config" ||
    fail "cc with pkg-config does not build"
  [ "$(on_terminal "$work/c_by_pkg_config")" = "7 3 7" ] || fail "cc, pkg-config: $(cat "$work/results")"
  cc -c "$src/tests/package/consumer/in_c.c" $(pkg-config --cflags marking-system-console) \
    -o "$work/in_c.o"
  c++ "$src/tests/package/consumer/round_trip.cpp" "$work/in_c.o" \
    $(pkg-config --cflags --libs marking-system-console) -o "$work/by_pkg_config"
  [ "$(on_terminal "$work/by_pkg_config")" = "7 3 7" ] || fail "pkg-config: $(cat "$work/results")"
  if command -v clang++ >/dev/null && [ -e /usr/include/c++/v1/iostream ]; then
    clang++ -stdlib=libc++ "$src/tests/package/consumer/round_trip.cpp" "$work/in_c.o" \
      $(pkg-config --cflags --libs marking-system-console) -o "$work/by_libcxx" ||
      fail "clang++ with libc++ does not build"
    [ "$(on_terminal "$work/by_libcxx")" = "7 3 7" ] || fail "libc++: $(cat "$work/results")"
  fi
  ;;
manual)
  need mandoc man
  page=$src/doc/marking-system.1
  for each in "$page" "$src/doc/marking-system-console.3"; do
    lint=$(mandoc -Tlint "$each" 2>&1) || true
    [ -z "$lint" ] || fail "mandoc -Tlint: $lint"
  done
  # The library's SYNOPSIS, as C prototypes, agrees with the header.
  awk '/^\.Sh SYNOPSIS/ { on = 1; next } /^\.Sh/ { on = 0 }
       on && /^\.Ft / { sub(/^\.Ft /, ""); type = $0 }
       on && /^\.Fn / {
         n = split(substr($0, 5), words, "\"")
         name = words[1]; sub(/ .*/, "", name)
         args = n == 1 ? words[1] : ""; sub(/^[^ ]* */, "", args)
         for (i = 2; i <= n; i += 2) args = args (args == "" ? "" : ", ") words[i]
         print type " " name "(" args ");"
       }' "$src/doc/marking-system-console.3" >"$work/synopsis.c"
  grep -q '^int whereX(void);$' "$work/synopsis.c" || fail "no SYNOPSIS read: $(cat "$work/synopsis.c")"
  cc -std=c99 -Wall -Werror -Werror=strict-prototypes -I"$src/src" -include console/console.h \
    -fsyntax-only "$work/synopsis.c" ||
    fail "the SYNOPSIS does not agree with the header: $(cat "$work/synopsis.c")"
  MANWIDTH=80 man -l "$page" 2>&1 >"$work/page"
  grep -q 'marking-system .* keep, grade and report' "$work/page" || fail "man -l did not render it"
  for section in SYNOPSIS DESCRIPTION FILES 'EXIT STATUS' EXAMPLES DIAGNOSTICS CAVEATS; do
    grep -q "^$section\$" "$work/page" || fail "no $section section"
  done
  # Each message the DIAGNOSTICS section shows, as rendered, is one the program writes.
  mkdir "$work/empty" "$work/names" "$work/mistakes" "$work/fifo"
  printf 'x\nAlice 85 90 77\ny\n1 2 3\n' >"$work/names/scores.txt"
  { printf 'Alice Chan\t85 90 77\n010 90 77\nBob\n1 2 3'; printf '%120s\n' ''; } >"$work/mistakes/scores.txt"
  mkfifo "$work/fifo/scores.txt"
  {
    for dir in empty names mistakes fifo; do
      (cd "$work/$dir" && printf '1f q' | "$3" >/dev/null) || true
    done
    printf '1k70,90,77\n q' | "$3" >/dev/null || true
    printf 'q' | "$3" >/dev/full || true
    "$3" <&- >/dev/null || true
    "$3" -x || true
  } 2>"$work/said"
  sed -n '/^DIAGNOSTICS$/,/^[A-Z]/p' "$work/page" | sed -n 's/^ \{10,\}//p' >"$work/shown"
  [ -s "$work/shown" ] || fail "no message shown under DIAGNOSTICS"
  while IFS= read -r message; do
    grep -Fxq -- "$message" "$work/said" || fail "the manual page shows '$message'; the program says: $(cat "$work/said")"
  done <"$work/shown"
  ;;
deb)
  need dpkg-deb dpkg-shlibdeps lintian
  cpack -G DEB --config "$3/CPackConfig.cmake" -B "$work/package" >/dev/null
  # Informational tags too: the hardening-* ones (as dpkg-buildflags builds)
  # and unneeded sections (.comment) are information.
  for deb in "$work"/package/*.deb; do
    lintian --allow-root --info --fail-on error,warning,info "$deb" ||
      fail "lintian reports errors, warnings or information"
  done
  deb=$(echo "$work"/package/marking-system_*.deb)
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' >"$work/files"
  same_files "$work/files" ./usr/bin/marking-system ./usr/share/man/man1/marking-system.1.gz \
    ./usr/share/doc/marking-system/README.md ./usr/share/doc/marking-system/scores.txt \
    ./usr/share/doc/marking-system/doc/console_tour.png \
    ./usr/share/doc/marking-system/copyright ./usr/share/doc/marking-system/changelog.gz
  [ "$(dpkg-deb -f "$deb" Depends)" = "$(dpkg-deb -f "$deb" Depends | grep -o '^libc6 [^,]*$')" ] ||
    fail "the program depends on more than the C library: $(dpkg-deb -f "$deb" Depends)"
  dev=$(echo "$work"/package/marking-system-dev_*.deb)
  dpkg-deb -c "$dev" | awk '$1 !~ /^d/ { print $6 }' | sed 's|/lib/[^/]*-linux-gnu/|/lib/|' >"$work/files"
  cmake_files=./usr/lib/cmake/marking-system/marking-system
  same_files "$work/files" ./usr/include/marking-system/console.h \
    ./usr/lib/libmarking-system-console.a ./usr/lib/pkgconfig/marking-system-console.pc \
    $cmake_files-config.cmake $cmake_files-config-version.cmake $cmake_files-targets.cmake \
    $cmake_files-targets-CONFIG.cmake ./usr/share/doc/marking-system-dev/copyright \
    ./usr/share/doc/marking-system-dev/changelog.gz \
    ./usr/share/doc/marking-system-dev/examples/console_tour.cpp \
    ./usr/share/doc/marking-system-dev/examples/move_mark.c \
    ./usr/share/man/man3/marking-system-console.3.gz
  dpkg-deb -x "$deb" "$work/root"
  session "$work/root/usr/share/doc/marking-system/scores.txt" "$work/root/usr/bin/marking-system"
  ;;
zip)
  need wine tmux
  cpack -G ZIP --config "$3/CPackConfig.cmake" -B "$work/package" >/dev/null
  (cd "$work" && cmake -E tar xf package/marking-system-*-win64.zip)
  dir=$(echo "$work"/marking-system-*-win64)
  (cd "$dir" && find . ! -type d) >"$work/files"
  same_files "$work/files" ./marking-system.exe ./README.md ./scores.txt ./LICENSE ./doc/console_tour.png \
    ./examples/console_tour.cpp ./examples/move_mark.c ./include/marking-system/console.h \
    ./lib/libmarking-system-console.a ./lib/cmake/marking-system/marking-system-config.cmake \
    ./lib/cmake/marking-system/marking-system-config-version.cmake \
    ./lib/cmake/marking-system/marking-system-targets.cmake \
    ./lib/cmake/marking-system/marking-system-targets-CONFIG.cmake
  session "$dir/scores.txt" wine "$dir/marking-system.exe"
  # The zip's include/ and lib/ serve a program built with the MinGW-w64 cross compiler.
  consumer "$dir" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64.cmake"
  [ "$(on_terminal "wine $work/consumer/round_trip.exe" | tr -d '\r')" = "7 3 7" ] ||
    fail "the Windows consumer: $(cat "$work/results")"
  ;;
reproducible)
  need dpkg-deb dpkg-shlibdeps git
  # Built twice from copies of the source in two places, under another umask,
  # time zone and locale, with the release presets alone: the same packages.
  release() {
    mkdir -p "$1"
    (cd "$src" && tar -cf - --exclude='./build*' .) | (cd "$1" && tar -xf -)
    cd "$1"
    cmake --preset default -DBUILD_TESTING=OFF >/dev/null
    cpack --preset linux >/dev/null
    if command -v x86_64-w64-mingw32-g++ >/dev/null; then
      cmake --preset windows -DBUILD_TESTING=OFF >/dev/null
      cpack --preset windows >/dev/null
    fi
    sha256sum build/packages/*.* build-windows/packages/*.* 2>/dev/null
  }
  export -f release
  export src
  # shellcheck disable=SC2016 # expanded by the inner shell
  (umask 022 && TZ=UTC LC_ALL=C timeout 1000 bash -c 'set -euo pipefail; release "$1"' sh "$work/one/src") \
    >"$work/one.sums" || fail "first build"
  # shellcheck disable=SC2016
  (umask 002 && TZ=Asia/Tokyo LC_ALL=C.UTF-8 timeout 1000 bash -c 'set -euo pipefail; release "$1"' sh \
    "$work/two/a/longer/path/src") >"$work/two.sums" || fail "second build"
  [ "$(wc -l <"$work/one.sums")" -ge 3 ] || fail "too few packages: $(cat "$work/one.sums")"
  diff "$work/one.sums" "$work/two.sums" || fail "the packages differ between two builds"
  ;;
c-only)
  need readelf
  # A build that needs anything of the C++ runtime fails to link; at -O0
  # nothing is inlined, so a debug build is where it would show.
  cmake -S "$src" -B "$work/debug" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$work/debug" --target marking-system >"$work/build.log" 2>&1 || {
    tail -20 "$work/build.log"
    fail "the debug build does not link with the C library alone"
  }
  needed=$(readelf -d "$work/debug/src/marking-system" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  [ "$(echo "$needed" | grep -cv '^libc\.so')" = 0 ] || fail "the program needs $(echo $needed)"
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
echo "$mode: ok"
