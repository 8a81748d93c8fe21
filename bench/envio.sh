#!/usr/bin/env bash
# Measures a send run on the demo's data (about 300 products, sizes, three external columns per
# product): wall time, peak memory and statements sent, for a first send into an empty shop and for
# a second send that only updates. Run from the repository: bench/envio.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/demo.sh --keep >/dev/null 2>&1
trap 'scripts/servers.sh stop demo-run/servers' EXIT
. demo-run/servers/servers.env
sql() { mariadb --no-defaults -h127.0.0.1 -P"$VENDARO_MYSQL_PORT" -u"$VENDARO_MYSQL_USER" -p"$VENDARO_MYSQL_PASSWORD" "$@"; }

medir() { # label
    local salida
    salida=$( { /usr/bin/time -f 'TIEMPO %e s, memoria máxima %M KiB' \
        build/vendaro --send --ini demo-run/vendaro.ini >/dev/null; } 2>&1 )
    echo "$1: $(grep -o 'TIEMPO.*' <<<"$salida" | sed 's/TIEMPO //'); $(grep -o 'sentencias enviadas: [0-9]*' <<<"$salida" | tail -1)"
}

for t in oc_product oc_product_description oc_option_value oc_option_value_description oc_product_option oc_product_option_value oc_product_image; do
    sql tienda -e "TRUNCATE $t"
done
medir "primer envío (tienda vacía)"
medir "segundo envío (sin cambios)"
