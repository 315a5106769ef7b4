#!/usr/bin/env bash
# Fails when a C or C++ source differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
bad=$(git ls-files '*.c' '*.cpp' '*.h' | while read -r f; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || echo "$f"
done)
if [ -n "$bad" ]; then
  echo "check-format: not clang-formatted:" >&2
  echo "$bad" | sed 's/^/  /' >&2
  exit 1
fi
