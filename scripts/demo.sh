#!/usr/bin/env bash
# The bundled demo: installs what is needed, builds Vendaro, starts a local MariaDB server and an FTP
# server on loopback (in demo-run/), fills a point-of-sale database with sample data, writes the
# settings and host installation files, and runs Vendaro against them.
#   scripts/demo.sh          run the demo, then stop the servers
#   scripts/demo.sh --keep   leave the servers running (stop them with: scripts/servers.sh stop demo-run/servers)
set -euo pipefail
cd "$(dirname "$0")/.."
keep=0
[ "${1:-}" = "--keep" ] && keep=1

scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build

run=$PWD/demo-run
mkdir -p "$run"
scripts/servers.sh start "$run/servers"
[ "$keep" = 1 ] || trap 'scripts/servers.sh stop "$run/servers"' EXIT
# shellcheck disable=SC1091
. "$run/servers/servers.env"
sql() { mariadb --no-defaults -h127.0.0.1 -P"$VENDARO_MYSQL_PORT" -u"$VENDARO_MYSQL_USER" -p"$VENDARO_MYSQL_PASSWORD" "$@"; }

echo "== Point-of-sale database 'datos1'"
sql -e "CREATE DATABASE datos1 CHARACTER SET utf8mb4"
sql datos1 <tests/data/pos_esquema.sql
/usr/bin/python3 scripts/demo_datos.py pos | sql datos1
sql datos1 -e "SELECT COUNT(*) AS productos FROM productos"

echo "== Host installation and settings in $run"
mkdir -p "$run/velmora"
cat >"$run/velmora/velmora.ini" <<INI
[Servidor]
MySQLServer=127.0.0.1
MySQLPuerto=$VENDARO_MYSQL_PORT
MySQLUsuario=$VENDARO_MYSQL_USER
MySQLPassword=$VENDARO_MYSQL_PASSWORD
INI
rm -f "$run/vendaro.ini"
cat >"$run/vendaro.ini" <<INI
[Configuración]
Ruta de Velmora Premium=$run/velmora
Base de datos principal=datos1
INI

echo "== vendaro --check"
build/vendaro --check --ini "$run/vendaro.ini" || true
echo
echo "The send run (vendaro --send) is not built yet; the servers and the point-of-sale data are ready."
