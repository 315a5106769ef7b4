#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   tools/dev.sh run       install what is needed, build, start kelvor-sim on 127.0.0.1 and
#                          open the tester; the simulator stops when the tester closes
#   tools/dev.sh test      install, build with warnings as errors, run every test, the
#                          formatting check and the window smoke test
#   tools/dev.sh sanitize  the test suite again under AddressSanitizer and UBSan
#   tools/dev.sh bench     build and run the benchmarks
# BUILD_DIR (default: build, or build-asan for sanitize) chooses the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config git qt6-base-dev libgtest-dev libgmock-dev
  googletest libbenchmark-dev libasio-dev libcli11-dev fonts-dejavu-core fonts-liberation2
  fonts-ipafont-gothic clang-format
  xvfb x11-utils xdotool imagemagick)

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
    trap 'kill $sim 2>/dev/null || true; rm -f "$ready"' EXIT
    until grep -q 'listening on' "$ready"; do
      kill -0 $sim 2>/dev/null || { echo "dev.sh: kelvor-sim did not start" >&2; exit 1; }
      sleep 0.1
    done
    echo "dev.sh: $(head -n1 "$ready"); type 127.0.0.1 into IPAddress and press Connect"
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
    for b in "$dir"/bench-tester/tester_bench "$dir"/bench/*_bench; do
      [ -x "$b" ] && "$b"
    done
    ;;
  *)
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
