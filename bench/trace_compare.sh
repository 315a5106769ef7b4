#!/usr/bin/env bash
# Does the call trace cost anything when it is off? Builds the library as it was before the
# trace was added and runs bench/trace_bench against it ("before") and against this tree's
# library with KELVOR_TRACE unset ("off") and set to a file ("on"), in alternating rounds, and
# prints the fastest and the median repetition of each. On a shared machine the fastest is
# the least disturbed figure. With valgrind installed it also counts the instructions of one
# call without a connection, which does not depend on the machine's load at all.
#   bench/trace_compare.sh [BUILD_DIR [REV]]
# REV defaults to the parent of the commit that added libkelvor/src/trace.cpp.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-bench}
rev=${2:-$(git log --diff-filter=A --format=%H -- libkelvor/src/trace.cpp | tail -n1)^}
rounds=${ROUNDS:-3}

config=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVOR_BUILD_TESTS=OFF -DKELVOR_BUILD_TESTER=OFF)
cmake -S . -B "$dir" "${config[@]}" >/dev/null
cmake --build "$dir" -j2 --target trace_bench kelvor kelvor-sim >/dev/null
before="$dir/trace-before"
rm -rf "$before"
mkdir -p "$before/src"
git archive "$(git rev-parse "$rev")" | tar -x -C "$before/src"
cmake -S "$before/src" -B "$before/build" "${config[@]}" -DKELVOR_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$before/build" -j2 --target kelvor >/dev/null
echo "trace_compare: before = $(git rev-parse --short "$rev"), after = this tree"

bench="$dir/bench/trace_bench"
shm=/dev/shm
[ -d "$shm" ] || shm=${TMPDIR:-/tmp}
trace=$(mktemp "$shm/kelvor-trace.XXXXXX")
results=$(mktemp)
trap 'rm -f "$trace" "$results"' EXIT
opts=(--benchmark_repetitions=5 --benchmark_format=csv)

run() {  # LABEL [VAR=VALUE...]: one run, each repetition appended to $results as "LABEL NAME NS"
  local label=$1
  shift
  env -u KELVOR_TRACE "$@" "$bench" "${opts[@]}" 2>/dev/null |
    awk -F, -v label="$label" '$1 ~ /^"BM_/ && $1 !~ /_(mean|median|stddev|cv)"$/ {
      gsub(/"/, "", $1); sub(/\/real_time/, "", $1); sub(/^BM_/, "", $1)
      t = $3; u = $5; gsub(/"/, "", u)
      if (u == "us") t *= 1000; else if (u == "ms") t *= 1000000
      print label, $1, t }' >>"$results"
  : >"$trace"
}
for ((r = 1; r <= rounds; r++)); do
  run before "LD_LIBRARY_PATH=$before/build/libkelvor"
  run off
done
run on "KELVOR_TRACE=$trace"

echo "time per call in ns, fastest / median of $rounds rounds of 5 repetitions ('on' traces to a file):"
awk '{ key = $2 SUBSEP $1; v[key, ++n[key]] = $3; names[$2] = 1 }
  function sorted(key,   m, i, j, t) {
    m = n[key]; for (i = 1; i <= m; i++) a[i] = v[key, i]
    for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return m }
  function best(key) { sorted(key); return a[1] }
  function median(key,   m) { m = sorted(key); return m % 2 ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2 }
  function cell(key) { return sprintf("%.1f / %.1f", best(key), median(key)) }
  END {
    printf "%-24s %22s %22s %22s\n", "benchmark", "before", "off", "on"
    for (name in names)
      printf "%-24s %22s %22s %22s\n", name, cell(name SUBSEP "before"), cell(name SUBSEP "off"),
        cell(name SUBSEP "on")
  }' "$results"

if command -v valgrind >/dev/null; then
  count() {  # LIBDIR: instructions of one klv_get_MotorState without a connection
    local out
    out=$(mktemp)
    env -u KELVOR_TRACE ${1:+LD_LIBRARY_PATH=$1} valgrind --tool=callgrind \
      --callgrind-out-file="$out" --toggle-collect=klv_get_MotorState "$bench" --calls 100000 \
      >/dev/null 2>&1
    awk '/^summary:/ { printf "%.1f", $2 / 100000 }' "$out"
    rm -f "$out"
  }
  echo "instructions per call without a connection (callgrind): before $(count "$before/build/libkelvor"), off $(count "")"
fi
