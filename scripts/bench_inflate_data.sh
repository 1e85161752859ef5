#!/usr/bin/env bash
# Makes the inflate benchmark's dumps once: a table of KX_BENCH_ROWS rows (default
# 10000000, seven columns, about 1 GB of COPY text) dumped as a gzip custom archive
# (pg_dump of the installed server), a gzip plain script, and, when KX_PG18_BIN names
# PostgreSQL 18's tools, zstd and lz4 custom archives. The files stay in KX_BENCH_DATA
# (default /var/tmp/kx-bench/inflate) and are reused while they are there and the row count is
# unchanged.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
data_dir=${KX_BENCH_DATA:-/var/tmp/kx-bench/inflate}
rows=${KX_BENCH_ROWS:-10000000}
port=${KX_BENCH_PORT:-54341}
pg18=${KX_PG18_BIN:-}
export TZ=UTC LC_ALL=C.UTF-8
unset PGDATABASE PGUSER PGHOST PGPORT PGOPTIONS PGCLIENTENCODING PGSERVICE PGPASSWORD || true
if [ -z "${PGBIN:-}" ]; then
  PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
fi

mkdir -p "$data_dir"
data_dir=$(cd "$data_dir" && pwd)
meta="$data_dir/dumps.txt"
names=(wide.gzip.dump wide.sql.gz)
if [ -n "$pg18" ]; then names+=(wide.zstd.dump wide.lz4.dump); fi
cached() {
  [ -f "$meta" ] && grep -qx "rows=$rows" "$meta" || return 1
  local f
  for f in "${names[@]}"; do [ -s "$data_dir/$f" ] || return 1; done
}
if cached; then exit 0; fi

# shellcheck source=scripts/bench_cluster.sh
source "$root/scripts/bench_cluster.sh"
tmp=$(mktemp -d /var/tmp/kx-bench-make.XXXXXX)
cleanup() {
  cluster_stop immediate
  rm -rf "$tmp"
}
trap cleanup EXIT
rm -f "$meta"
cluster_start "$tmp" "$port"
psql_in -d postgres -c 'CREATE DATABASE kx_bench'
echo "bench_inflate_data: loading $rows rows..." >&2
# Seven columns: integers, numeric, text with some Japanese, a timestamp, a boolean and a
# text that is often NULL; about 100 bytes of COPY text a row.
psql_in -d kx_bench <<SQL
BEGIN;
CREATE TABLE public.bench_wide (
    id integer NOT NULL,
    qty bigint,
    amount numeric(12,2),
    name text NOT NULL,
    created timestamp without time zone,
    active boolean,
    note text
);
INSERT INTO public.bench_wide
SELECT i,
       (i::bigint * 104729) % 1000000007,
       ((i::bigint * 7919) % 10000000) / 100.0,
       CASE WHEN i % 5 = 0 THEN '商品' || (i % 997) || '番 東京' ELSE '' END ||
         left(md5(i::text), 12 + (i * 7) % 21),
       timestamp '2020-01-01' + ((i::bigint * 37) % 100000000) * interval '1 second',
       i % 2 = 0,
       CASE WHEN i % 4 <> 0 THEN NULL ELSE 'note ' || (i % 1000) END
FROM generate_series(1, $rows) AS i;
COMMIT;
SQL
echo "bench_inflate_data: dumping..." >&2
as_pg mkdir -p "$tmp/out"
as_pg "$PGBIN/pg_dump" -Fc -t public.bench_wide -d kx_bench -f "$tmp/out/wide.gzip.dump"
as_pg "$PGBIN/pg_dump" -Fp -Z 6 -t public.bench_wide -d kx_bench -f "$tmp/out/wide.sql.gz"
if [ -n "$pg18" ]; then
  for z in zstd lz4; do
    as_pg "$pg18/pg_dump" -Fc -Z "$z" -t public.bench_wide -d kx_bench -f "$tmp/out/wide.$z.dump"
  done
fi
copy_bytes=$(psql_in -d kx_bench -c 'COPY public.bench_wide TO STDOUT' | wc -c)
cluster_stop fast
for f in "${names[@]}"; do mv -f "$tmp/out/$f" "$data_dir/$f"; done
{
  echo "rows=$rows"
  echo "generator=$("$PGBIN/pg_dump" --version)${pg18:+, $("$pg18/pg_dump" --version)}"
  echo "server_copy_bytes=$copy_bytes"
  echo "made=$(date -u '+%Y-%m-%d %H:%M:%S UTC')"
} >"$meta"
