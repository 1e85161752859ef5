#!/usr/bin/env bash
# Times the whole-dump pass on a gzip custom archive of four tables (the 7-column bench
# table split in four, KX_BENCH_ROWS rows in all, default 10000000): kalvex-cli info with
# KALVEX_THREADS=1 and 2, kalvex-cli check, and pg_restore -a -f /dev/null; then the
# same on one and two cores (taskset), to reason about more cores from the per-table times.
# Needs the Release kalvex-cli (make bench builds it in build/bench). Prints best-of runs.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
data_dir=${KX_BENCH_DATA:-/var/tmp/kx-bench/tables}
rows=${KX_BENCH_ROWS:-10000000}
runs=${KX_BENCH_RUNS:-3}
port=${KX_BENCH_PORT:-54342}
cli=${KX_BENCH_BUILD:-$root/build/bench}/bin/kalvex-cli
export TZ=UTC LC_ALL=C.UTF-8
unset PGDATABASE PGUSER PGHOST PGPORT PGOPTIONS PGCLIENTENCODING PGSERVICE PGPASSWORD || true
if [ -z "${PGBIN:-}" ]; then
  PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
fi
[ -x "$cli" ] || { echo "bench_tables: build $cli first (make bench)" >&2; exit 1; }
mkdir -p "$data_dir"
dump="$data_dir/four.gzip.dump"

if ! { [ -s "$dump" ] && grep -qx "rows=$rows" "$data_dir/dumps.txt" 2>/dev/null; }; then
  # shellcheck source=scripts/bench_cluster.sh
  source "$root/scripts/bench_cluster.sh"
  tmp=$(mktemp -d /var/tmp/kx-bench-make.XXXXXX)
  trap 'cluster_stop immediate; rm -rf "$tmp"' EXIT
  cluster_start "$tmp" "$port"
  psql_in -d postgres -c 'CREATE DATABASE kx_bench'
  for t in 1 2 3 4; do
    from=$(( (t - 1) * rows / 4 + 1 )) to=$(( t * rows / 4 ))
    psql_in -d kx_bench <<SQL
CREATE TABLE public.bench_part$t (id integer NOT NULL, qty bigint, amount numeric(12,2),
    name text NOT NULL, created timestamp without time zone, active boolean, note text);
INSERT INTO public.bench_part$t
SELECT i, (i::bigint * 104729) % 1000000007, ((i::bigint * 7919) % 10000000) / 100.0,
       CASE WHEN i % 5 = 0 THEN '商品' || (i % 997) || '番 東京' ELSE '' END ||
         left(md5(i::text), 12 + (i * 7) % 21),
       timestamp '2020-01-01' + ((i::bigint * 37) % 100000000) * interval '1 second',
       i % 2 = 0, CASE WHEN i % 4 <> 0 THEN NULL ELSE 'note ' || (i % 1000) END
FROM generate_series($from, $to) AS i;
SQL
  done
  as_pg mkdir -p "$tmp/out"
  as_pg "$PGBIN/pg_dump" -Fc -d kx_bench -f "$tmp/out/four.gzip.dump"
  cluster_stop fast
  mv -f "$tmp/out/four.gzip.dump" "$dump"
  echo "rows=$rows" >"$data_dir/dumps.txt"
fi

# Best wall time of $runs runs, in seconds.
best() {
  local b="" t
  for _ in $(seq "$runs"); do
    t=$( { /usr/bin/time -f %e "$@" >/dev/null 2>/dev/null; } 2>&1 | tail -n 1)
    if [ -z "$b" ] || awk "BEGIN{exit !($t < $b)}"; then b=$t; fi
  done
  echo "$b"
}
report() { printf '%-34s %8s s\n' "$1" "$2"; }
for cores in "" 0 0,1; do
  pin=()
  [ -n "$cores" ] && pin=(taskset -c "$cores")
  label=${cores:+ (cores $cores)}
  s1=$(KALVEX_THREADS=1 best "${pin[@]}" "$cli" info "$dump")
  s2=$(KALVEX_THREADS=2 best "${pin[@]}" "$cli" info "$dump")
  ck=$(KALVEX_THREADS=2 best "${pin[@]}" "$cli" check "$dump")
  pr=$(best "${pin[@]}" "$PGBIN/pg_restore" -a -f /dev/null "$dump")
  report "scan KALVEX_THREADS=1$label" "$s1"
  report "scan KALVEX_THREADS=2$label" "$s2"
  report "check KALVEX_THREADS=2$label" "$ck"
  report "pg_restore -a$label" "$pr"
  awk -v a="$s1" -v b="$s2" -v c="$ck" -v p="$pr" 'BEGIN {
    printf "  speed-up 1->2 threads %.2fx, scan/pg_restore %.2f, check/scan %.2f\n", a / b, b / p, c / b }'
done
