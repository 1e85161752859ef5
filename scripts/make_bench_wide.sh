#!/usr/bin/env bash
# Makes the 7-column benchmark table (integers, numeric, text with some Japanese, a
# timestamp, a boolean, an often-NULL text) in a private cluster and dumps it once with
# pg_dump -Fc (gzip) into DIR/wide.gzip.dump. Reused while DIR/wide.rows says the same count.
#
#   scripts/make_bench_wide.sh DIR [ROWS]     (ROWS default 10000000, about 1 GB of COPY text)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=$(mkdir -p "$1" && cd "$1" && pwd)
rows=${2:-10000000}
port=${KX_BENCH_PORT:-54339}
PGBIN=${PGBIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)}
if [ -s "$dir/wide.gzip.dump" ] && [ "$(cat "$dir/wide.rows" 2>/dev/null)" = "$rows" ]; then
  exit 0
fi
# shellcheck source=scripts/bench_cluster.sh
source "$root/scripts/bench_cluster.sh"
tmp=$(mktemp -d /tmp/kx-wide.XXXXXX)
trap 'cluster_stop immediate; rm -rf "$tmp"' EXIT
cluster_start "$tmp" "$port"
psql_in -d postgres -c 'CREATE DATABASE kx_bench'
psql_in -d kx_bench <<SQL
BEGIN;
CREATE TABLE public.bench_wide (
    id integer NOT NULL,
    qty bigint NOT NULL,
    amount numeric(12,2),
    name text NOT NULL,
    created timestamp without time zone,
    active boolean,
    note text
);
INSERT INTO public.bench_wide
SELECT i,
       (i::bigint * 48271) % 2147483647,
       ((i::bigint * 7919) % 10000000) / 100.0,
       CASE WHEN i % 5 = 0 THEN '商品 ' || left(md5(i::text), 12) || ' 東京'
            ELSE left(md5(i::text) || ' ' || md5((i * 31)::text), 20 + (i * 7) % 41) END,
       timestamp '2020-01-01' + ((i::bigint * 37) % 100000000) * interval '1 second',
       i % 2 = 0,
       CASE WHEN i % 4 = 0 THEN 'note ' || (i % 1000) ELSE NULL END
FROM generate_series(1, $rows) AS i;
COMMIT;
SQL
as_pg mkdir -p "$tmp/out"
as_pg "$PGBIN/pg_dump" -Fc -t public.bench_wide -d kx_bench -f "$tmp/out/wide.gzip.dump"
mv "$tmp/out/wide.gzip.dump" "$dir/wide.gzip.dump"
echo "$rows" >"$dir/wide.rows"
