#!/usr/bin/env bash
# Scan and load of lz4- and zstd-compressed custom archives against PostgreSQL 18's
# pg_restore (bench/compressed_bench.cpp). Needs PostgreSQL 18's pg_dump and pg_restore:
#
#   KX_PG18_BIN=/opt/pg18/bin scripts/bench_compressed.sh
#
# A table of KX_BENCH18_ROWS rows (default 10000000, about 1 GB of COPY text) is loaded
# into a private PostgreSQL cluster of the installed server and dumped once with
# pg_dump 18 -Fc -Z zstd and -Z lz4 into KX_BENCH_DATA/pg18 (default build/bench-data);
# the archives are reused while they are there. Settings as for bench.sh: KX_BENCH_BUILD,
# KX_BENCH_RUNS, KX_BENCH_PORT, PGBIN. Without the PostgreSQL 18 tools it says so and exits 0.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${KX_BENCH_BUILD:-build/bench}
data_dir=${KX_BENCH_DATA:-build/bench-data}/pg18
rows=${KX_BENCH18_ROWS:-10000000}
runs=${KX_BENCH_RUNS:-3}
port=${KX_BENCH_PORT:-54339}
pg18=${KX_PG18_BIN:-}
export TZ=UTC LC_ALL=C.UTF-8
unset PGDATABASE PGUSER PGHOST PGPORT PGOPTIONS PGCLIENTENCODING PGSERVICE PGPASSWORD || true

if [ -z "$pg18" ] || [ ! -x "$pg18/pg_dump" ] || [ ! -x "$pg18/pg_restore" ]; then
  echo "bench_compressed: skipped, set KX_PG18_BIN to PostgreSQL 18's bin folder" \
    "(../shared/tools/build-pg-dump-18.sh builds it)"
  exit 0
fi
if [ -z "${PGBIN:-}" ]; then
  PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
fi

bench_bin="$build/bin/kalvex_compressed_bench"
if [ ! -x "$bench_bin" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DKALVEX_SANITIZE=OFF \
    -DKALVEX_BUILD_TESTS=OFF -DKALVEX_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" --target kalvex_compressed_bench
fi

mkdir -p "$data_dir"
data_dir=$(cd "$data_dir" && pwd)
meta="$data_dir/archives.txt"
names=(big.zstd.dump big.lz4.dump)
cached() {
  [ -f "$meta" ] && grep -qx "rows=$rows" "$meta" || return 1
  local f
  for f in "${names[@]}"; do [ -s "$data_dir/$f" ] || return 1; done
}

if ! cached; then
  # shellcheck source=scripts/bench_cluster.sh
  source "$root/scripts/bench_cluster.sh"
  tmp=$(mktemp -d /tmp/kx-bench18.XXXXXX)
  cleanup() {
    cluster_stop immediate
    rm -rf "$tmp"
  }
  trap cleanup EXIT
  rm -f "$meta"
  cluster_start "$tmp" "$port"
  psql_in -d postgres -c 'CREATE DATABASE kx_bench'
  echo "bench_compressed: loading $rows rows into a private PostgreSQL cluster..." >&2
  # The shape of bench.sh's table: about 85 bytes of COPY text a row.
  psql_in -d kx_bench <<SQL
BEGIN;
CREATE TABLE public.bench_big (
    id integer NOT NULL,
    name text NOT NULL,
    amount numeric(12,2),
    created timestamp without time zone,
    note text
);
INSERT INTO public.bench_big
SELECT i,
       left(md5(i::text) || ' ' || md5((i * 31)::text), 20 + (i * 7) % 41),
       ((i::bigint * 7919) % 10000000) / 100.0,
       timestamp '2020-01-01' + ((i::bigint * 37) % 100000000) * interval '1 second',
       CASE WHEN i % 3 = 0 THEN NULL ELSE 'note ' || (i % 1000) END
FROM generate_series(1, $rows) AS i;
COMMIT;
SQL
  echo "bench_compressed: dumping with pg_dump 18 -Fc -Z zstd and -Z lz4..." >&2
  as_pg mkdir -p "$tmp/out"
  for z in zstd lz4; do
    as_pg "$pg18/pg_dump" -Fc -Z "$z" -t public.bench_big -d kx_bench -f "$tmp/out/big.$z.dump"
  done
  copy_bytes=$(psql_in -d kx_bench -c 'COPY public.bench_big TO STDOUT' | wc -c)
  cluster_stop fast
  for f in "${names[@]}"; do mv -f "$tmp/out/$f" "$data_dir/$f"; done
  {
    echo "rows=$rows"
    echo "generator=$("$pg18/pg_dump" --version), private cluster of $("$PGBIN/postgres" --version)"
    echo "server_copy_bytes=$copy_bytes"
    echo "made=$(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  } >"$meta"
  trap - EXIT
  cleanup
fi

echo "lz4 and zstd custom archives, $(date -u '+%Y-%m-%d %H:%M:%S UTC'), $(nproc) CPUs"
echo "archives: $(sed -n 's/^generator=//p' "$meta"); server COPY text $(sed -n 's/^server_copy_bytes=//p' "$meta") bytes"
echo "pg_restore: $("$pg18/pg_restore" --version)"
"$bench_bin" --runs "$runs" --pg-restore "$pg18/pg_restore" \
  "$data_dir/big.zstd.dump" "$data_dir/big.lz4.dump"
