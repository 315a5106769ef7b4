#!/usr/bin/env bash
# `cmake --install` of a build into a scratch prefix other than the configured one: the
# GNUInstallDirs layout, kelvor.pc naming that prefix, every program with a manual page that man
# renders without warnings, valid desktop entries with their icons, no Debian-only files, and
# each RUNPATH pointing at the installed library beside the program, never at the build folder.
# Usage: tests/packaging/check_install.sh BUILD_DIR LIBDIR DOCDIR PROGRAM...
#        (LIBDIR and DOCDIR relative to the prefix, PROGRAM every program the build installs)
set -euo pipefail
build=$1 libdir=$2 docdir=$3
shift 3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "check_install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in include/kelvor.h "$libdir"/libkelvor.so.1 "$libdir"/libkelvor.so \
  "$libdir"/cmake/Kelvor/KelvorConfig.cmake "$libdir"/cmake/Kelvor/KelvorConfigVersion.cmake \
  "$docdir"/README.md "$docdir"/protocol.md "$docdir"/examples/kelvor_example.c; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
grep -qx "prefix=$prefix" "$prefix/$libdir/pkgconfig/kelvor.pc" || fail "kelvor.pc names another prefix"
[ ! -e "$prefix/share/doc/libkelvor1" ] || fail "the Debian packages' own files were installed"

for program in "$@"; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
  page=$prefix/share/man/man1/$program.1.gz
  [ -f "$page" ] || fail "$program has no manual page"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $program.1: $warnings"
  runpath=$(readelf -d "$prefix/bin/$program" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p')
  [ -z "$runpath" ] || [ "$(realpath -m "$prefix/bin/${runpath#'$ORIGIN'/}")" = "$prefix/$libdir" ] ||
    fail "$program searches $runpath, not only the installed library's folder"
done
[ "$(ls "$prefix/bin" | wc -l)" -eq $# ] || fail "bin/ holds $(ls "$prefix/bin"), not just: $*"

for entry in "$prefix"/share/applications/*.desktop; do
  [ -f "$entry" ] || continue
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects ${entry##*/}"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  for size in scalable/apps/"$icon".svg 48x48/apps/"$icon".png; do
    [ -f "$prefix/share/icons/hicolor/$size" ] || fail "no icon $size"
  done
done
