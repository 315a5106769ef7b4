#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   tools/dev.sh run       install what is needed, build, start kelvor-sim on 127.0.0.1 and
#                          open the tester with kelvor-view beside it; the simulator and the
#                          viewer stop when the tester closes
#   tools/dev.sh test      install, build with warnings as errors, run every test, the
#                          formatting check and the window smoke test
#   tools/dev.sh sanitize  the test suite again under AddressSanitizer and UBSan
#   tools/dev.sh bench     build in Release and run every benchmark (bench/README.md)
#   tools/dev.sh fuzz      build the libFuzzer targets of fuzz/ with clang and run each for
#                          FUZZ_SECONDS (default 10) from its seed corpus; fails on any crash,
#                          leak, sanitizer report or broken invariant
#   tools/dev.sh package   build the Debian packages (.deb) into build-package/packages/ with
#                          Debian's hardening flags, then check them (lintian, and the
#                          installed programs and library from a scratch root)
# BUILD_DIR (default: build, or build-asan, build-bench, build-fuzz, build-package) chooses the
# build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config git qt6-base-dev libgtest-dev libgmock-dev
  googletest libbenchmark-dev libasio-dev libcli11-dev libeigen3-dev liborocos-kdl-dev
  nlohmann-json3-dev libfontconfig-dev locales python3
  clang-format clang-14 libclang-rt-14-dev
  xvfb x11-utils xdotool imagemagick linux-perf strace
  help2man librsvg2-bin dpkg-dev file lintian desktop-file-utils man-db)
mapfile -t fonts < <(grep -v '^#' tester/font-packages.txt)  # the window's fonts
packages+=("${fonts[@]}")

install_deps() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "dev.sh: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {  # build DIR [cmake options...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}

cmd=${1:-}
case "$cmd" in
  run)
    install_deps
    dir=${BUILD_DIR:-build}
    build "$dir"
    ready=$(mktemp)
    "$dir/sim/kelvor-sim" --listen 127.0.0.1:50420 >"$ready" &
    sim=$!
    viewer=
    trap 'kill $sim $viewer 2>/dev/null || true; rm -f "$ready"' EXIT
    until grep -q 'listening on' "$ready"; do
      kill -0 $sim 2>/dev/null || { echo "dev.sh: kelvor-sim did not start" >&2; exit 1; }
      sleep 0.1
    done
    echo "dev.sh: $(head -n1 "$ready"); type 127.0.0.1 into IPAddress and press Connect"
    # The tester's window is 729 pixels wide: the viewer goes to the right of it.
    "$dir/bin/kelvor-view" eth:127.0.0.1:50420 --position 740,0 --size 800x700 &
    viewer=$!
    "$dir/bin/kelvor-tester"
    ;;
  test)
    install_deps
    dir=${BUILD_DIR:-build}
    build "$dir" -DKELVOR_WERROR=ON
    tools/check-format.sh
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)
    tools/screenshot.sh "$dir" "$dir/kelvor-tester.png"
    ;;
  sanitize)
    install_deps
    dir=${BUILD_DIR:-build-asan}
    build "$dir" -DKELVOR_SANITIZE=ON -DKELVOR_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j2 --timeout 600)
    ;;
  bench)
    install_deps
    dir=${BUILD_DIR:-build-bench}
    build "$dir" -DCMAKE_BUILD_TYPE=Release -DKELVOR_BUILD_TESTS=OFF
    for b in "$dir"/bench-tester/*_bench "$dir"/bench/*_bench; do
      [ -x "$b" ] && "$b"
    done
    ;;
  fuzz)
    install_deps
    dir=${BUILD_DIR:-build-fuzz}
    secs=${FUZZ_SECONDS:-10}
    CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKELVOR_BUILD_FUZZERS=ON -DKELVOR_BUILD_TESTER=OFF -DKELVOR_BUILD_VIEWER=OFF \
      -DKELVOR_BUILD_TESTS=OFF -DKELVOR_BUILD_BENCHMARKS=OFF -DKELVOR_WERROR=ON >/dev/null
    cmake --build "$dir" -j"$(nproc)" --target fuzzers
    for target in "$dir"/fuzz/fuzz_*; do
      name=${target##*/fuzz_}
      work=$(mktemp -d)  # new inputs go here; the committed corpus stays as it is
      if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$target" -max_total_time="$secs" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$dir/fuzz/$name-" "$work" "fuzz/corpus/$name" >"$work/log" 2>&1; then
        tail -n 40 "$work/log" >&2
        echo "dev.sh: fuzz_$name failed; the failing input is in $dir/fuzz/" >&2
        rm -rf "$work"
        exit 1
      fi
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
      echo "dev.sh: fuzz_$name: $runs executions in $secs s, no finding"
      rm -rf "$work"
    done
    ;;
  package)
    install_deps
    dir=${BUILD_DIR:-build-package}
    # Built as Debian builds its own packages: its compiler and linker flags, and dates (manual
    # pages) taken from the changelog instead of the clock.
    eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
    export CFLAGS="$CPPFLAGS $CFLAGS" CXXFLAGS="$CPPFLAGS $CXXFLAGS"  # CMake reads no CPPFLAGS
    SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/debian/changelog -STimestamp)
    export SOURCE_DATE_EPOCH
    build "$dir" -DCMAKE_INSTALL_PREFIX=/usr -DKELVOR_BUILD_TESTS=OFF \
      -DKELVOR_BUILD_BENCHMARKS=OFF -DKELVOR_WERROR=ON
    rm -rf "$dir/packages"
    (cd "$dir" && cpack -G DEB)
    tests/packaging/check_packages.sh "$dir"/packages/*.deb
    echo "dev.sh: packages in $dir/packages/; install with: sudo apt install ./$dir/packages/*.deb"
    ;;
  *)
    sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
