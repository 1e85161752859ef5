#!/usr/bin/env bash
# Scan and load of one large table (KX_BENCH_ROWS rows, default 10 million, seven columns,
# about 1 GB of COPY text) in a gzip custom archive, a gzip plain script and, with
# KX_PG18_BIN, zstd and lz4 custom archives; gzip with both inflate backends (ISA-L and
# zlib) in the same run, against pg_restore (-a -t TABLE -f /dev/null) and gzip -dc on the
# same files (bench/compressed_bench.cpp).
#
#   KX_PG18_BIN=/opt/pg18/bin scripts/bench_inflate.sh
#
# The dumps are made once by scripts/bench_inflate_data.sh into KX_BENCH_DATA (default
# /var/tmp/kx-bench/inflate) and reused. Settings: KX_BENCH_BUILD (default build/bench),
# KX_BENCH_RUNS (default 3), PGBIN.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${KX_BENCH_BUILD:-build/bench}
data_dir=${KX_BENCH_DATA:-/var/tmp/kx-bench/inflate}
runs=${KX_BENCH_RUNS:-3}
pg18=${KX_PG18_BIN:-}
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
KX_BENCH_DATA=$data_dir PGBIN=$PGBIN KX_PG18_BIN=$pg18 scripts/bench_inflate_data.sh

echo "inflate benchmark, $(date -u '+%Y-%m-%d %H:%M:%S UTC'), $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"
sed -n 's/^/  /p' "$data_dir/dumps.txt"
# pg_restore 18 reads every archive; the gzip one also with the installed server's version.
restore=${pg18:-$PGBIN}/pg_restore
dumps=("$data_dir/wide.gzip.dump" "$data_dir/wide.sql.gz")
if [ -n "$pg18" ]; then dumps+=("$data_dir/wide.zstd.dump" "$data_dir/wide.lz4.dump"); fi
echo "pg_restore: $("$restore" --version)"
"$bench_bin" --runs "$runs" --pg-restore "$restore" "${dumps[@]}"
