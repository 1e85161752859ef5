#!/usr/bin/env bash
# Time and peak memory of `kalvex-cli info` on generated plain scripts whose catalogue is
# large for their size: an inheritance chain where each table adds a column, the same
# chain with shared column names, many tables without a schema, and a very wide parent
# with one child. Needs a Release kalvex-cli (KX_BENCH_BUILD, default build/bench).
#
#   KX_CHAIN (6000)  KX_TABLES (200000)  KX_COLUMNS (100000)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${KX_BENCH_BUILD:-build/bench}/bin/kalvex-cli
chain=${KX_CHAIN:-6000} tables=${KX_TABLES:-200000} columns=${KX_COLUMNS:-100000}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

awk -v n="$chain" 'BEGIN {
  print "CREATE TABLE public.t0 (\n    c0 integer\n);"
  for (i = 1; i < n; i++) printf "CREATE TABLE public.t%d (\n    c%d integer\n)\nINHERITS (public.t%d);\n", i, i, i - 1
}' >"$dir/chain-growing.sql"
awk -v n="$chain" 'BEGIN {
  print "CREATE TABLE public.t0 (\n    id integer,\n    v text\n);"
  for (i = 1; i < n; i++) printf "CREATE TABLE public.t%d (\n    id integer,\n    v text\n)\nINHERITS (public.t%d);\n", i, i - 1
}' >"$dir/chain-shared.sql"
awk -v n="$tables" 'BEGIN {
  for (i = 0; i < n; i++) printf "CREATE TABLE t%d (\n    a integer\n);\n", i
}' >"$dir/unqualified.sql"
awk -v n="$columns" 'BEGIN {
  printf "CREATE TABLE public.p (\n"
  for (i = 0; i < n; i++) printf "    c%d integer%s\n", i, (i + 1 < n ? "," : "")
  print ");\nCREATE TABLE public.k (\n    x integer\n)\nINHERITS (public.p);"
}' >"$dir/wide-parent.sql"

printf '%-16s %10s %10s %12s\n' script size seconds "peak KB"
for name in chain-growing chain-shared unqualified wide-parent; do
  file=$dir/$name.sql
  /usr/bin/time -f '%e %M' -o "$dir/time" "$cli" info "$file" >/dev/null
  read -r seconds peak <"$dir/time"
  printf '%-16s %10s %10s %12s\n' "$name" "$(stat -c %s "$file")" "$seconds" "$peak"
done
