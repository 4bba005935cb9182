#!/usr/bin/env bash
# Whole-run cost of the program against a floor: bench/floor.c, the same
# dialogue and a 128-row table with plain stdio and libm.
#  1. Instructions (valgrind --tool=callgrind) of one redirected N = 128 run
#     each, the viewer being /bin/true (COMSPEC=/bin/true; callgrind counts
#     the program's own process only), in the same small environment. Goal: the program within 0.15 times
#     the statically linked floor (and 1.25 times the dynamic one).
#  2. The largest N the allocation limit lets through, 1073741814: wall time
#     and peak memory (/usr/bin/time -v). It must end with the overflow
#     report M6104 at element 129, in under 0.25 s and 32 MiB.
# Usage: bench/whole_run.sh [program [other...]]   (default: build-bench/tavelo,
# made by `cmake --preset bench && cmake --build --preset bench`, linked
# statically). Other programs, say a build from before a change, are counted
# against the same floors in the same run, for comparison only.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
program="$(realpath "${1:-$top/build-bench/tavelo}")"
others=()
for other in "${@:2}"; do others+=("$(realpath "$other")"); done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

cc -O2 -o floor "$top/bench/floor.c" -lm
cc -O2 -static -o floor-static "$top/bench/floor.c" -lm
printf '0.7\n0.71\n128\n' > input.txt

# Every run gets the same two-variable environment: the caller's would count
# otherwise, since the C library's start-up and the program's copy of the
# environment walk through all of it.
instructions() {  # command... -> the Ir total of its own process
  env -i PATH=/usr/bin:/bin COMSPEC=/bin/true \
    valgrind --tool=callgrind --callgrind-out-file=callgrind.out "$@" < input.txt > output.txt \
    2> callgrind.err
  sed -n 's/^==[0-9]*== Collected : //p' callgrind.err
}

tavelo_ir="$(instructions "$program")"
cp resultados.txt tavelo.txt
floor_ir="$(instructions ./floor)"
# The same amount of output: 42 + 67 * 128 bytes each.
[ "$(wc -c < tavelo.txt)" -eq 8618 ] && [ "$(wc -c < resultados.txt)" -eq 8618 ] ||
  echo "note: a table is not 8618 bytes"
floor_static_ir="$(instructions ./floor-static)"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
echo "floors, N = 128 run: stdio + libm dynamic $floor_ir, static $floor_static_ir instructions"
report_program() { # report_program PROGRAM INSTRUCTIONS
  echo "program: $1 ($(file -b "$1" | grep -o 'statically linked\|dynamically linked'))"
  echo "  instructions, N = 128 run: $2 -> ratio $(ratio "$2" "$floor_ir") to the dynamic floor," \
    "$(ratio "$2" "$floor_static_ir") to the static floor"
}
report_program "$program" "$tavelo_ir"
for other in "${others[@]}"; do
  other_ir="$(instructions "$other")"
  cmp -s resultados.txt tavelo.txt || echo "note: $other writes another table"
  report_program "$other" "$other_ir"
done

printf '0.7\n0.71\n1073741814\n' > huge.txt
status=0
env -u COMSPEC /usr/bin/time -v -o time.txt "$program" < huge.txt > out.txt 2> err.txt || status=$?
elapsed="$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' time.txt)"
peak_kib="$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt)"
report="$(tr -d '\r' < err.txt | grep -o 'M6104' || true)"
echo "N = 1073741814: exit $status, report ${report:-none}, elapsed $elapsed, peak $peak_kib KiB"

ok=1
awk -v a="$tavelo_ir" -v b="$floor_ir" 'BEGIN { exit !(a <= 1.25 * b) }' || ok=0
awk -v a="$tavelo_ir" -v b="$floor_static_ir" 'BEGIN { exit !(a <= 0.15 * b) }' || ok=0
[ "$status" -eq 1 ] && [ "$report" = M6104 ] || ok=0
[ "$peak_kib" -lt 32768 ] || ok=0
awk -v t="$elapsed" 'BEGIN { n = split(t, p, ":"); exit !(p[n] + 60 * p[n - 1] < 0.25) }' || ok=0
if [ "$ok" -eq 1 ]; then echo "goals met"; else echo "goals missed"; exit 1; fi
