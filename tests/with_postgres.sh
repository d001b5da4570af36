#!/usr/bin/env bash
# Runs a command against a throw-away PostgreSQL cluster: initdb in a fresh
# temporary folder, the server listening on a Unix socket there only, the
# database `rechenkov` made with resources/schule.sql, one computer account
# and one teacher's account. The cluster is stopped and removed at the end,
# also when the command fails or is interrupted.
#
#   tests/with_postgres.sh COMMAND [ARGS...]
#
# The command finds the server through PGHOST (the socket folder) and can
# stop and start it with "$RECHENKOV_PG_DIR/stop" and "$RECHENKOV_PG_DIR/start".
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sql="$here/../resources/schule.sql"

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
    echo "PostgreSQL fehlt (Debian-Paket postgresql; ./test installiert es)." >&2
    exit 1
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/rechenkov-pg.XXXXXX")
# The server refuses to run as root: there it runs as the user postgres.
as=()
if [ "$(id -u)" -eq 0 ]; then
    as=(runuser -u postgres --)
    chown postgres: "$dir"
fi
chmod 755 "$dir"

cleanup() {
    "${as[@]}" "$bindir/pg_ctl" -D "$dir/data" stop -m immediate >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"${as[@]}" "$bindir/initdb" -D "$dir/data" -U postgres -A scram-sha-256 --auth-local=trust \
    --no-sync -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
# The superuser connects without a password; every other account needs its own.
cat >"$dir/hba" <<HBA
local all postgres trust
local all all scram-sha-256
HBA
"${as[@]}" cp "$dir/hba" "$dir/data/pg_hba.conf"

printf '#!/bin/sh\nexec %s %q/pg_ctl -D %q -w -l %q -o %q start >/dev/null\n' \
    "${as[*]}" "$bindir" "$dir/data" "$dir/server.log" "-k $dir -c listen_addresses= -F" >"$dir/start"
printf '#!/bin/sh\nexec %s %q/pg_ctl -D %q -w stop -m immediate >/dev/null\n' \
    "${as[*]}" "$bindir" "$dir/data" >"$dir/stop"
chmod 755 "$dir/start" "$dir/stop"
"$dir/start" || { cat "$dir/server.log" >&2; exit 1; }

psql=("$bindir/psql" -X -q -h "$dir" -U postgres -v ON_ERROR_STOP=1)
"${psql[@]}" -d postgres -c "CREATE DATABASE rechenkov"
"${psql[@]}" -d rechenkov -f "$sql" >/dev/null
"${psql[@]}" -d rechenkov <<'SQL'
CREATE ROLE rechner LOGIN PASSWORD 'kind-kennwort' IN ROLE rechenkov_kind;
CREATE ROLE lehrerin LOGIN PASSWORD 'lehrer-kennwort' IN ROLE rechenkov_lehrer;
SQL

export PGHOST="$dir" PGDATABASE=rechenkov RECHENKOV_PG_DIR="$dir"
set +e
"$@"
status=$?
set -e
exit "$status"
