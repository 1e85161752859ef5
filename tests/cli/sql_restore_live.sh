#!/bin/bash
# Restores what `kalvex-cli sql` writes into a throw-away PostgreSQL cluster and compares
# the tables' rows and columns with what the fixture's database held. Exit 77 (skipped)
# without server binaries.
set -u
cli=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
fixtures="$root/tests/fixtures"
PGBIN=${PGBIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
if [ -z "$PGBIN" ] || [ ! -x "$PGBIN/initdb" ]; then
  echo "no PostgreSQL server binaries: restore tests skipped"
  exit 77
fi
port=${KX_LIVE_PORT:-$((55000 + $$ % 1000))}
tmp=$(mktemp -d /tmp/kx-sqllive.XXXXXX)
data="$tmp/data"
sock="$tmp/sock"
cleanup() {
  [ -f "$data/postmaster.pid" ] && as_pg "$PGBIN/pg_ctl" -D "$data" -m immediate -w stop >/dev/null 2>&1
  rm -rf "$tmp"
}
trap cleanup EXIT
if [ "$(id -u)" -eq 0 ]; then
  chown postgres: "$tmp"
  chmod 755 "$tmp"
  run_as=(runuser -u postgres --)
else
  run_as=()
fi
as_pg() {
  (cd "$tmp" && "${run_as[@]}" env TZ=UTC LC_ALL=C.UTF-8 PGHOST="$sock" PGPORT="$port" \
    PGUSER=postgres "$@")
}
opts='-c datestyle=ISO -c intervalstyle=postgres -c extra_float_digits=3 -c timezone=UTC -c bytea_output=hex'
psql_in() { # db encoding [args...]
  local db=$1 enc=$2
  shift 2
  as_pg env PGCLIENTENCODING="$enc" PGOPTIONS="$opts" "$PGBIN/psql" -X -q -v ON_ERROR_STOP=1 -d "$db" "$@"
}
as_pg mkdir -p "$sock"
as_pg "$PGBIN/initdb" -D "$data" --encoding=UTF8 --locale=C -A trust -U postgres --no-sync >/dev/null || exit 1
printf "listen_addresses = ''\nport = $port\nunix_socket_directories = '$sock'\nfsync = off\n" >>"$data/postgresql.conf"
as_pg "$PGBIN/pg_ctl" -D "$data" -l "$tmp/server.log" -w start >/dev/null || exit 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
hexname() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
encoding_of() { case $1 in kx_eucjp) echo EUC_JP ;; kx_latin1) echo LATIN1 ;; *) echo UTF8 ;; esac; }
n=0
fresh_db() { # fixture-db: makes an empty database r<N> in its encoding, sets db
  n=$((n + 1))
  db="r$n"
  psql_in postgres UTF8 -c "CREATE DATABASE $db ENCODING '$(encoding_of "$1")' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C'" || exit 1
}
# Rows and columns of one restored table against the fixture's expected files.
check_table() { # db fixture-db schema table [row filter for the expected copy]
  local db=$1 fdb=$2 schema=$3 table=$4 keep=${5:-cat} enc file qualified
  enc=$(encoding_of "$fdb")
  file=$(hexname "$schema.$table")
  qualified="\"${schema//\"/\"\"}\".\"${table//\"/\"\"}\""
  # The name goes to the server in the database's encoding.
  copy_out() { printf '%s' "$1" | iconv -f UTF-8 -t "${enc/EUC_JP/EUC-JP}" | psql_in "$db" "$enc"; }
  copy_out "COPY (SELECT * FROM ONLY $qualified) TO STDOUT" >"$tmp/got.copy" 2>"$tmp/err" ||
    { fail "$db $schema.$table: $(cat "$tmp/err")"; return; }
  # The expected rows are in the database's own encoding; with generated columns the
  # COPY list is shorter than SELECT *, so compare the COPY list only.
  if grep -q "	s\$" <(awk -F'\t' -v s="$schema" -v t="$table" '$1==s && $2==t' "$fixtures/expected/$fdb/columns.tsv"); then
    copy_out "COPY $qualified TO STDOUT" >"$tmp/got.copy"
  fi
  $keep <"$fixtures/expected/$fdb/$file.copy" >"$tmp/want.copy"
  cmp -s "$tmp/got.copy" "$tmp/want.copy" || fail "$db $schema.$table: rows differ"
  psql_in "$db" UTF8 -At -F $'\t' -c "SELECT n.nspname, c.relname, row_number() OVER (ORDER BY a.attnum), a.attname,
      format_type(a.atttypid, a.atttypmod), CASE WHEN a.attnotnull THEN 't' ELSE 'f' END,
      CASE WHEN a.attgenerated = 's' THEN 's' ELSE '-' END
      FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace
      WHERE c.oid = '$qualified'::regclass AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum" >"$tmp/got.cols"
  awk -F'\t' -v s="$schema" -v t="$table" '$1==s && $2==t' "$fixtures/expected/$fdb/columns.tsv" >"$tmp/want.cols"
  cmp -s "$tmp/got.cols" "$tmp/want.cols" || fail "$db $schema.$table: columns differ"
}
restore() { # db fixture-db script
  psql_in "$1" "$(encoding_of "$2")" -f "$3" >/dev/null 2>"$tmp/err" || { fail "restore of $3 into $1: $(head -3 "$tmp/err")"; return 1; }
}

# One table from each kind of dump: dump, fixture database, schema, table, options.
while IFS='|' read -r dump fdb schema table extra; do
  [ -z "$dump" ] && continue
  fresh_db "$fdb"
  # shellcheck disable=SC2086
  "$cli" sql "$fixtures/dumps/$dump" "$schema.$table" --no-owner --no-privileges $extra -o "$tmp/t.sql" ||
    { fail "kalvex-cli sql $dump $schema.$table"; continue; }
  restore "$db" "$fdb" "$tmp/t.sql" && check_table "$db" "$fdb" "$schema" "$table"
done <<'CASES'
kx_main.custom.dump|kx_main|public|escapes|
kx_main.dir|kx_main|public|ident|
kx_main.tar|kx_main|public|types|
kx_main.sql|kx_main|public|orders|
kx_main.inserts.sql|kx_main|public|nulls_empty|
kx_main.column-inserts.sql|kx_main|public|escapes|
kx_main.rows-per-insert-3.sql|kx_main|public|many_rows|
cluster.dumpall.sql|kx_main|public|顧客|--database kx_main
kx_eucjp.custom.dump|kx_eucjp|日本語スキーマ|表|
kx_eucjp.custom-sjis.dump|kx_eucjp|public|商品|
kx_eucjp.sjis.sql|kx_eucjp|public|notes|
kx_latin1.sql|kx_latin1|public|café|
pg18/kx_main.custom-zstd.dump|kx_main|public|simple|
pg18/kx_main.dir-lz4|kx_main|My Schema|t 1|
CASES

# A WHERE filter keeps only its rows, from COPY and INSERT data alike.
for dump in kx_main.custom.dump kx_main.inserts.sql; do
  fresh_db kx_main
  "$cli" sql "$fixtures/dumps/$dump" public.many_rows --where 'n % 100 = 7' -o "$tmp/w.sql" || fail "sql --where $dump"
  restore "$db" kx_main "$tmp/w.sql" &&
    check_table "$db" kx_main public many_rows "awk -F\t \$1%100==7"
done

# The whole dump restores into an empty database as pg_restore restores it.
for dump in kx_main.custom.dump kx_main.sql; do
  fresh_db kx_main
  ref=$db
  fresh_db kx_main
  "$cli" sql "$fixtures/dumps/$dump" -o "$tmp/all.sql" || fail "sql $dump"
  restore "$db" kx_main "$tmp/all.sql" || continue
  as_pg "$PGBIN/pg_restore" -d "$ref" "$fixtures/dumps/kx_main.custom.dump" 2>/dev/null
  while IFS=$'\t' read -r schema table _ _ kind; do
    check_table "$db" kx_main "$schema" "$table"
    q="\"${schema//\"/\"\"}\".\"${table//\"/\"\"}\""
    [ "$(psql_in "$db" UTF8 -c "\\d $q")" = "$(psql_in "$ref" UTF8 -c "\\d $q")" ] ||
      fail "$dump $schema.$table: \\d differs from pg_restore's"
  done <"$fixtures/expected/kx_main/tables.tsv"
  [ "$(psql_in "$db" UTF8 -At -c "SELECT last_value FROM public.ticket_seq")" = 105 ] ||
    fail "$dump: ticket_seq not set"
done

# Definitions only, then data only on top of them.
fresh_db kx_main
"$cli" sql "$fixtures/dumps/kx_main.custom.dump" public.simple --schema-only -o "$tmp/s.sql" &&
  "$cli" sql "$fixtures/dumps/kx_main.custom.dump" public.simple --data-only -o "$tmp/d.sql" || fail "sql -s/-a"
grep -q '^COPY' "$tmp/s.sql" && fail "--schema-only wrote data"
grep -q '^CREATE' "$tmp/d.sql" && fail "--data-only wrote definitions"
restore "$db" kx_main "$tmp/s.sql" && restore "$db" kx_main "$tmp/d.sql" && check_table "$db" kx_main public simple

[ "$failures" -eq 0 ] && echo "all restores match" && exit 0
echo "$failures failures"
exit 1
