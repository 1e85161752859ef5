#!/usr/bin/env bash
# Runs the scan benchmark (bench/scan_bench.cpp) on large archives and saves the report
# as build/bench-data/report.txt. `make bench` builds the Release binaries and calls this.
#
#   scripts/bench.sh
#
# The archives are made once and kept under build/bench-data: with pg_dump from a
# throw-away PostgreSQL cluster when the server is installed, else with the test archive
# writer. Delete that folder (or change KX_BENCH_ROWS) to make them again.
#
# Environment: KX_BENCH_BUILD (build folder, default build/bench), KX_BENCH_DATA (default
# build/bench-data), KX_BENCH_ROWS (rows of the large table, default 5000000; the small
# one has a tenth), KX_BENCH_RUNS (default 3), KX_BENCH_PORT (default 54339), PGBIN.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

build=${KX_BENCH_BUILD:-build/bench}
data_dir=${KX_BENCH_DATA:-build/bench-data}
rows=${KX_BENCH_ROWS:-5000000}
small_rows=$((rows / 10))
runs=${KX_BENCH_RUNS:-3}
port=${KX_BENCH_PORT:-54339}
export TZ=UTC LC_ALL=C.UTF-8
unset PGDATABASE PGUSER PGHOST PGPORT PGOPTIONS PGCLIENTENCODING PGSERVICE PGPASSWORD || true

configure() {
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DKALVEX_SANITIZE=OFF \
    -DKALVEX_BUILD_TESTS=OFF -DKALVEX_BUILD_BENCH=ON >/dev/null
}
bench_bin="$build/bin/kalvex_scan_bench"
if [ ! -x "$bench_bin" ]; then
  configure
  cmake --build "$build" --target kalvex_scan_bench
fi

mkdir -p "$data_dir"
data_dir=$(cd "$data_dir" && pwd)
meta="$data_dir/archives.txt"
names=(big.gzip.dump big.none.dump small.gzip.dump small.none.dump)

cached() {
  [ -f "$meta" ] && grep -qx "rows=$rows" "$meta" || return 1
  local f
  for f in "${names[@]}"; do [ -s "$data_dir/$f" ] || return 1; done
}

# shellcheck source=scripts/bench_cluster.sh
source "$root/scripts/bench_cluster.sh"
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

# ---------------------------------------------------------------------------
# Archives from a private PostgreSQL cluster
# ---------------------------------------------------------------------------
make_with_postgres() {
  tmp=$(mktemp -d /tmp/kx-bench.XXXXXX)
  local out="$tmp/out"
  cleanup() {
    cluster_stop immediate
    rm -rf "$tmp"
  }
  trap cleanup EXIT

  local t0 t1 t2 t3
  t0=$(now)
  cluster_start "$tmp" "$port"
  as_pg mkdir -p "$out"
  psql_in -d postgres -c 'CREATE DATABASE kx_bench'

  echo "bench: loading $rows rows into a private PostgreSQL cluster..." >&2
  # Created and filled in one transaction, so wal_level=minimal writes no WAL for it.
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
BEGIN;
CREATE TABLE public.bench_small (LIKE public.bench_big INCLUDING ALL);
INSERT INTO public.bench_small SELECT * FROM public.bench_big WHERE id <= $small_rows;
COMMIT;
SQL
  t1=$(now)

  echo "bench: dumping with pg_dump -Fc and -Fc -Z0..." >&2
  local pids=() table kind
  for table in big small; do
    as_pg "$PGBIN/pg_dump" -Fc -t "public.bench_$table" -d kx_bench \
      -f "$out/$table.gzip.dump" &
    pids+=($!)
    as_pg "$PGBIN/pg_dump" -Fc -Z0 -t "public.bench_$table" -d kx_bench \
      -f "$out/$table.none.dump" &
    pids+=($!)
  done
  local pid
  for pid in "${pids[@]}"; do wait "$pid"; done
  t2=$(now)

  # What the server itself says the COPY text weighs, to check the reader's count against.
  local big_bytes small_bytes
  big_bytes=$(psql_in -d kx_bench -c 'COPY public.bench_big TO STDOUT' | wc -c)
  small_bytes=$(psql_in -d kx_bench -c 'COPY public.bench_small TO STDOUT' | wc -c)
  t3=$(now)

  local version
  version=$(as_pg "$PGBIN/pg_dump" --version)
  cluster_stop fast

  for kind in "${names[@]}"; do mv -f "$out/$kind" "$data_dir/$kind"; done
  if [ "$(id -u)" -eq 0 ]; then chown "$(stat -c %u:%g "$root")" "$data_dir"/*.dump; fi
  {
    echo "rows=$rows"
    echo "small_rows=$small_rows"
    echo "generator=$version, private cluster, pg_dump -Fc (gzip, default level) and -Fc -Z0"
    echo "seconds=$(elapsed "$t0" "$t3")"
    echo "detail=cluster and load $(elapsed "$t0" "$t1") s," \
      "4 pg_dumps in parallel $(elapsed "$t1" "$t2") s, COPY size check $(elapsed "$t2" "$t3") s"
    echo "server_copy_bytes=big $big_bytes, small $small_bytes" \
      "(the archives add the 5-byte end marker of each table)"
    echo "made=$(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  } >"$meta"
  trap - EXIT
  cleanup
}

# ---------------------------------------------------------------------------
# Archives from the test archive writer, when no server is installed
# ---------------------------------------------------------------------------
make_with_writer() {
  echo "bench: no PostgreSQL server found; writing the archives with the test archive writer" >&2
  [ -f "$build/build.ninja" ] || configure
  if ! cmake --build "$build" --target kalvex_bench_archive >&2; then
    echo "bench: the archive writer does not build; no archives to measure" >&2
    exit 1
  fi
  local writer="$build/bin/kalvex_bench_archive" t0 t1 pids=() pid table kind
  t0=$(now)
  for table in big small; do
    local n=$rows
    [ "$table" = small ] && n=$small_rows
    for kind in gzip none; do
      "$writer" "$data_dir/$table.$kind.dump.part" "bench_$table" "$n" "$kind" &
      pids+=($!)
    done
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
  for kind in "${names[@]}"; do mv -f "$data_dir/$kind.part" "$data_dir/$kind"; done
  t1=$(now)
  {
    echo "rows=$rows"
    echo "small_rows=$small_rows"
    echo "generator=tests/support/ArchiveWriter.h (no PostgreSQL server installed)"
    echo "seconds=$(elapsed "$t0" "$t1")"
    echo "made=$(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  } >"$meta"
}

if [ -z "${PGBIN:-}" ]; then
  PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
fi
reused=yes
if ! cached; then
  reused=no
  rm -f "$meta"
  if [ -n "$PGBIN" ] && [ -x "$PGBIN/initdb" ] && [ -x "$PGBIN/pg_dump" ]; then
    make_with_postgres
  else
    make_with_writer
  fi
fi

# ---------------------------------------------------------------------------
# Plain scripts for bench/plain_bench.cpp: the large table as pg_dump -Fp writes it (COPY)
# and as pg_dump --inserts writes it. Made once next to the archives, from the same data.
# ---------------------------------------------------------------------------
plain_bin="$build/bin/kalvex_plain_bench"
plain_names=(big.copy.sql big.inserts.sql)
plain_meta="$data_dir/plain.txt"

plain_cached() {
  [ -f "$plain_meta" ] && grep -qx "rows=$rows" "$plain_meta" || return 1
  local f
  for f in "${plain_names[@]}"; do [ -s "$data_dir/$f" ] || return 1; done
}

make_plain_scripts() {
  local t0 t1 generator f
  t0=$(now)
  rm -f "$plain_meta"
  if [ -n "$PGBIN" ] && [ -x "$PGBIN/pg_restore" ] && [ -x "$PGBIN/initdb" ] &&
    [ -x "$PGBIN/pg_dump" ] && [ -s "$data_dir/big.none.dump" ]; then
    echo "bench: writing the plain scripts with pg_restore -f and pg_dump --inserts..." >&2
    # pg_restore -f writes the script that pg_dump -Fp writes.
    "$PGBIN/pg_restore" -f "$data_dir/big.copy.sql.part" "$data_dir/big.none.dump"
    plain_tmp=$(mktemp -d /tmp/kx-plain.XXXXXX)
    plain_cleanup() {
      cluster_stop immediate
      rm -rf "$plain_tmp"
    }
    trap plain_cleanup EXIT
    cluster_start "$plain_tmp" "$port"
    psql_in -d postgres -c 'CREATE DATABASE kx_bench'
    as_pg "$PGBIN/pg_restore" -d kx_bench <"$data_dir/big.none.dump"
    as_pg "$PGBIN/pg_dump" --inserts -t public.bench_big -d kx_bench \
      >"$data_dir/big.inserts.sql.part"
    trap - EXIT
    plain_cleanup
    generator="pg_restore -f of big.none.dump (COPY); pg_dump --inserts of it restored into a private cluster"
  else
    echo "bench: writing the plain scripts with kalvex_plain_bench --write-scripts..." >&2
    "$plain_bin" --write-scripts "$data_dir" "$rows"
    for f in "${plain_names[@]}"; do mv -f "$data_dir/$f" "$data_dir/$f.part"; done
    generator="bench/plain_bench.cpp --write-scripts (no PostgreSQL programs)"
  fi
  for f in "${plain_names[@]}"; do mv -f "$data_dir/$f.part" "$data_dir/$f"; done
  t1=$(now)
  {
    echo "rows=$rows"
    echo "generator=$generator"
    echo "seconds=$(elapsed "$t0" "$t1")"
  } >"$plain_meta"
}

[ -x "$plain_bin" ] || cmake --build "$build" --target kalvex_plain_bench >&2 || true
if [ -x "$plain_bin" ] && ! plain_cached; then make_plain_scripts; fi

meta_value() { sed -n "s/^$1=//p" "$meta"; }
report="$data_dir/report.txt"
{
  echo "Kalvex scan benchmark, $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  echo "machine:  $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)," \
    "$(nproc) CPUs, Linux $(uname -r)"
  echo "build:    $build (Release, -O2, no sanitizers), $(g++ --version | head -n 1)"
  echo "archives: $(meta_value generator)"
  detail=$(meta_value detail)
  if [ "$reused" = yes ]; then
    echo "          reused from $data_dir, made $(meta_value made) in $(meta_value seconds) s"
  else
    echo "          made now in $(meta_value seconds) s"
  fi
  [ -z "$detail" ] || echo "          ($detail)"
  if [ -n "$(meta_value server_copy_bytes)" ]; then
    echo "          server COPY text: $(meta_value server_copy_bytes)"
  fi
  echo
  "$bench_bin" --runs "$runs" \
    --expect-rows "$rows" "$data_dir/big.gzip.dump" "$data_dir/big.none.dump" \
    --expect-rows "$small_rows" "$data_dir/small.gzip.dump" "$data_dir/small.none.dump"
  store_bin="$build/bin/kalvex_store_bench"
  if [ -x "$store_bin" ]; then
    echo
    "$store_bin" --rows "${KX_STORE_ROWS:-10000000}" --archive "$data_dir/big.none.dump"
  fi
  # The filter benchmark generates its table in memory; it needs no archive.
  filter_bin="$build/bin/kalvex_filter_bench"
  [ -x "$filter_bin" ] || cmake --build "$build" --target kalvex_filter_bench >&2 || true
  if [ -x "$filter_bin" ]; then
    echo
    "$filter_bin" --rows "${KX_FILTER_ROWS:-10000000}" --runs "$runs"
  fi
  if [ -x "$plain_bin" ] && plain_cached; then
    echo
    echo "plain scripts: $(sed -n 's/^generator=//p' "$plain_meta")"
    "$plain_bin" --runs "$runs" "$data_dir/big.copy.sql" "$data_dir/big.inserts.sql"
  fi
  KX_BENCH_BUILD=$build KX_BENCH_DATA=$data_dir KX_BENCH_RUNS=$runs KX_BENCH_PORT=$port PGBIN=$PGBIN scripts/bench_export.sh || echo "bench_export.sh failed"
  # Both inflate backends, and lz4 and zstd archives when KX_PG18_BIN names PostgreSQL 18.
  echo
  KX_BENCH_BUILD=$build KX_BENCH_RUNS=$runs PGBIN=$PGBIN scripts/bench_inflate.sh || echo "bench_inflate.sh failed"
} | tee "$report.part"
mv -f "$report.part" "$report"
echo
echo "bench: report saved to $report"
