# shellcheck shell=bash
# A throw-away PostgreSQL cluster for the benchmarks, on its own port and socket folder.
# Sourced by scripts/bench.sh and scripts/bench_export.sh; needs PGBIN.
#
#   cluster_start DIR PORT   initdb in DIR/data, socket in DIR/sock, start the server
#   as_pg CMD...             run CMD as the server's user, in DIR, with PGHOST/PGPORT/PGUSER
#   psql_in ARGS...          psql through as_pg, stopping on the first error
#   cluster_stop [MODE]      pg_ctl stop (fast by default) when the server runs
#
# The caller owns DIR (mktemp -d), deletes it and calls cluster_stop from its trap.

cl_dir='' cl_data='' cl_sock='' cl_port=''
cl_run_as=()

as_pg() {
  (cd "$cl_dir" && "${cl_run_as[@]}" env TZ=UTC LC_ALL=C.UTF-8 PGHOST="$cl_sock" \
    PGPORT="$cl_port" PGUSER=postgres "$@")
}
psql_in() { as_pg "$PGBIN/psql" -X -q -v ON_ERROR_STOP=1 "$@"; }

cluster_start() {
  cl_dir=$1 cl_data=$1/data cl_sock=$1/sock cl_port=$2
  # The server refuses to run as root; as an ordinary user we run as ourselves.
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$cl_dir"
    cl_run_as=(runuser -u postgres --)
  else
    cl_run_as=()
  fi
  as_pg mkdir -p "$cl_sock"
  as_pg "$PGBIN/initdb" -D "$cl_data" --encoding=UTF8 --locale=C -A trust -U postgres \
    --no-sync >/dev/null
  # Nothing here needs to survive a crash: skip WAL and syncing to keep loads short.
  cat >>"$cl_data/postgresql.conf" <<EOF
listen_addresses = ''
port = $cl_port
unix_socket_directories = '$cl_sock'
fsync = off
synchronous_commit = off
full_page_writes = off
wal_level = minimal
max_wal_senders = 0
autovacuum = off
shared_buffers = 512MB
max_wal_size = 4GB
EOF
  as_pg "$PGBIN/pg_ctl" -D "$cl_data" -l "$cl_dir/server.log" -w start >/dev/null
}

cluster_stop() {
  if [ -n "$cl_data" ] && [ -f "$cl_data/postmaster.pid" ]; then
    as_pg "$PGBIN/pg_ctl" -D "$cl_data" -m "${1:-fast}" -w stop >/dev/null 2>&1 || true
  fi
}
