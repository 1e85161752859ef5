#!/usr/bin/env bash
# Builds the test dumps under tests/fixtures/dumps and the data PostgreSQL itself
# reports for them under tests/fixtures/expected, from a throw-away cluster.
#
#   scripts/make_fixtures.sh
#
# Environment: KX_FIXTURE_PORT (default 54329) picks the private port,
# PGBIN the folder holding initdb/pg_ctl/pg_dump/psql (default: newest under
# /usr/lib/postgresql).
#
# KX_PG18_BIN names a folder with PostgreSQL 18's pg_dump, pg_restore and pg_dumpall
# (../shared/tools/build-pg-dump-18.sh builds them): they dump the same cluster into
# dumps/pg18/ (lz4, zstd, tar, archive version 1.16). With KX_FIXTURES_ONLY=pg18 only
# dumps/pg18/ and expected/pg18/ are replaced, after checking that the expected data of
# this run equals the committed one; the older dumps stay as they are.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -x "$root/scripts/install-deps.sh" ]; then
  "$root/scripts/install-deps.sh"
fi

export TZ=UTC LC_ALL=C.UTF-8
unset PGDATABASE PGUSER PGHOST PGPORT PGOPTIONS PGCLIENTENCODING PGSERVICE PGPASSWORD || true

port=${KX_FIXTURE_PORT:-54329}
if [ -z "${PGBIN:-}" ]; then
  PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
fi
if [ -z "$PGBIN" ] || [ ! -x "$PGBIN/initdb" ]; then
  echo "make_fixtures: no PostgreSQL server binaries found (set PGBIN)" >&2
  exit 1
fi

fixtures="$root/tests/fixtures"
pg18=${KX_PG18_BIN:-}
only=${KX_FIXTURES_ONLY:-}
if [ -n "$pg18" ] && [ ! -x "$pg18/pg_dump" ]; then
  echo "make_fixtures: no pg_dump in KX_PG18_BIN=$pg18" >&2
  exit 1
fi
if [ -n "$only" ] && { [ "$only" != pg18 ] || [ -z "$pg18" ]; }; then
  echo "make_fixtures: KX_FIXTURES_ONLY=pg18 needs KX_PG18_BIN" >&2
  exit 1
fi
tmp=$(mktemp -d /tmp/kx-fixtures.XXXXXX)
data="$tmp/data"
sock="$tmp/sock"
out="$tmp/out"

cleanup() {
  if [ -f "$data/postmaster.pid" ]; then
    as_pg "$PGBIN/pg_ctl" -D "$data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The server refuses to run as root, so everything that touches the cluster runs as
# postgres; as an ordinary user we simply run as ourselves.
if [ "$(id -u)" -eq 0 ]; then
  chown postgres: "$tmp"
  run_as=(runuser -u postgres --)
else
  run_as=()
fi
as_pg() {
  (cd "$tmp" && "${run_as[@]}" env TZ=UTC LC_ALL=C.UTF-8 PGHOST="$sock" PGPORT="$port" \
    PGUSER=postgres "$@")
}
# pg_dump pins these for its own session; the oracle queries must print values the same way.
oracle_opts='-c datestyle=ISO -c intervalstyle=postgres -c extra_float_digits=3 -c timezone=UTC -c bytea_output=hex'
psql_in() { # db client-encoding [psql args...]
  local db=$1 enc=$2
  shift 2
  as_pg env PGCLIENTENCODING="$enc" PGOPTIONS="$oracle_opts" \
    "$PGBIN/psql" -X -q -v ON_ERROR_STOP=1 -d "$db" "$@"
}

as_pg mkdir -p "$sock" "$out/dumps" "$out/expected"
as_pg "$PGBIN/initdb" -D "$data" --encoding=UTF8 --locale=C -A trust -U postgres \
  --no-sync >/dev/null
cat >>"$data/postgresql.conf" <<EOF
listen_addresses = ''
port = $port
unix_socket_directories = '$sock'
fsync = off
synchronous_commit = off
full_page_writes = off
EOF
as_pg "$PGBIN/pg_ctl" -D "$data" -l "$tmp/server.log" -w start >/dev/null

# ---------------------------------------------------------------------------
# Databases
# ---------------------------------------------------------------------------
psql_in postgres UTF8 <<'SQL'
CREATE DATABASE kx_main;
CREATE DATABASE kx_eucjp ENCODING 'EUC_JP' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C';
CREATE DATABASE kx_latin1 ENCODING 'LATIN1' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C';
SQL

psql_in kx_main UTF8 >/dev/null <<'SQL'
CREATE SCHEMA sales;
CREATE SCHEMA "My Schema";

CREATE TABLE public.simple (
    id integer PRIMARY KEY,
    name text NOT NULL,
    price numeric(10,2) DEFAULT 0,
    flag boolean,
    created timestamp without time zone,
    note character varying(20) COLLATE "C",
    status text DEFAULT 'NOT NULL'
);
INSERT INTO public.simple VALUES
    (1, 'apple', 1.50, true, '2024-01-02 03:04:05', 'red', 'NOT NULL'),
    (2, 'banana', 0.25, false, '2024-02-29 23:59:59.123456', 'yellow', 'ok'),
    (3, 'cherry', NULL, NULL, NULL, NULL, NULL),
    (4, 'date', 12345678.99, true, '1999-12-31 00:00:00', '', 'NOT NULL'),
    (5, 'elderberry', -3.00, false, '2000-01-01 12:00:00', 'purple', DEFAULT),
    (6, '', 0, true, 'infinity', 'empty name', 'x'),
    (7, 'fig', DEFAULT, NULL, '-infinity', 'NULL', 'NULL'),
    (8, 'grape', 2.00, true, '2024-06-15 08:30:00', 'green', NULL),
    (9, 'honeydew melon', 4.75, false, '2023-11-05 17:45:30.5', 'a note of 20 chars!!', 'NOT NULL'),
    (10, 'kiwi', 0.99, NULL, '2024-12-24 18:00:00', NULL, '');

CREATE TABLE public.nulls_empty (id integer, label text, val text, vc character varying(10));
INSERT INTO public.nulls_empty VALUES
    (1, 'sql null', NULL, NULL),
    (2, 'empty string', '', ''),
    (3, 'backslash N text', E'\\N', E'\\N'),
    (4, 'NULL text', 'NULL', 'NULL'),
    (5, 'null text lower', 'null', 'null'),
    (6, 'single space', ' ', ' '),
    (7, 'two backslashes N', E'\\\\N', E'\\\\N'),
    (NULL, NULL, NULL, NULL);

CREATE TABLE public.escapes (id integer, label text, val text);
INSERT INTO public.escapes VALUES
    (1, 'tab', E'a\tb'),
    (2, 'lf', E'line1\nline2'),
    (3, 'cr', E'a\rb'),
    (4, 'crlf', E'a\r\nb'),
    (5, 'backslash', E'C:\\path\\file'),
    (6, 'backslash N inside', E'x\\Ny'),
    (7, 'trailing backslash', E'end\\'),
    (8, 'form feed', E'a\fb'),
    (9, 'vertical tab', E'a\x0bb'),
    (10, 'backspace', E'a\bb'),
    (11, 'control 0x01', E'a\x01b'),
    (12, 'japanese', '日本語のテキスト'),
    (13, 'emoji non-BMP', 'smile 😀 end'),
    (14, 'latin accents', 'café naïve'),
    (15, 'end-of-data marker', E'\\.'),
    (16, 'leading and trailing newline', E'\nmiddle\n'),
    (17, 'only a tab', E'\t'),
    (18, 'long', repeat('0123456789abcdefghijklmnopqrstuvwxyz ', 135) || 'ünïcode end'),
    (19, 'DEL 0x7f', E'a\x7fb'),
    (20, 'quotes', E'single '' double " backtick `');

CREATE TABLE public."顧客" (
    "顧客ID" integer PRIMARY KEY,
    "氏名" text NOT NULL,
    "住所" text,
    "電話番号" character varying(20)
);
INSERT INTO public."顧客" VALUES
    (1, '山田 太郎', '東京都千代田区1-1', '03-1234-5678'),
    (2, '鈴木 花子', '大阪府大阪市北区2-2', NULL),
    (3, 'ｶﾀｶﾅ ﾊﾝｶｸ', 'ソフト表示能力十分予定', '090-0000-0000');

CREATE TABLE public."Mixed Case" ("Id" integer, "Value Text" text, lower_col text);
INSERT INTO public."Mixed Case" VALUES (1, 'A', 'a'), (2, 'B', NULL);

CREATE TABLE public."with ""quote""" (
    id integer,
    "select" text,
    "has space" text,
    "MiXeD" integer,
    "a""b" text
);
INSERT INTO public."with ""quote""" VALUES (1, 'sel', 'spaced', 42, 'q"q'), (2, NULL, '', -1, NULL);

CREATE TABLE public.items (id integer PRIMARY KEY, name text);
INSERT INTO public.items VALUES (1, 'public one'), (2, 'public two');
CREATE TABLE sales.items (item_no integer, amount numeric(12,3), sold_on date, region text);
INSERT INTO sales.items VALUES
    (100, 12.5, '2024-03-01', 'north'),
    (101, 0.001, '2024-03-02', NULL),
    (102, -7, NULL, 'south');
CREATE TABLE "My Schema"."t 1" ("col 1" integer, "Col""2" text);
INSERT INTO "My Schema"."t 1" VALUES (1, 'x'), (2, 'y z');

CREATE TABLE public.empty_table (id integer, t text);

CREATE TABLE public.many_rows (n integer, label text);
INSERT INTO public.many_rows SELECT i, 'row ' || i FROM generate_series(1, 1500) AS i;

CREATE TABLE public.types (
    id integer PRIMARY KEY,
    ints integer[],
    texts text[],
    j json,
    jb jsonb,
    b bytea,
    d date,
    iv interval,
    f double precision,
    u uuid,
    ts timestamp with time zone,
    doubled integer GENERATED ALWAYS AS (id * 2) STORED
);
INSERT INTO public.types (id, ints, texts, j, jb, b, d, iv, f, u, ts) VALUES
    (1, '{1,2,3}', ARRAY['a,b', 'say "hi"', NULL, E'back\\slash', '', 'NULL'],
     '{"k": "v", "n": [1, 2]}', '{"k": "v", "n": [1, 2]}', '\x00ff5c0a', '2024-02-29',
     '1 year 2 mons 3 days 04:05:06.789', 'NaN', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11',
     '2024-01-01 00:00:00+00'),
    (2, '{}', '{}', E'{"text": "line\\nbreak", "jp": "日本"}', '{"b": true, "a": null}',
     '', 'infinity', '-1 days', 'Infinity', NULL, '1999-12-31 23:59:59.999+09'),
    (3, '{{1,2},{3,4}}', ARRAY['{braces}', E'tab\there', 'ünï'], E'{\n  "pretty": 1\n}', '[]',
     decode('deadbeef', 'hex'), '0044-03-15 BC', '00:00:00.000001', '-Infinity', NULL, NULL),
    (4, '{1,NULL,3}', NULL, NULL, NULL, NULL, NULL, NULL, 0.1, NULL, NULL),
    (5, NULL, ARRAY['x'], 'null', '"just a string"', '\x5c', '1970-01-01', '0', '-0',
     '00000000-0000-0000-0000-000000000000', 'infinity');

CREATE TABLE public.ident (
    id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    label text,
    big bigint GENERATED BY DEFAULT AS IDENTITY (START WITH 1000)
);
INSERT INTO public.ident (label) VALUES ('first'), ('second'), ('third');

-- Column order and the COPY list no longer match the original CREATE.
CREATE TABLE public.altered (a integer, b text, c integer);
INSERT INTO public.altered VALUES (1, 'gone', 10), (2, 'gone too', 20);
ALTER TABLE public.altered DROP COLUMN b;
ALTER TABLE public.altered ADD COLUMN d text DEFAULT 'added';
ALTER TABLE public.altered ADD COLUMN b text;
INSERT INTO public.altered (a, c, d, b) VALUES (3, 30, 'new', 'back again');

CREATE TABLE public.parent_t (id integer, name text);
CREATE TABLE public.child_t (extra text) INHERITS (public.parent_t);
INSERT INTO public.parent_t VALUES (1, 'parent row');
INSERT INTO public.child_t VALUES (2, 'child row', 'extra!'), (3, 'child two', NULL);

CREATE TABLE public.measurements (id integer, region text NOT NULL, reading numeric)
    PARTITION BY LIST (region);
CREATE TABLE public.measurements_east PARTITION OF public.measurements FOR VALUES IN ('east');
CREATE TABLE public.measurements_west PARTITION OF public.measurements FOR VALUES IN ('west');
INSERT INTO public.measurements VALUES (1, 'east', 1.5), (2, 'west', 2.5), (3, 'east', 3.5);

CREATE UNLOGGED TABLE public.scratch (k text, v integer);
INSERT INTO public.scratch VALUES ('a', 1), ('b', 2);

CREATE VIEW public.cheap_items AS SELECT id, name, price FROM public.simple WHERE price < 1;
CREATE MATERIALIZED VIEW public.price_summary AS
    SELECT flag, count(*) AS n, sum(price) AS total
    FROM public.simple GROUP BY flag ORDER BY flag NULLS LAST
    WITH DATA;

CREATE INDEX simple_name_idx ON public.simple (name);
CREATE TABLE public.orders (
    order_id serial PRIMARY KEY,
    simple_id integer NOT NULL REFERENCES public.simple (id),
    qty integer CHECK (qty > 0)
);
INSERT INTO public.orders (simple_id, qty) VALUES (1, 3), (2, 1), (1, 7);

CREATE SEQUENCE public.ticket_seq START 100 INCREMENT 5;
SELECT nextval('public.ticket_seq');
SELECT nextval('public.ticket_seq');

COMMENT ON TABLE public.simple IS 'Fruit; with a semicolon and ''quotes''';
COMMENT ON COLUMN public.simple.price IS 'Price in € (euro)';
COMMENT ON COLUMN public."顧客"."氏名" IS '顧客の氏名';

CREATE FUNCTION public.add_one(i integer) RETURNS integer
    LANGUAGE sql IMMUTABLE AS $$ SELECT i + 1; $$;
CREATE FUNCTION public.greet(who text) RETURNS text LANGUAGE plpgsql AS $body$
BEGIN
    -- a semicolon; a nested tag; and a bare $$ inside it
    RETURN 'Hello; ' || who || $inner$; it's "quoted" $$ here$inner$;
END;
$body$;

SELECT lo_from_bytea(424242,
    convert_to(E'Large object payload; line 1\nライン 2\n', 'UTF8') || '\x00ff'::bytea);
COMMENT ON LARGE OBJECT 424242 IS 'a fixture blob';
SQL

# Written in UTF-8; the server converts to EUC_JP. ソ 表 能 十 予 all have 0x5C as the
# second byte in Shift_JIS, which is what makes -E SJIS output hard to split on '\'.
psql_in kx_eucjp UTF8 >/dev/null <<'SQL'
CREATE TABLE public."商品" (
    "品番" integer PRIMARY KEY,
    "品名" text NOT NULL,
    "説明" text,
    "価格" integer
);
INSERT INTO public."商品" VALUES
    (1, 'ソフトウェア', '表示能力が十分です', 1000),
    (2, '予定表', E'十行\tタブ', NULL),
    (3, 'ｿﾌﾄｳｪｱ', 'ﾊﾝｶｸｶﾀｶﾅ', 500),
    (4, 'ASCII name', E'C:\\ソフト\\表', 0),
    (5, '空', '', NULL);

CREATE TABLE public.notes (id integer, body text);
INSERT INTO public.notes VALUES
    (1, '能'),
    (2, E'ソ\\'),
    (3, NULL),
    (4, '全角　スペース'),
    (5, E'改行\n後'),
    (6, 'ｱｲｳｴｵ ﾞﾟ'),
    (7, '十予表能ソ');

CREATE SCHEMA "日本語スキーマ";
CREATE TABLE "日本語スキーマ"."表" ("列" text, "番号" integer);
INSERT INTO "日本語スキーマ"."表" VALUES ('表', 1), ('十', 2), (NULL, 3);
COMMENT ON TABLE "日本語スキーマ"."表" IS '表の説明';
SQL

psql_in kx_latin1 UTF8 >/dev/null <<'SQL'
CREATE TABLE public."café" ("señal" text, "größe" integer, "prix ¤" text);
INSERT INTO public."café" VALUES
    ('niño', 1, '¤ 5'),
    ('Straße', 2, 'é'),
    ('ÿ þ ð ©®', 3, E'tab\there'),
    ('£ ¥ § ¶ ½ ¾', 4, NULL),
    ('àáâãäå ÀÉÎÕÜ', 5, ''),
    (E'back\\slash «»', 6, 'nbsp' || chr(160) || 'here');
CREATE TABLE public.plain_ascii (id integer, word text);
INSERT INTO public.plain_ascii VALUES (1, 'hello'), (2, NULL);
SQL

# ---------------------------------------------------------------------------
# Dumps
# ---------------------------------------------------------------------------
d="$out/dumps"
manifest="$out/expected/dumps.tsv"
printf 'file\tdatabase\tformat\tcompression\tencoding\tcontent\trows\n' | as_pg tee "$manifest" >/dev/null
note() { printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$@" | as_pg tee -a "$manifest" >/dev/null; }
dump() { as_pg "$PGBIN/pg_dump" "$@"; }

dump -Fc -d kx_main -f "$d/kx_main.custom.dump"
note kx_main.custom.dump kx_main custom gzip UTF8 all copy
dump -Fc -Z0 -d kx_main -f "$d/kx_main.custom-z0.dump"
note kx_main.custom-z0.dump kx_main custom none UTF8 all copy
# Written to a pipe pg_dump cannot seek back to fill in the data offsets.
dump -Fc -d kx_main | as_pg tee "$d/kx_main.custom-pipe.dump" >/dev/null
note kx_main.custom-pipe.dump kx_main custom gzip UTF8 all copy
dump -Fc -s -d kx_main -f "$d/kx_main.custom-schema.dump"
note kx_main.custom-schema.dump kx_main custom gzip UTF8 schema none
dump -Fc -a -d kx_main -f "$d/kx_main.custom-data.dump"
note kx_main.custom-data.dump kx_main custom gzip UTF8 data copy
dump -Fc -d kx_eucjp -f "$d/kx_eucjp.custom.dump"
note kx_eucjp.custom.dump kx_eucjp custom gzip EUC_JP all copy
dump -Fc -E SJIS -d kx_eucjp -f "$d/kx_eucjp.custom-sjis.dump"
note kx_eucjp.custom-sjis.dump kx_eucjp custom gzip SJIS all copy
dump -Fc -d kx_latin1 -f "$d/kx_latin1.custom.dump"
note kx_latin1.custom.dump kx_latin1 custom gzip LATIN1 all copy

dump -Fd -d kx_main -f "$d/kx_main.dir"
note kx_main.dir kx_main directory gzip UTF8 all copy
dump -Fd -Z0 -d kx_main -f "$d/kx_main.dir-z0"
note kx_main.dir-z0 kx_main directory none UTF8 all copy

dump -Fp -d kx_main -f "$d/kx_main.sql"
note kx_main.sql kx_main plain none UTF8 all copy
dump -Fp -Z6 -d kx_main -f "$d/kx_main.sql.gz"
note kx_main.sql.gz kx_main plain gzip UTF8 all copy
dump -Fp -d kx_main | gzip -9n | as_pg tee "$d/kx_main.gzip9.sql.gz" >/dev/null
note kx_main.gzip9.sql.gz kx_main plain gzip UTF8 all copy
dump -Fp --inserts -d kx_main -f "$d/kx_main.inserts.sql"
note kx_main.inserts.sql kx_main plain none UTF8 all inserts
dump -Fp --column-inserts -d kx_main -f "$d/kx_main.column-inserts.sql"
note kx_main.column-inserts.sql kx_main plain none UTF8 all column-inserts
dump -Fp --rows-per-insert=3 -d kx_main -f "$d/kx_main.rows-per-insert-3.sql"
note kx_main.rows-per-insert-3.sql kx_main plain none UTF8 all inserts-3
dump -Fp -d kx_eucjp -f "$d/kx_eucjp.sql"
note kx_eucjp.sql kx_eucjp plain none EUC_JP all copy
dump -Fp -E SJIS -d kx_eucjp -f "$d/kx_eucjp.sjis.sql"
note kx_eucjp.sjis.sql kx_eucjp plain none SJIS all copy
dump -Fp -d kx_latin1 -f "$d/kx_latin1.sql"
note kx_latin1.sql kx_latin1 plain none LATIN1 all copy

as_pg "$PGBIN/pg_dumpall" -f "$d/cluster.dumpall.sql"
note cluster.dumpall.sql cluster plain none mixed all copy
as_pg "$PGBIN/pg_dumpall" | gzip -9n | as_pg tee "$d/cluster.dumpall.sql.gz" >/dev/null
note cluster.dumpall.sql.gz cluster plain gzip mixed all copy

dump -Ft -d kx_main -f "$d/kx_main.tar"
note kx_main.tar kx_main tar none UTF8 all copy

# PostgreSQL 18's tools against the same server: archive version 1.16, the compression
# byte, lz4 and zstd everywhere pg_dump offers them, and its tar format.
if [ -n "$pg18" ]; then
  d18="$d/pg18"
  manifest18="$out/expected/pg18/dumps.tsv"
  as_pg mkdir -p "$d18" "$out/expected/pg18"
  printf 'file\tdatabase\tformat\tcompression\tencoding\tcontent\trows\n' |
    as_pg tee "$manifest18" >/dev/null
  note18() { printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$@" | as_pg tee -a "$manifest18" >/dev/null; }
  dump18() { as_pg "$pg18/pg_dump" "$@"; }

  for z in gzip none lz4; do
    dump18 -Fc -Z "$z" -d kx_main -f "$d18/kx_main.custom-$z.dump"
    note18 "kx_main.custom-$z.dump" kx_main custom "$z" UTF8 all copy
  done
  # With the planner statistics: STATISTICS DATA entries sit among the table data.
  dump18 -Fc -Z zstd --statistics -d kx_main -f "$d18/kx_main.custom-zstd.dump"
  note18 kx_main.custom-zstd.dump kx_main custom zstd UTF8 all copy
  dump18 -Fc -Z zstd -d kx_main | as_pg tee "$d18/kx_main.custom-zstd-pipe.dump" >/dev/null
  note18 kx_main.custom-zstd-pipe.dump kx_main custom zstd UTF8 all copy
  for z in lz4 zstd; do
    dump18 -Fd -Z "$z" -d kx_main -f "$d18/kx_main.dir-$z"
    note18 "kx_main.dir-$z" kx_main directory "$z" UTF8 all copy
  done
  dump18 -Fp -Z lz4 -d kx_main -f "$d18/kx_main.sql.lz4"
  note18 kx_main.sql.lz4 kx_main plain lz4 UTF8 all copy
  dump18 -Fp -Z zstd -d kx_main -f "$d18/kx_main.sql.zst"
  note18 kx_main.sql.zst kx_main plain zstd UTF8 all copy
  # pg_dumpall writes no compressed output of its own.
  as_pg "$pg18/pg_dumpall" | zstd -q -19 | as_pg tee "$d18/cluster.dumpall.sql.zst" >/dev/null
  note18 cluster.dumpall.sql.zst cluster plain zstd mixed all copy
  dump18 -Ft -d kx_main -f "$d18/kx_main.tar"
  note18 kx_main.tar kx_main tar none UTF8 all copy
  as_pg "$pg18/pg_dump" --version | as_pg tee "$out/expected/pg18/versions.txt" >/dev/null
fi

# ---------------------------------------------------------------------------
# Expected data, straight from the server
# ---------------------------------------------------------------------------
# Every relation whose rows a dump can carry: plain tables (logged or not, inheritance
# children, partitions) and materialized views. Partitioned parents hold no rows.
rels_sql="
  FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
  WHERE c.relkind IN ('r', 'm')
    AND n.nspname NOT IN ('pg_catalog', 'information_schema')
    AND n.nspname NOT LIKE 'pg\\_%'"

expect_db() { # db encoding
  local db=$1 enc=$2 e="$out/expected/$1"
  as_pg mkdir -p "$e"

  psql_in "$db" UTF8 -At -F $'\t' -c "
    SELECT n.nspname, c.relname,
           (xpath('/row/n/text()', query_to_xml(
               format('SELECT count(*) AS n FROM ONLY %I.%I', n.nspname, c.relname),
               false, true, '')))[1]::text,
           encode(convert_to(n.nspname || '.' || c.relname, 'UTF8'), 'hex'),
           CASE WHEN c.relkind = 'm' THEN 'matview'
                WHEN c.relispartition THEN 'partition'
                WHEN EXISTS (SELECT 1 FROM pg_inherits i WHERE i.inhrelid = c.oid) THEN 'inherits'
                WHEN c.relpersistence = 'u' THEN 'unlogged'
                ELSE 'table' END
    $rels_sql" | LC_ALL=C sort -t $'\t' -k1,1 -k2,2 | as_pg tee "$e/tables.tsv" >/dev/null

  psql_in "$db" UTF8 -At -F $'\t' -c "
    SELECT n.nspname, c.relname,
           row_number() OVER (PARTITION BY c.oid ORDER BY a.attnum),
           a.attname, format_type(a.atttypid, a.atttypmod),
           CASE WHEN a.attnotnull THEN 't' ELSE 'f' END,
           CASE WHEN a.attgenerated = 's' THEN 's' ELSE '-' END
    FROM pg_attribute a
    JOIN (SELECT c.oid, c.relname, n.nspname $rels_sql) r ON a.attrelid = r.oid
    JOIN pg_class c ON c.oid = r.oid JOIN pg_namespace n ON n.oid = c.relnamespace
    WHERE a.attnum > 0 AND NOT a.attisdropped" \
    | LC_ALL=C sort -t $'\t' -k1,1 -k2,2 -k3,3n | as_pg tee "$e/columns.tsv" >/dev/null

  # What pg_dump's setval() calls carry: last_value and is_called.
  psql_in "$db" UTF8 -At -F $'\t' -c "
    SELECT n.nspname, c.relname,
           (xpath('/row/v/text()', q))[1]::text, (xpath('/row/c/text()', q))[1]::text
    FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace,
         LATERAL query_to_xml(format('SELECT last_value AS v, is_called AS c FROM %I.%I',
                                     n.nspname, c.relname), false, true, '') AS q
    WHERE c.relkind = 'S'" | LC_ALL=C sort -t $'\t' -k1,1 -k2,2 \
    | as_pg tee "$e/sequences.tsv" >/dev/null

  psql_in "$db" UTF8 -At -F $'\t' -c "
    SELECT oid, encode(lo_get(oid), 'hex') FROM pg_largeobject_metadata ORDER BY oid" \
    | as_pg tee "$e/largeobjects.tsv" >/dev/null

  # The COPY text is taken in the dump's client encoding; the server writes the psql
  # script itself (by oid) so names reach psql already in that encoding.
  copy_script() { # client-encoding folder with-cells
    psql_in "$db" "$1" -At -c "
      SELECT format(E'\\\\o %s/%s.copy\\n', '$2',
                    encode(convert_to(n.nspname || '.' || c.relname, 'UTF8'), 'hex'))
          || CASE WHEN c.relkind = 'm'
                  THEN format(E'COPY (SELECT * FROM %I.%I) TO STDOUT;\\n', n.nspname, c.relname)
                  ELSE format(E'COPY %I.%I TO STDOUT;\\n', n.nspname, c.relname) END
          || CASE WHEN $3 THEN
               format(E'\\\\o %s/%s.cells\\n', '$2',
                      encode(convert_to(n.nspname || '.' || c.relname, 'UTF8'), 'hex'))
               || format(E'COPY (SELECT %s FROM ONLY %I.%I) TO STDOUT;\\n',
                    (SELECT string_agg(format(
                         'CASE WHEN %1\$I IS NULL THEN ''-'' '
                         'ELSE encode(convert_to(format(''%%s'', %1\$I), ''UTF8''), ''hex'') END',
                         a.attname), ', ' ORDER BY a.attnum)
                     FROM pg_attribute a
                     WHERE a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
                       AND a.attgenerated = ''),
                    n.nspname, c.relname)
             ELSE '' END
      $rels_sql"
  }
  copy_script "$enc" "$e" true | psql_in "$db" "$enc"
  if [ "$enc" = EUC_JP ]; then
    as_pg mkdir -p "$e/sjis"
    copy_script SJIS "$e/sjis" false | psql_in "$db" SJIS
  fi

  # Cheap self-checks: one text line per row everywhere.
  local schema table count file kind
  while IFS=$'\t' read -r schema table count file kind; do
    for f in "$e/$file.copy" "$e/$file.cells"; do
      if [ "$(wc -l <"$f")" -ne "$count" ]; then
        echo "make_fixtures: $f has $(wc -l <"$f") lines, expected $count" >&2
        exit 1
      fi
    done
  done <"$e/tables.tsv"
}

expect_db kx_main UTF8
expect_db kx_eucjp EUC_JP
expect_db kx_latin1 LATIN1

as_pg "$PGBIN/pg_dump" --version | as_pg tee "$out/expected/versions.txt" >/dev/null
as_pg "$PGBIN/psql" -X -At -d postgres -c 'SELECT version()' | as_pg tee -a "$out/expected/versions.txt" >/dev/null

# ---------------------------------------------------------------------------
# Cross-check: the rows each dump stores must equal the expected .copy bytes.
# ---------------------------------------------------------------------------
iconv_to() { # encoding text
  case $1 in
    UTF8) printf '%s' "$2" ;;
    EUC_JP) printf '%s' "$2" | iconv -f UTF-8 -t EUC-JP ;;
    SJIS) printf '%s' "$2" | iconv -f UTF-8 -t CP932 ;;
    LATIN1) printf '%s' "$2" | iconv -f UTF-8 -t LATIN1 ;;
  esac
}
# Prints the rows of the COPY block that starts with the exact line $KX_HEADER.
copy_block() {
  LC_ALL=C awk 'on && $0 == "\\." { exit } on { print } $0 == ENVIRON["KX_HEADER"] { on = 1 }'
}
# The COPY line each table's rows start under, as pg_restore prints it for one table.
# Readers here consume all their input: runuser reports a child killed by SIGPIPE.
headers() { # db encoding -> file<TAB>header lines, cached
  local db=$1 enc=$2 cache="$tmp/headers.$1.$2" schema table count file kind
  if [ ! -f "$cache" ]; then
    while IFS=$'\t' read -r schema table count file kind; do
      [ "$kind" = matview ] && continue
      printf '%s\t' "$file"
      as_pg "$PGBIN/pg_restore" -a -n "$(iconv_to "$enc" "$schema")" \
        -t "$(iconv_to "$enc" "$table")" -f - \
        "$d/$db.custom$([ "$enc" = SJIS ] && echo -sjis).dump" \
        | LC_ALL=C awk '/^COPY .* FROM stdin;$/ && !n++ { print }'
    done <"$out/expected/$db/tables.tsv" >"$cache"
  fi
  cat "$cache"
}
check_dump() { # dump db encoding expected-folder reader
  local dump=$1 db=$2 enc=$3 e=$4 reader=$5 text="$tmp/check.sql" file header
  case $reader in
    restore) as_pg "$PGBIN/pg_restore" -a -f - "$dump" >"$text" ;;
    restore18) as_pg "$pg18/pg_restore" -a -f - "$dump" >"$text" ;;
    cat) cat "$dump" >"$text" ;;
    zcat) gzip -dc "$dump" >"$text" ;;
    lz4cat) lz4 -dc "$dump" >"$text" ;;
    zstdcat) zstd -dcq "$dump" >"$text" ;;
  esac
  while IFS=$'\t' read -r file header; do
    if [ -z "$header" ]; then
      echo "make_fixtures: pg_restore found no COPY block for $file" >&2
      exit 1
    fi
    if ! KX_HEADER=$header copy_block <"$text" | cmp -s - "$e/$file.copy"; then
      echo "make_fixtures: $(basename "$dump"): rows under '$header' differ from $file.copy" >&2
      exit 1
    fi
  done < <(headers "$db" "$enc")
}
for f in kx_main.custom.dump kx_main.custom-z0.dump kx_main.custom-pipe.dump \
         kx_main.custom-data.dump kx_main.dir kx_main.dir-z0 kx_main.tar; do
  check_dump "$d/$f" kx_main UTF8 "$out/expected/kx_main" restore
done
check_dump "$d/kx_main.sql" kx_main UTF8 "$out/expected/kx_main" cat
check_dump "$d/kx_main.sql.gz" kx_main UTF8 "$out/expected/kx_main" zcat
check_dump "$d/kx_main.gzip9.sql.gz" kx_main UTF8 "$out/expected/kx_main" zcat
check_dump "$d/kx_eucjp.custom.dump" kx_eucjp EUC_JP "$out/expected/kx_eucjp" restore
check_dump "$d/kx_eucjp.sql" kx_eucjp EUC_JP "$out/expected/kx_eucjp" cat
check_dump "$d/kx_eucjp.custom-sjis.dump" kx_eucjp SJIS "$out/expected/kx_eucjp/sjis" restore
check_dump "$d/kx_eucjp.sjis.sql" kx_eucjp SJIS "$out/expected/kx_eucjp/sjis" cat
check_dump "$d/kx_latin1.custom.dump" kx_latin1 LATIN1 "$out/expected/kx_latin1" restore
check_dump "$d/kx_latin1.sql" kx_latin1 LATIN1 "$out/expected/kx_latin1" cat
for db in kx_main:UTF8 kx_eucjp:EUC_JP kx_latin1:LATIN1; do
  check_dump "$d/cluster.dumpall.sql" "${db%%:*}" "${db#*:}" "$out/expected/${db%%:*}" cat
  check_dump "$d/cluster.dumpall.sql.gz" "${db%%:*}" "${db#*:}" "$out/expected/${db%%:*}" zcat
done
if [ -n "$pg18" ]; then
  # pg_restore 18 is the reference for what each new dump holds: its COPY text of every
  # table must be the psql bytes the tests compare the reader's output with.
  while IFS=$'\t' read -r f db format compression enc content rows; do
    [ "$f" = file ] && continue
    case $format:$compression in
      plain:lz4) reader=lz4cat ;;
      plain:zstd) reader=zstdcat ;;
      plain:*) reader=cat ;;
      *) reader=restore18 ;;
    esac
    if [ "$db" = cluster ]; then
      for x in kx_main:UTF8 kx_eucjp:EUC_JP kx_latin1:LATIN1; do
        check_dump "$d/pg18/$f" "${x%%:*}" "${x#*:}" "$out/expected/${x%%:*}" "$reader"
      done
    else
      check_dump "$d/pg18/$f" "$db" "$enc" "$out/expected/$db" "$reader"
    fi
  done <"$out/expected/pg18/dumps.tsv"
fi
if [ "$(as_pg "$PGBIN/pg_restore" -f - "$d/kx_main.custom-schema.dump" | grep -c 'FROM stdin;$')" -ne 0 ]; then
  echo "make_fixtures: the schema-only dump carries data" >&2
  exit 1
fi

as_pg "$PGBIN/pg_ctl" -D "$data" -m fast -w stop >/dev/null

# ---------------------------------------------------------------------------
# Install the results
# ---------------------------------------------------------------------------
if [ "$only" = pg18 ]; then
  # The new dumps are checked against the committed expected data: it must still hold.
  for db in kx_main kx_eucjp kx_latin1; do
    if ! diff -r "$out/expected/$db" "$fixtures/expected/$db" >/dev/null; then
      echo "make_fixtures: expected/$db differs from the committed one; run without KX_FIXTURES_ONLY" >&2
      exit 1
    fi
  done
  rm -rf "$fixtures/dumps/pg18" "$fixtures/expected/pg18"
  cp -R "$out/dumps/pg18" "$fixtures/dumps/pg18"
  cp -R "$out/expected/pg18" "$fixtures/expected/pg18"
  installed=("$fixtures/dumps/pg18" "$fixtures/expected/pg18")
else
  rm -rf "$fixtures/dumps" "$fixtures/expected"
  mkdir -p "$fixtures" "$root/examples"
  cp -R "$out/dumps" "$out/expected" "$fixtures/"
  cp "$out/dumps/kx_main.custom.dump" "$root/examples/sample.dump"
  installed=("$fixtures/dumps" "$fixtures/expected" "$root/examples/sample.dump")
fi
# pg_dump makes directory dumps private (0700/0600); checkouts should not differ by who ran this.
chmod -R u+rwX,go+rX,go-w "${installed[@]}"
if [ "$(id -u)" -eq 0 ]; then
  owner=$(stat -c %u:%g "$root")
  chown -R "$owner" "${installed[@]}"
fi
echo "make_fixtures: wrote $(du -sh "$fixtures" | cut -f1) to $fixtures"
