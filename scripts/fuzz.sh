#!/usr/bin/env bash
# Runs every libFuzzer target of fuzz/ for FUZZ_SECONDS seconds, one after another, at low
# priority. Seeds come from the fixtures (and fuzz/seeds/ where no fixture fits); the
# working corpus grows in $FUZZ_BUILD/corpus/<target>/. An input that crashes, hangs or
# runs out of memory is written to tests/fuzz-corpus/<target>/, where ctest replays it.
# Usage: FUZZ_SECONDS=60 FUZZ_BUILD=build/fuzz bash scripts/fuzz.sh [TARGET...]
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build/fuzz}
seconds=${FUZZ_SECONDS:-60}
dumps=$root/tests/fixtures/dumps
expected=$root/tests/fixtures/expected
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(archive_toc archive_data gzip_stream plain_script insert_values connect create_table
           copy_line where settings)
fi

# Statements of a script, one file each: the lines from one starting with the word to the
# first line ending in ";".
split_statements() {  # word script outdir limit
  awk -v word="$1" -v out="$3" -v limit="$4" '
    index($0, word) == 1 { keep = 1; text = "" }
    keep { text = text $0 "\n"; if ($0 ~ /;$/) { keep = 0; if (n < limit) { f = out "/stmt" n++; printf "%s", text > f; close(f) } } }
  ' "$2"
}

seed() {  # target dir
  local t=$1 dir=$2
  case $t in
    archive_toc|archive_data)
      cp "$dumps"/*.dump "$dir"/
      cp "$dumps/kx_main.dir/toc.dat" "$dir/dir-toc.dat"
      cp "$dumps/kx_main.dir-z0/toc.dat" "$dir/dir-z0-toc.dat" ;;
    gzip_stream)
      cp "$dumps"/*.gz "$dir"/
      for f in "$dumps"/kx_main.dir/*.gz; do cp "$f" "$dir/dir-$(basename "$f")"; done ;;
    plain_script)
      for f in kx_main.sql kx_eucjp.sql kx_eucjp.sjis.sql kx_latin1.sql cluster.dumpall.sql \
               kx_main.rows-per-insert-3.sql; do cp "$dumps/$f" "$dir"/; done ;;
    insert_values)
      # The first byte picks the code page: 0 is UTF-8, 1 is Shift_JIS.
      local tmp; tmp=$(mktemp -d)
      split_statements "INSERT" "$dumps/kx_main.inserts.sql" "$tmp" 40
      split_statements "INSERT" "$dumps/kx_main.rows-per-insert-3.sql" "$tmp" 80
      split_statements "INSERT" "$dumps/kx_main.column-inserts.sql" "$tmp" 120
      for f in "$tmp"/*; do { printf '\0'; cat "$f"; } > "$dir/$(basename "$f")"; done
      rm -rf "$tmp" ;;
    connect)
      cp "$root"/fuzz/seeds/connect/* "$dir"/
      grep -h '^\\connect' "$dumps/cluster.dumpall.sql" | head -20 |
        awk -v out="$dir" '{ f = out "/fixture" NR; printf "%s", $0 > f; close(f) }' ;;
    create_table)
      split_statements "CREATE TABLE" "$dumps/kx_main.sql" "$dir" 100
      split_statements "CREATE TABLE" "$dumps/kx_eucjp.sql" "$dir" 100 ;;
    copy_line)
      local n=0
      for f in "$expected"/*/*.copy; do
        head -c 4096 "$f" | head -n 20 | while IFS= read -r line; do
          n=$((n + 1)); printf '\0%s' "$line" > "$dir/$(basename "$f")-$n"
        done
      done ;;
    where) cp "$root"/fuzz/seeds/where/* "$dir"/ ;;
    settings) cp "$root"/fuzz/seeds/settings/* "$dir"/ ;;
  esac
}

status=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for t in "${targets[@]}"; do
  bin=$build/bin/fuzz_$t
  if [ ! -x "$bin" ]; then echo "fuzz: $bin is missing" >&2; status=1; continue; fi
  corpus=$build/corpus/$t
  found=$root/tests/fuzz-corpus/$t
  seeds=$scratch/seeds-$t
  mkdir -p "$corpus" "$found" "$seeds"
  seed "$t" "$seeds"
  log=$build/fuzz-$t.log
  # The readers' own temporary files go to a folder of this run.
  TMPDIR=$scratch nice -n 10 "$bin" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$found/" \
    "$corpus" "$seeds" "$found" >"$log" 2>&1
  rc=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  speed=$(grep -o 'exec/s: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  findings=$(find "$found" -type f ! -name README.md | wc -l)
  printf '%-14s rc=%-3s runs=%-9s exec/s=%-7s cov=%-6s ft=%-6s kept-inputs=%s\n' \
    "$t" "$rc" "${execs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "$findings"
  [ "$rc" -eq 0 ] || status=1
done
exit $status
