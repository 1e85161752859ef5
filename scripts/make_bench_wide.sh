#!/usr/bin/env bash
# Makes the 7-column benchmark table (integers, numeric, text with some Japanese, a
# timestamp, a boolean, an often-NULL text) and dumps it once with pg_dump -Fc (gzip) into
# DIR/wide.gzip.dump, beside a gzip plain script of it: scripts/bench_inflate_data.sh
# with DIR as its data folder. Reused while the row count is unchanged.
#
#   scripts/make_bench_wide.sh DIR [ROWS]     (ROWS default 10000000, about 1 GB of COPY text)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KX_BENCH_DATA=$1 KX_BENCH_ROWS=${2:-10000000} KX_PG18_BIN='' "$root/scripts/bench_inflate_data.sh"
