#!/usr/bin/env bash
# End-to-end export benchmark on the large custom archives that scripts/bench.sh makes:
#   1. kalvex-cli export of the whole table against pg_restore -a -t TABLE -f FILE;
#   2. kalvex-cli export --where against restoring the archive into a private cluster and
#      running the same filter there with psql \copy.
# bench.sh calls it at the end of its report; it also runs alone, once the archives exist:
#
#   scripts/bench_export.sh [ARCHIVE...]     (default: big.gzip.dump big.none.dump)
#
# Environment: KX_BENCH_BUILD, KX_BENCH_DATA, KX_BENCH_RUNS, PGBIN as for bench.sh;
# KX_BENCH_PORT + 1 is the cluster's port; KX_EXPORT_WHERE is the filter (default
# 'id % 100 = 0', written the same in SQL and in kalvex-cli's WHERE language).
# Figures are reported, never asserted.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

build=${KX_BENCH_BUILD:-build/bench}
data_dir=${KX_BENCH_DATA:-build/bench-data}
runs=${KX_BENCH_RUNS:-3}
# One above bench.sh's port, so both can run at once.
port=$((${KX_BENCH_PORT:-54339} + 1))
where=${KX_EXPORT_WHERE:-id % 100 = 0}
export TZ=UTC LC_ALL=C.UTF-8
unset PGDATABASE PGUSER PGHOST PGPORT PGOPTIONS PGCLIENTENCODING PGSERVICE PGPASSWORD || true

if [ $# -gt 0 ]; then
  archives=("$@")
else
  archives=("$data_dir/big.gzip.dump" "$data_dir/big.none.dump")
fi

say() { echo "bench_export: $*" >&2; }
skip() {
  echo
  echo "Export benchmark skipped: $*"
  exit 0
}

cli="$build/bin/kalvex-cli"
if [ ! -x "$cli" ]; then
  [ -f "$build/build.ninja" ] || skip "no build in $build (run make bench)"
  cmake --build "$build" --target kalvex-cli >&2 || skip "kalvex-cli does not build"
fi
cli=$(cd "$(dirname "$cli")" && pwd)/kalvex-cli

if [ -z "${PGBIN:-}" ]; then
  PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
fi
for tool in initdb pg_ctl pg_restore psql createdb dropdb; do
  if [ -z "$PGBIN" ] || [ ! -x "$PGBIN/$tool" ]; then
    skip "no $tool (PostgreSQL's programs, PGBIN)"
  fi
done
for a in "${archives[@]}"; do
  [ -s "$a" ] || skip "no archive $a (run scripts/bench.sh first)"
done

# shellcheck source=scripts/bench_cluster.sh
source "$root/scripts/bench_cluster.sh"

tmp=$(mktemp -d /tmp/kx-export.XXXXXX)
cleanup() {
  cluster_stop immediate
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

out="$tmp/out"

# Sets t to the wall time of a command in seconds; its output is dropped, its errors
# shown when it fails (no subshell, so a failure stops the script).
timed() {
  local t0 t1
  t0=$EPOCHREALTIME
  if ! "$@" >/dev/null 2>"$tmp/err"; then
    say "failed: $*"
    cat "$tmp/err" >&2
    return 1
  fi
  t1=$EPOCHREALTIME
  t=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
}
best() { printf '%s\n' "$@" | sort -g | head -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { # VALUE OP TARGET
  if awk -v v="$1" -v t="$3" "BEGIN { exit !(v $2 t) }"; then echo "meets"; else echo "misses"; fi
}
group() { sed ':a; s/\B[0-9]\{3\}\>/,&/; ta' <<<"$1"; }
mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f MB", b / 1e6 }'; }
csv_rows() { echo $(($(wc -l <"$1") - 1)); } # no value holds a line break; minus the header

# The client programs run as ourselves over the cluster's socket; the dump stays readable.
pg_client() { env PGHOST="$cl_sock" PGPORT="$cl_port" PGUSER=postgres "$@"; }

say "starting a private PostgreSQL cluster..."
cluster_start "$tmp" "$port"
mkdir -p "$out"

pg_version=$("$PGBIN/pg_restore" --version)
echo
echo "Export benchmark: kalvex-cli export against $pg_version, wall time, best of $runs"
echo "  filter: --where '$where' and psql \\copy (SELECT * FROM TABLE WHERE $where) TO FILE CSV"
echo "  restore cluster: private, fsync/synchronous_commit/full_page_writes off, wal_level minimal"

for archive in "${archives[@]}"; do
  name=$(basename "$archive")
  # First table of the archive: schema, name and row count from info --tsv.
  mapfile -t f < <("$cli" info --tsv "$archive" |
    awk -F '\t' 'seen { print $2; print $3; print $4; exit } /^$/ { getline; seen = 1 }')
  schema=${f[0]} table=${f[1]} count=${f[2]}
  qualified="\"$schema\".\"$table\""
  say "$name: $schema.$table, $count rows"
  cat "$archive" >/dev/null # page cache: measure CPU work, not the disk

  # 1. Whole table: kalvex-cli export and pg_restore -a take turns.
  kx_full=() pr_full=()
  for ((i = 1; i <= runs; i++)); do
    rm -f "$out/full.csv" "$out/full.sql"
    timed "$cli" export "$archive" "$table" -o "$out/full.csv"
    kx_full+=("$t")
    timed "$PGBIN/pg_restore" -a -t "$table" -f "$out/full.sql" "$archive"
    pr_full+=("$t")
    say "  run $i: export ${kx_full[-1]} s, pg_restore -a ${pr_full[-1]} s"
  done
  kx_rows=$(csv_rows "$out/full.csv")
  kx_size=$(mb "$out/full.csv") pr_size=$(mb "$out/full.sql")
  rm -f "$out/full.csv" "$out/full.sql"

  # 2. Filtered: kalvex-cli export --where against a fresh restore plus the query.
  kx_where=() restore=() query=() both=()
  for ((i = 1; i <= runs; i++)); do
    rm -f "$out/where.csv" "$out/query.csv"
    timed "$cli" export "$archive" "$table" --where "$where" -o "$out/where.csv"
    kx_where+=("$t")
    pg_client "$PGBIN/createdb" kx_scratch
    timed pg_client "$PGBIN/pg_restore" -d kx_scratch "$archive"
    restore+=("$t")
    timed pg_client "$PGBIN/psql" -X -q -v ON_ERROR_STOP=1 -d kx_scratch \
      -c "\\copy (SELECT * FROM $qualified WHERE $where) TO '$out/query.csv' CSV"
    query+=("$t")
    pg_client "$PGBIN/dropdb" kx_scratch
    both+=("$(awk -v a="${restore[-1]}" -v b="${query[-1]}" 'BEGIN { printf "%.3f", a + b }')")
    say "  run $i: export --where ${kx_where[-1]} s, restore ${restore[-1]} s + query ${query[-1]} s"
  done
  kx_n=$(csv_rows "$out/where.csv")
  pg_n=$(wc -l <"$out/query.csv")
  # Our CSV ends lines with CRLF, psql's with LF; a parallel scan may reorder psql's rows.
  if tail -n +2 "$out/where.csv" | tr -d '\r' | sort | cmp -s - <(sort "$out/query.csv"); then
    same=yes
  else
    same=no
  fi
  rm -f "$out/where.csv" "$out/query.csv"

  # The best restore+query run, and its parts.
  b=0
  for ((i = 1; i < runs; i++)); do
    if awk -v x="${both[i]}" -v y="${both[b]}" 'BEGIN { exit !(x < y) }'; then b=$i; fi
  done
  full_ratio=$(ratio "$(best "${kx_full[@]}")" "$(best "${pr_full[@]}")")
  where_ratio=$(ratio "${both[b]}" "$(best "${kx_where[@]}")")
  if [ "$kx_n" = "$pg_n" ]; then agree=agree; else agree=DIFFER; fi

  echo
  echo "$name, table $schema.$table ($(group "$count") rows)"
  printf '  %-34s %8s s   (%s rows, %s CSV)\n' "kalvex-cli export" \
    "$(best "${kx_full[@]}")" "$(group "$kx_rows")" "$kx_size"
  printf '  %-34s %8s s   (%s of COPY text)\n' "pg_restore -a -t TABLE -f FILE" \
    "$(best "${pr_full[@]}")" "$pr_size"
  printf '  %-34s %8s     target at most 1.50: %s\n' "export / pg_restore" \
    "$full_ratio" "$(verdict "$full_ratio" '<=' 1.5)"
  printf '  %-34s %8s s   (%s rows)\n' "kalvex-cli export --where" \
    "$(best "${kx_where[@]}")" "$(group "$kx_n")"
  printf '  %-34s %8s s   (restore %s s + query %s s, %s rows)\n' "pg_restore -d, then psql \\copy" \
    "${both[b]}" "${restore[b]}" "${query[b]}" "$(group "$pg_n")"
  printf '  %-34s %8s     target at least 5.00: %s\n' "restore+query / export --where" \
    "$where_ratio" "$(verdict "$where_ratio" '>=' 5)"
  echo "  filtered row counts $agree ($(group "$kx_n") and $(group "$pg_n"));" \
    "same rows, sorted, apart from line ends: $same"
done
