#!/usr/bin/env bash
# The command line reading one table of a custom archive straight through, against
# pg_restore -a -t TABLE -f /dev/null on the same file, all taking turns in one run:
#   rows --where W     (a condition few rows meet: the whole table is read)
#   rows --count 10    (stops after ten rows)
#   export --where W -o FILE, and export of the whole table -o FILE
# with each one's peak memory. KX_BASE_CLI names a second kalvex-cli (an older build) that
# runs the same commands in the same run, for before-and-after figures.
#
#   scripts/bench_stream.sh ARCHIVE [TABLE]
#
# Environment: KX_CLI (default build/bench/bin/kalvex-cli), KX_BASE_CLI, KX_BENCH_RUNS
# (default 3, best counts), PGBIN, KX_STREAM_WHERE (default: amount < 5 AND name ILIKE
# '%東京%', for scripts/make_bench_wide.sh's table). Figures are reported, never asserted.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
archive=$1
table=${2:-}
runs=${KX_BENCH_RUNS:-3}
cli=${KX_CLI:-$root/build/bench/bin/kalvex-cli}
base=${KX_BASE_CLI:-}
where=${KX_STREAM_WHERE:-"amount < 5 AND name ILIKE '%東京%'"}
PGBIN=${PGBIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
export TZ=UTC LC_ALL=C.UTF-8

[ -s "$archive" ] || { echo "no archive $archive" >&2; exit 1; }
if [ -z "$table" ]; then
  table=$("$cli" info --tsv "$archive" | awk -F'\t' 'seen && NF == 6 { print $2 "." $3; exit } /^database\tschema/ { seen = 1 }')
fi
tmp=$(mktemp -d /tmp/kx-stream.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
cat "$archive" >/dev/null  # into the page cache

# Runs a command once; prints "seconds peak-KiB".
measure() {
  rm -f "$tmp/out.csv"
  /usr/bin/time -f '%e %M' -o "$tmp/time" "$@" >/dev/null 2>"$tmp/err" || {
    echo "failed: $*" >&2
    cat "$tmp/err" >&2
  }
  cat "$tmp/time"
}

# One measurement: a kind and, for kalvex-cli, the program.
run() {
  case $1 in
    restore) measure "$PGBIN/pg_restore" -a -n "${table%%.*}" -t "${table#*.}" -f /dev/null "$archive" ;;
    where) measure "$2" rows "$archive" "$table" --where "$where" ;;
    count) measure "$2" rows "$archive" "$table" --count 10 ;;
    export-where) measure "$2" export "$archive" "$table" --where "$where" -o "$tmp/out.csv" ;;
    export) measure "$2" export "$archive" "$table" -o "$tmp/out.csv" ;;
  esac
}

names=(pg_restore)
kinds=(restore)
programs=(-)
for kind in where count export-where export; do
  case $kind in
    where) label="rows --where" ;;
    count) label="rows --count 10" ;;
    export-where) label="export --where" ;;
    export) label="export whole table" ;;
  esac
  names+=("$label") kinds+=("$kind") programs+=("$cli")
  if [ -n "$base" ]; then names+=("$label (before)") kinds+=("$kind") programs+=("$base"); fi
done

declare -A best peak
for ((r = 0; r < runs; r++)); do
  for i in "${!kinds[@]}"; do
    read -r t m < <(run "${kinds[$i]}" "${programs[$i]}")
    name=${names[$i]}
    if [ -z "${best[$name]:-}" ] || awk -v a="$t" -v b="${best[$name]}" 'BEGIN { exit !(a < b) }'; then
      best[$name]=$t
    fi
    if [ -z "${peak[$name]:-}" ] || [ "$m" -gt "${peak[$name]}" ]; then peak[$name]=$m; fi
  done
done

echo "Streaming benchmark: $archive, table $table, best of $runs runs (wall time)"
echo "condition: $where"
restore=${best[pg_restore]}
for name in "${names[@]}"; do
  awk -v n="$name" -v t="${best[$name]}" -v p="$restore" -v m="${peak[$name]}" \
    'BEGIN { printf "  %-30s %7.2f s  %5.2fx pg_restore  peak %6.1f MB\n", n, t, t / p, m / 1024 }'
done
