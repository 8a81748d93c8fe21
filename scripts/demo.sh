#!/usr/bin/env bash
# The bundled demo: installs what is needed, builds Vendaro, starts a local MariaDB server and an FTP
# server on loopback (in demo-run/), fills a point-of-sale database with sample data and creates an
# empty shop database, writes the settings, mapping, defaults and host installation files, and runs
# three sends: the first creates every product, the second (after price and stock changes) updates,
# the third also uploads the sample pictures to the local FTP server.
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

echo "== Point-of-sale database 'datos1' and shop database 'tienda'"
sql -e "CREATE DATABASE datos1 CHARACTER SET utf8mb4; CREATE DATABASE tienda CHARACTER SET utf8mb4"
sql datos1 <tests/data/pos_esquema.sql
/usr/bin/python3 scripts/demo_datos.py pos "$run/fotos/" | sql datos1
sql tienda <tests/data/tienda_esquema.sql
# As OpenCart 3.0 installs it: one language, English (the tests leave it out on purpose).
sql tienda -e "CREATE TABLE oc_language (language_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(32) NOT NULL, code VARCHAR(5) NOT NULL, locale VARCHAR(255) NOT NULL,
    image VARCHAR(64) NOT NULL, directory VARCHAR(32) NOT NULL, sort_order INT NOT NULL DEFAULT 0,
    status TINYINT(1) NOT NULL) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;
    INSERT INTO oc_language VALUES (1, 'English', 'en-gb', 'en-US,en_US.UTF-8,en_US,en-gb,english',
    'gb.png', 'english', 1, 1)"
# A name with markup, an ampersand and quotes: the shop stores it HTML-encoded, as its own forms do.
sql datos1 -e "UPDATE productos SET Descrip = 'Camisa <b>Tom & Jerry</b> \\\"Deluxe\\\"' WHERE Clave = 'P0002'"
sql datos1 -e "SELECT COUNT(*) AS productos, (SELECT COUNT(*) FROM existenciaexterna) AS tallas FROM productos"

echo "== Host installation, settings, field mapping and new-row defaults in $run"
mkdir -p "$run/velmora"
cat >"$run/velmora/velmora.ini" <<INI
[Servidor]
MySQLServer=127.0.0.1
MySQLPuerto=$VENDARO_MYSQL_PORT
MySQLUsuario=$VENDARO_MYSQL_USER
MySQLPassword=$VENDARO_MYSQL_PASSWORD
INI
rm -f "$run/vendaro.ini" "$run/vendaro.log"*
# Values typed in plain are read as they are (the program stores them encrypted when it saves).
cat >"$run/vendaro.ini" <<INI
[Configuración]
Ruta de Velmora Premium=$run/velmora
Base de datos principal=datos1
Usuario WEB=$VENDARO_MYSQL_USER
Contraseña WEB=$VENDARO_MYSQL_PASSWORD
Dirección IP=127.0.0.1
Base de datos WEB=tienda
Nombre de la tabla=oc_product
Puerto=$VENDARO_MYSQL_PORT
Intervalo en minutos para enviar existencias=0
Campo en productos para talla o color=product_id
Tabla externa para imágenes=oc_product_image
Llave en productos para imagen=product_id
Llave en tabla externa para imagen=product_id
Campo en tabla externa para imagen=image
Prefijo para el campo en tabla de imagen=catalog/productos/
Dirección del FTP=127.0.0.1:$VENDARO_FTP_PORT
Carpeta del FTP=productos/
Usuario del FTP=$VENDARO_FTP_USER
Password del FTP=$VENDARO_FTP_PASSWORD
Categorías=línea y sublínea
Marcas como fabricantes=1
Direcciones SEO=1
Productos que ya no están=sin existencias

[Campos]
Clave.CampoWEB=model
Descrip.CampoWEB=name
Descrip.TablaExterna=oc_product_description
Descrip.CampoEnProds=product_id
Descrip.CampoEnTablaExt=product_id,language_id=1
Precio.CampoWEB=price
Existencia.CampoWEB=quantity
CodigoBarras.CampoWEB=ean
Peso.CampoWEB=weight
Alta.CampoWEB=date_available
marca.CampoWEB=tag
marca.TablaExterna=oc_product_description
marca.CampoEnProds=product_id
marca.CampoEnTablaExt=product_id,language_id=1
linea.CampoWEB=meta_keyword
linea.TablaExterna=oc_product_description
linea.CampoEnProds=product_id
linea.CampoEnTablaExt=product_id,language_id=1
INI
cat >"$run/oc_product.txt" <<'TXT'
sku =
upc =
ean =
jan =
isbn =
mpn =
location =
stock_status_id = 7
manufacturer_id = 0
tax_class_id = 9
status = 1
date_added = $datetime
date_modified = $datetime
TXT
cat >"$run/oc_product_image.txt" <<'TXT'
sort_order = 0
TXT
rm -rf "$run/fotos"
/usr/bin/python3 scripts/demo_datos.py fotos "$run/fotos"
mkdir -p "$VENDARO_FTP_ROOT/productos"
cat >"$run/oc_product_description.txt" <<'TXT'
description =
tag =
meta_title =
meta_description =
meta_keyword =
TXT

echo "== vendaro --check"
build/vendaro --check --ini "$run/vendaro.ini"

echo
echo "== First send: every product is new"
build/vendaro --send --ini "$run/vendaro.ini" | grep -v "^Producto [0-9]" || true

show() {
    sql tienda -e "SELECT (SELECT COUNT(*) FROM oc_product) AS productos,
        (SELECT COUNT(*) FROM oc_product_description) AS descripciones,
        (SELECT COUNT(*) FROM oc_product_to_store) AS enlaces_a_tienda,
        (SELECT COUNT(*) FROM oc_product_option) AS opciones_de_producto,
        (SELECT COUNT(*) FROM oc_option_value) AS valores_de_opcion,
        (SELECT COUNT(*) FROM oc_product_option_value) AS existencias_por_talla"
    sql tienda -e "SELECT p.product_id, p.model, d.name AS guardado,
        REPLACE(REPLACE(REPLACE(REPLACE(d.name, '&lt;', '<'), '&gt;', '>'), '&quot;', '\"'), '&amp;', '&') AS la_tienda_muestra,
        d.tag AS marca, p.price, p.quantity, p.date_added
        FROM oc_product p JOIN oc_product_description d USING (product_id)
        WHERE p.model IN ('P0001','P0002','P0010','P9999') ORDER BY p.model"
    sql tienda -e "SELECT p.model, vd.name AS talla, pov.quantity
        FROM oc_product_option_value pov JOIN oc_product p USING (product_id)
        JOIN oc_option_value_description vd ON vd.option_value_id = pov.option_value_id AND vd.language_id = 1
        WHERE p.model IN ('P0001','P0002','P0003') ORDER BY p.model, talla"
}
show
catalogo() {
    echo "-- The shop's menu: lines as top categories, sub-lines below them (products in each)"
    sql tienda -e "SELECT IF(c.parent_id = 0, d.name, CONCAT('    ', d.name)) AS categoria, c.top AS menu,
        (SELECT COUNT(*) FROM oc_product_to_category pc WHERE pc.category_id = c.category_id) AS productos,
        (SELECT GROUP_CONCAT(keyword) FROM oc_seo_url WHERE query = CONCAT('category_id=', c.category_id)) AS direccion
        FROM oc_category c JOIN oc_category_description d ON d.category_id = c.category_id AND d.language_id = 1
        ORDER BY COALESCE(NULLIF(c.parent_id, 0), c.category_id), c.parent_id <> 0, d.name"
    echo "-- Brands as manufacturers, and a few products' addresses"
    sql tienda -e "SELECT m.name AS fabricante, COUNT(p.product_id) AS productos FROM oc_manufacturer m
        LEFT JOIN oc_product p USING (manufacturer_id) GROUP BY m.manufacturer_id ORDER BY m.name"
    sql tienda -e "SELECT p.model, m.name AS fabricante, s.keyword AS direccion, p.quantity, ss.name AS estado
        FROM oc_product p LEFT JOIN oc_manufacturer m USING (manufacturer_id)
        LEFT JOIN oc_seo_url s ON s.query = CONCAT('product_id=', p.product_id)
        LEFT JOIN oc_stock_status ss ON ss.stock_status_id = p.stock_status_id AND ss.language_id = 1
        WHERE p.model IN ('P0001','P0002','P0300') ORDER BY p.model"
}
catalogo

echo
echo "== Prices and stock change in the point of sale, and product P0300 leaves it; the second send"
echo "   only updates, and takes P0300 out of stock (it was made by Vendaro: the record says so)"
sql datos1 -e "UPDATE productos SET Precio = Precio * 1.05 WHERE MOD(CAST(SUBSTRING(Clave, 2) AS UNSIGNED), 10) = 0;
    UPDATE existenciaexterna SET Existencia = Existencia + 1;
    DELETE FROM productos WHERE Clave = 'P0300'"
echo "-- Preview (vendaro --send --dry-run): nothing is written; its first lines, and P0300's"
build/vendaro --send --dry-run --ini "$run/vendaro.ini" | grep -v "^Producto [0-9]" >"$run/vista-previa.txt" || true
head -12 "$run/vista-previa.txt"
echo "  ..."
grep -A3 "«P0300»" "$run/vista-previa.txt" || true
tail -2 "$run/vista-previa.txt"
echo "--"
build/vendaro --send --ini "$run/vendaro.ini" | grep -v "^Producto [0-9]" || true
show
catalogo

echo
echo "== Third send with pictures (as ticking \"Enviar archivos de imágenes\"): uploaded by FTP, names recorded"
build/vendaro --send --pictures --ini "$run/vendaro.ini" | grep -v -E "^(Producto|Imágenes del producto) [0-9]" || true
sql tienda -e "SELECT i.product_id, p.model, i.image FROM oc_product_image i JOIN oc_product p USING (product_id) ORDER BY i.product_id"
echo "On the FTP server ($VENDARO_FTP_ROOT/productos):"
ls "$VENDARO_FTP_ROOT/productos" | head -20
echo
echo "Log: $run/vendaro.log"
