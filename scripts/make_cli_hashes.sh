#!/usr/bin/env bash
# Records what kalvex-cli prints for every fixture dump, as SHA-256 sums of its standard
# output and standard error with the exit code, into tests/cli/CliOutputs.tsv. The test
# CliOutputsTest runs the same commands and compares, so a rewrite of the command line
# cannot change its output unnoticed. Run it with the kalvex-cli whose output is the
# reference, and again after scripts/make_fixtures.sh has made new dumps.
#
#   scripts/make_cli_hashes.sh build/dev/bin/kalvex-cli
#
# Line format (TAB-separated): stdout sha256, stderr sha256, exit code, then the
# arguments; "@" followed by a file name stands for tests/fixtures/dumps/NAME.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
out="$root/tests/cli/CliOutputs.tsv"
dumps="$root/tests/fixtures/dumps"
export LC_ALL=C.UTF-8 TZ=UTC

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

record() {
  local args=("$@") real=() a code
  for a in "${args[@]}"; do
    if [[ $a == @* ]]; then real+=("$dumps/${a#@}"); else real+=("$a"); fi
  done
  code=0
  "$cli" "${real[@]}" >"$tmp/out" 2>"$tmp/err" </dev/null || code=$?
  local line
  line="$(sha256sum <"$tmp/out" | cut -d' ' -f1)	$(sha256sum <"$tmp/err" | cut -d' ' -f1)	$code"
  for a in "${args[@]}"; do line+="	$a"; done
  printf '%s\n' "$line" >>"$out.new"
}

rm -f "$out.new"
for path in "$dumps"/*; do
  f=@$(basename "$path")
  record info "$f"
  record info --tsv "$f"
  record ddl "$f"
  # database, schema, table of every table, from the TSV listing (names have no TAB).
  "$cli" info --tsv "$dumps/${f#@}" 2>/dev/null | awk -F'\t' 'seen && NF == 6 { print $1 "\037" $2 "\037" $3 } /^database\tschema/ { seen = 1 }' \
    >"$tmp/tables" || true
  while IFS=$'\037' read -r database schema table; do
    name="$schema.$table"
    db=()
    if [ -n "$database" ]; then db=(--database "$database"); fi
    record columns "$f" "$name" "${db[@]}"
    record ddl "$f" "$name" "${db[@]}"
    record rows "$f" "$name" "${db[@]}"
    record export "$f" "$name" "${db[@]}"
  done <"$tmp/tables"
  # A whole cluster's DDL database by database, and what lies outside any database.
  cut -d$'\037' -f1 "$tmp/tables" | sort -u >"$tmp/databases"
  if [ "$(wc -l <"$tmp/databases")" -gt 1 ]; then
    record ddl "$f" --database ""
    while IFS= read -r database; do
      record ddl "$f" --database "$database"
    done <"$tmp/databases"
  fi
  record rows "$f" many_rows --where 'n % 7 = 3' --keyword 9 --from 2 --count 20
  record export "$f" many_rows --where 'n > 1400' --delimiter tab --quote-all \
    --encoding UTF8BOM --null NULL --no-header
  record export "$f" simple --encoding SJIS --columns id,name
done
mv "$out.new" "$out"
echo "$(wc -l <"$out") commands recorded in $out"
