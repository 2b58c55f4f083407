#!/usr/bin/env bash
# A throw-away PostgreSQL server for tests, in its own folder, on 127.0.0.1 only.
#
#   pg_test_server.sh start DIR   initdb + start; prints the port on stdout
#   pg_test_server.sh psql DIR SQL...  runs SQL as the superuser through the folder's socket
#   pg_test_server.sh stop DIR    stops the server (the folder is left to the caller)
#
# PostgreSQL refuses to run as root: under root the server runs as the "postgres" account the
# Debian package creates. Exit 77 when the server programs are missing (the caller skips).
set -euo pipefail

bindir=""
for d in /usr/lib/postgresql/*/bin; do
    [ -x "$d/initdb" ] && bindir="$d"
done
if [ -z "$bindir" ]; then
    echo "PostgreSQL server programs not found (Debian package postgresql)" >&2
    exit 77
fi

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        if ! id postgres >/dev/null 2>&1; then
            echo "running as root and there is no postgres account to run the server" >&2
            exit 77
        fi
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

cmd="$1"
dir="$2"
shift 2
case "$cmd" in
start)
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres "$dir"
    fi
    as_owner "$bindir/initdb" -D "$dir/data" -U postgres --auth-local=trust \
        --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
        cat "$dir/initdb.log" >&2
        exit 1
    }
    # A port from the process id, then the next ones while a port is taken.
    port=$((20000 + $$ % 20000))
    for attempt in 1 2 3 4 5 6 7 8; do
        if as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 20 \
            -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$dir -c fsync=off" \
            start >/dev/null 2>&1; then
            echo "$port" >"$dir/port"
            echo "$port"
            exit 0
        fi
        port=$((port + 1))
    done
    cat "$dir/server.log" >&2 || true
    exit 1
    ;;
psql)
    port="$(cat "$dir/port")"
    as_owner "$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U postgres \
        -d "${PGDATABASE_NAME:-postgres}" "$@"
    ;;
stop)
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: $0 start|psql|stop DIR" >&2
    exit 2
    ;;
esac
