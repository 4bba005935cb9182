#!/usr/bin/env bash
# COUNT random tables of 128 rows from two programs, byte for byte: the
# prompts, the reports, resultados.txt and the exit code of each run. The
# values are random decimal texts of up to nine digits, seeded, so that a
# difference can be run again.
# Usage: compare_tables.sh COUNT PROGRAM PROGRAM  (each a command line)
set -euo pipefail
count=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export work first=$2 second=$3

# Drawn in this shell: a subshell, $(...) too, draws from a seed of its own.
RANDOM=21
value() { printf -v "$1" '%d.%05d%03dE%d' $((RANDOM % 10)) "$RANDOM" $((RANDOM % 1000)) $((RANDOM % 6 - 2)); }
for ((i = 0; i < count; i++)); do
  value prs
  value pr
  printf '%s\n%s\n128\n' "$prs" "$pr" >"$work/input.$i"
done

# One input through both programs; says "same" or "differs" and the input.
compare() { # compare INDEX
  local side program
  for side in first second; do
    program=${!side}
    mkdir "$work/$side.$1"
    (cd "$work/$side.$1" && { COMSPEC=/bin/true $program <"$work/input.$1" >out 2>err || echo $? >status; })
  done
  if diff -r "$work/first.$1" "$work/second.$1" >"$work/diff.$1"; then
    echo same
  else
    echo "differs: input $(tr '\n' ' ' <"$work/input.$1")"
    head -c 2000 "$work/diff.$1"
  fi
  rm -f "$work/diff.$1"
  rm -rf "$work/first.$1" "$work/second.$1"
}
export -f compare
seq 0 $((count - 1)) | xargs -P 2 -I{} bash -c 'compare {}' >"$work/verdicts"
grep -v '^same$' "$work/verdicts" | head -50 || true
same=$(grep -c '^same$' "$work/verdicts" || true)
echo "$same of $count random N = 128 tables identical"
[ "$same" -eq "$count" ]
