#!/usr/bin/env bash
# Checks Debian packages of the project the way a user meets them, without installing anything
# onto this machine: lintian (no errors), the dependencies dpkg-shlibdeps cannot see, and then,
# from the packages unpacked into a scratch root:
#   - every program has a manual page that man renders without warnings, and every RUNPATH is
#     relative to its file ($ORIGIN) and stays inside the root: no build folder is reachable;
#   - the desktop entries pass desktop-file-validate, and their programs and icons exist;
#   - the tester, started from the root without LD_LIBRARY_PATH, loads the root's
#     libkelvor.so.1 through its RUNPATH (the root is a relocated /usr, which $ORIGIN follows)
#     and connects to the root's kelvor-sim: headless (offscreen), with a preloaded helper
#     pressing Connect as a user would; klv reaches the simulator the same way, and so does
#     kelvor-view, where it is built, rendering one snapshot;
#   - the installed C example builds against the installed header and library with pkg-config
#     and with the CMake package; both builds and the Python example talk to that simulator
#     (these find the library through LD_LIBRARY_PATH, or CMake's build RUNPATH, as a program
#     would find an installed one in the system's library directory).
# Usage: tests/packaging/check_packages.sh PACKAGE.deb...
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 PACKAGE.deb..." >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
sim=
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
step() { echo "check_packages: $*"; }
fail() { echo "check_packages: FAILED: $*" >&2; exit 1; }

step "lintian"
status=0
lintian --fail-on error --tag-display-limit 0 "$@" >"$work/lintian" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian" || true
[ "$status" -eq 0 ] || fail "lintian reports errors"

declare -A deb
for file in "$@"; do deb[$(dpkg-deb -f "$file" Package)]=$file; done
for name in libkelvor1 libkelvor-dev kelvor-tester kelvor-tools; do
  [ -n "${deb[$name]:-}" ] || fail "no package $name among $*"
done

step "dependencies"
depends() { dpkg-deb -f "${deb[$1]}" Depends | tr ',' '\n' | sed 's/^ *//; s/ *(.*//'; }
needs() {  # needs PACKAGE DEPENDENCY WHY
  depends "$1" | grep -qx "$2" || fail "$1 does not depend on $2 ($3)"
}
needs kelvor-tester libkelvor1 "it loads libkelvor.so.1 by name"
while read -r font; do
  needs kelvor-tester "$font" "its window's font"
done < <(grep -v '^#' "$source_dir/tester/font-packages.txt")
needs kelvor-tools libkelvor1 "klv links libkelvor.so.1; dpkg-shlibdeps should have found it"
needs libkelvor-dev libkelvor1 "the development symlink points into it"

root=$work/root
for file in "$@"; do dpkg-deb -x "$file" "$root"; done
usr=$root/usr
libdir=$usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
[ -f "$libdir/libkelvor.so.1" ] || fail "libkelvor.so.1 is not in $libdir"

step "manual pages and RUNPATHs"
for program in "$usr"/bin/*; do
  name=${program##*/}
  page=$usr/share/man/man1/$name.1.gz
  [ -f "$page" ] || fail "$name has no manual page"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $name.1: $warnings"
done
while IFS= read -r -d '' file; do
  head -c4 "$file" | grep -q $'^\x7fELF' || continue
  for path in $(readelf -d "$file" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p' | tr ':' ' '); do
    case $path in
      '$ORIGIN'/*) ;;
      *) fail "${file#"$root"} searches $path, outside the installed tree" ;;
    esac
    target=$(realpath -m "$(dirname "$file")/${path#'$ORIGIN'/}")
    case $target/ in
      "$root"/*) ;;
      *) fail "${file#"$root"} searches $path, which leaves the installed tree" ;;
    esac
    [ -d "$target" ] || fail "${file#"$root"} searches $path, which no package installs"
  done
done < <(find "$root" -type f -print0)

step "desktop entries"
entries=("$usr"/share/applications/*.desktop)
[ -f "${entries[0]}" ] || fail "no desktop entry"
for entry in "${entries[@]}"; do
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects ${entry##*/}"
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -x "$usr/bin/$exec" ] || fail "${entry##*/} starts $exec, which is not installed"
  [ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
  png=$usr/share/icons/hicolor/48x48/apps/$icon.png
  file -b "$png" | grep -q '^PNG image data, 48 x 48' || fail "no 48 px PNG icon $icon"
done

step "kelvor-sim"
"$usr/bin/kelvor-sim" --listen 127.0.0.1:0 >"$work/sim.out" &
sim=$!
for _ in $(seq 100); do
  grep -q 'listening on' "$work/sim.out" && break
  kill -0 "$sim" 2>/dev/null || fail "kelvor-sim did not start"
  sleep 0.1
done
address=$(sed -n 's/^kelvor-sim: listening on //p' "$work/sim.out")
[ -n "$address" ] || fail "kelvor-sim did not report its address"
identity=$'lblRomVer 1.0.0-sim\nlblSirial SIM-000001\nlblRobotType KV6-SIM'

step "kelvor-tester against the installed library ($address)"
cmake -S "$here/tester_driver" -B "$work/driver" -G Ninja >/dev/null
cmake --build "$work/driver" >/dev/null
mkdir -m 0700 "$work/runtime"
env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" \
  KELVOR_CHECK_ADDRESS="$address" KELVOR_TRACE="$work/tester.trace" \
  timeout 60 env LD_PRELOAD="$work/driver/tester_driver.so" "$usr/bin/kelvor-tester" \
  >"$work/tester.out" || fail "kelvor-tester: $(cat "$work/tester.out")"
loaded=$(sed -n 's/^library //p' "$work/tester.out")
[ -n "$loaded" ] || fail "kelvor-tester did not load libkelvor.so.1"
[ "$(realpath "$loaded")" = "$(realpath "$libdir/libkelvor.so.1")" ] ||
  fail "kelvor-tester loaded $loaded, not the installed library"
[ "$(grep '^lbl' "$work/tester.out")" = "$identity" ] ||
  fail "the tester's window shows $(grep '^lbl' "$work/tester.out")"
grep -q "klv_Connect(\"eth:$address\", 400, 0) -> ok" "$work/tester.trace" ||
  fail "the library's trace lacks the tester's connect"

if [ -x "$usr/bin/kelvor-view" ]; then
  step "kelvor-view against the installed library"
  env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" \
    timeout 60 "$usr/bin/kelvor-view" --snapshot "$work/view.png" "eth:$address" \
    >"$work/view.out" 2>&1 || fail "kelvor-view --snapshot: $(cat "$work/view.out")"
  file -b "$work/view.png" | grep -q '^PNG image data' || fail "kelvor-view wrote no PNG"
fi

step "klv"
[ "$(env -u LD_LIBRARY_PATH "$usr/bin/klv" -c "eth:$address" get_RobotType)" = KV6-SIM ] ||
  fail "klv get_RobotType"

expect_example() {  # expect_example WHAT COMMAND...: the example's session with the simulator
  local out
  out=$("${@:2}" "eth:$address") || fail "$1 failed: $out"
  grep -q '^Variable I100: wrote 4711, read 4711$' <<<"$out" || fail "$1 printed: $out"
}
example=$usr/share/doc/kelvor/examples/kelvor_example.c

step "C example with pkg-config"
flags=$(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$libdir/pkgconfig pkg-config --cflags --libs kelvor)
# shellcheck disable=SC2086  # the flags are words
cc -std=c99 -Wall -Wextra -Werror -o "$work/example_pkgconfig" "$example" $flags
LD_LIBRARY_PATH=$libdir expect_example "the pkg-config build" "$work/example_pkgconfig"

step "C example with find_package(Kelvor)"
cmake -S "$here/consumer" -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$usr" \
  -DKELVOR_EXAMPLE="$example" >"$work/consumer.log" || fail "configure: $(cat "$work/consumer.log")"
grep -q "Kelvor 1\.[0-9.]* in $libdir/cmake/Kelvor" "$work/consumer.log" ||
  fail "find_package(Kelvor) did not take the installed package: $(cat "$work/consumer.log")"
cmake --build "$work/consumer" >/dev/null
expect_example "the CMake build" "$work/consumer/kelvor_example"

step "Python example"
LD_LIBRARY_PATH=$libdir expect_example "the Python example" \
  python3 "$usr/share/doc/kelvor/examples/kelvor_example.py"

step "all checks passed"
