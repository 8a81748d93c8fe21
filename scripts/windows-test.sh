#!/usr/bin/env bash
# The Windows build tested under Wine (not part of .ci/run: the first dependency build takes long):
#  1. the engine's and the window's test executables, built for Windows, run by ctest with Wine as
#     their runner, against the MariaDB and FTP servers the suite starts on loopback; the test of
#     the certificate store as the authority of verified sessions alone, with the test's CA put in it;
#  2. the installer, run silently into a fresh Wine prefix; the installed vendaro.exe --check and
#     --send on the demo's data; the window under Xvfb (a screenshot in build-windows/ventana.png);
#     the Run value it registered, read with `wine reg query`.
# The last line is "N passed, M failed".
#   scripts/windows-test.sh [ctest -R regex]
# With VENDARO_SERVIDORES naming the servers.env of servers already running (scripts/servers.sh start),
# those are used and none is started; the demo then uses databases and an FTP folder of its own there.
set -uo pipefail
cd "$(dirname "$0")/.."
RAIZ=$PWD
BUILD=${VENDARO_WINDOWS_BUILD:-$RAIZ/build-windows}
FILTRO=${1:-}
pasaron=0
fallaron=0
anotar() { # anotar NAME STATUS
    if [ "$2" = 0 ]; then
        pasaron=$((pasaron + 1))
        echo "ok   $1"
    else
        fallaron=$((fallaron + 1))
        echo "FAIL $1"
    fi
}

como_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
faltan=""
for p in wine wine64 xvfb xauth x11-apps imagemagick openbox mariadb-client; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || faltan="$faltan $p"
done
if [ -n "$faltan" ]; then
    como_root apt-get update
    # shellcheck disable=SC2086
    como_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $faltan
fi

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# nuevo_prefijo DIR: a fresh 64-bit Wine prefix reporting Windows 10, with no display needed.
nuevo_prefijo() {
    rm -rf "$1"
    WINEPREFIX=$1 WINEARCH=win64 wineboot -i >/dev/null 2>&1
    WINEPREFIX=$1 wine winecfg /v win10 >/dev/null 2>&1
    WINEPREFIX=$1 wineserver -w
}

# --- the build, with the test executables and Wine as their runner --------------------------------------
VENDARO_WINDOWS_TESTS=ON VENDARO_WINE=wine scripts/windows-build.sh || {
    anotar "windows-build.sh" 1
    echo "$pasaron passed, $fallaron failed"
    exit 1
}
OBRA=$BUILD/obra
SETUP=$(ls "$BUILD"/vendaro-*-setup.exe)

# --- 1. the test executables under Wine --------------------------------------------------------------------
export WINEPREFIX=$BUILD/wine-pruebas
nuevo_prefijo "$WINEPREFIX"
# The DLLs the test executables load are where the installer's files were gathered (and Qt Test
# beside them); the plugins, the offscreen platform among them, come from the Qt build. Wine passes
# no QT_* variable to Windows programs, so their folder is named by a qt.conf beside the tests.
# shellcheck disable=SC1091
. "$BUILD/dependencias.env"
WINEPATH="$(winepath -w "$BUILD/carga");$(winepath -w "$BUILD/carga-pruebas")"
export WINEPATH
# The prefix's Fonts folder is empty (Wine draws with the host's fonts), and the offscreen
# platform of the window tests reads font files from there, or no size would resolve; a folder
# named by QT_QPA_FONTDIR would not reach them (Wine passes no QT_* variable on). The host's DejaVu.
if [ -d /usr/share/fonts/truetype/dejavu ]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/fonts/truetype/dejavu/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
printf '[Paths]\nPlugins=%s\n' "$(winepath -w "$QT/plugins" | tr '\\' /)" >"$OBRA/tests/qt.conf"
COMPARTIDOS=${VENDARO_SERVIDORES:-}
fijos=()
# Run on its own below, with the test's authorities in the certificate store.
ALMACEN=ConexionTls.VerificadaConfiaEnElAlmacenDeCertificados
excluir=$ALMACEN
if [ -n "$COMPARTIDOS" ]; then
    # The tests' own variables override the file ctest names: every server's address is exported.
    set -a
    # shellcheck disable=SC1090
    . "$COMPARTIDOS"
    set +a
    # Neither the fixture's start and stop nor their automatic addition.
    fijos=(-FA servidores)
    excluir="^servidores[.]|$excluir"
fi
ctest --test-dir "$OBRA" --output-on-failure --timeout 300 "${fijos[@]}" -E "$excluir" \
    ${FILTRO:+-R "$FILTRO"} >"$BUILD/ctest.log" 2>&1
# The FTP servers of the FTP client's tests are Linux programs a Windows process cannot stop.
for pid in $(ps -eo pid=,args= | awk -v p="--root $WINEPREFIX/" 'index($0, p) && /ftp_server.py/ {print $1}'); do
    kill "$pid" 2>/dev/null
done
resumen=$(grep -E 'tests passed, [0-9]+ tests failed out of' "$BUILD/ctest.log" | tail -n1)
echo "ctest: $resumen"
grep -E '^\s*[0-9]+ - .*\((Failed|Timeout|SEGFAULT|Not Run|Exception)' "$BUILD/ctest.log" | sed 's/^/  /'
total=$(echo "$resumen" | sed -n 's/.*out of \([0-9]*\).*/\1/p')
fallidas=$(echo "$resumen" | sed -n 's/.*passed, \([0-9]*\) tests failed.*/\1/p')
if [ -n "$total" ]; then
    pasaron=$((pasaron + total - fallidas))
    fallaron=$((fallaron + fallidas))
else
    anotar "ctest" 1
fi
echo "skipped under Wine: $(grep -c 'Skipped' "$BUILD/ctest.log" || true) (reasons in $BUILD/ctest.log)"
wineserver -k 2>/dev/null

# --- the certificate store as the authority of verified sessions (the database's TLS and FTPS) ---------
# Wine's root store is the host's CA bundle. For this one test it is that bundle with the test CA and
# the FTPS server's certificate, bind-mounted over it in a mount namespace of its own: the host's file
# is never touched. The servers are started here, since the bundle needs their certificates.
if [ -z "$FILTRO" ] || [[ $ALMACEN =~ $FILTRO ]]; then
    servidores=$COMPARTIDOS
    propios=""
    if [ -z "$servidores" ]; then
        propios=$BUILD/servidores-almacen
        scripts/servers.sh start "$propios" >/dev/null && servidores=$propios/servers.env
    fi
    (
        set -a
        # shellcheck disable=SC1090
        . "$servidores"
        set +a
        cat /etc/ssl/certs/ca-certificates.crt "$VENDARO_MYSQL_CA" "$VENDARO_FTPS_CERT" \
            >"$BUILD/autoridades-prueba.pem"
        # shellcheck disable=SC2016
        unshare --mount sh -c 'mount --bind "$1" /etc/ssl/certs/ca-certificates.crt &&
            ctest --test-dir "$2" --output-on-failure --timeout 300 -FA servidores \
                -E "^servidores[.]" -R "$3"; r=$?; wineserver -k 2>/dev/null; exit $r' \
            sh "$BUILD/autoridades-prueba.pem" "$OBRA" "$ALMACEN"
    ) >"$BUILD/ctest-almacen.log" 2>&1
    r=$?
    # Skipped means the store did not show the certificates: not a pass.
    grep -q 'Skipped' "$BUILD/ctest-almacen.log" && r=1
    grep -q '100% tests passed, 0 tests failed out of 1' "$BUILD/ctest-almacen.log" || r=1
    anotar "verified TLS and FTPS through the certificate store (ctest-almacen.log)" "$r"
    [ -n "$propios" ] && scripts/servers.sh stop "$propios" >/dev/null
fi

# --- 2. the installer into a fresh prefix, and the installed program on the demo's data --------------------
export WINEPREFIX=$BUILD/wine-instalacion
unset WINEPATH
nuevo_prefijo "$WINEPREFIX"
# Wine's user is an administrator, for whom the installer's default is all users: /CurrentUser here,
# /AllUsers at the end.
wine "$SETUP" /S /CurrentUser
wineserver -w
usuario=$(wine cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')
CARPETA=$WINEPREFIX/drive_c/users/$usuario/AppData/Local/Programs/Vendaro
test -f "$CARPETA/vendaro.exe" && test -f "$CARPETA/platforms/qwindows.dll" && test -f "$CARPETA/desinstalar.exe"
anotar "silent install for the current user ($CARPETA)" $?
wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendaro' /v InstallLocation >/dev/null 2>&1
anotar "uninstall entry in the registry" $?
test -f "$WINEPREFIX/drive_c/users/$usuario/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Vendaro.lnk"
anotar "Start-menu entry" $?

run=$BUILD/demo-wine
rm -rf "$run" && mkdir -p "$run"
# Names of this run's own: the servers may be shared with other runs.
POS=vwin_pos_$$
TIENDA=vwin_tienda_$$
FOTOS=vwin_fotos_$$
if [ -n "$COMPARTIDOS" ]; then
    # shellcheck disable=SC1090
    . "$COMPARTIDOS"
    trap 'sql -e "DROP DATABASE IF EXISTS $POS; DROP DATABASE IF EXISTS $TIENDA" 2>/dev/null; rm -rf "${VENDARO_FTP_ROOT:?}/$FOTOS"; wineserver -k 2>/dev/null' EXIT
else
    scripts/servers.sh start "$run/servers" >/dev/null
    trap 'scripts/servers.sh stop "$run/servers" >/dev/null 2>&1; wineserver -k 2>/dev/null' EXIT
    # shellcheck disable=SC1091
    . "$run/servers/servers.env"
fi
sql() { mariadb --no-defaults -h127.0.0.1 -P"$VENDARO_MYSQL_PORT" -u"$VENDARO_MYSQL_USER" -p"$VENDARO_MYSQL_PASSWORD" "$@"; }
sql -e "CREATE DATABASE $POS CHARACTER SET utf8mb4; CREATE DATABASE $TIENDA CHARACTER SET utf8mb4"
sql $POS <tests/data/pos_esquema.sql
/usr/bin/python3 scripts/demo_datos.py pos "$run/fotos/" | sql $POS
sql $TIENDA <tests/data/tienda_esquema.sql
# As the demo (scripts/demo.sh) has it: the shop's one language, the new rows' defaults.
sql $TIENDA -e "CREATE TABLE oc_language (language_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(32) NOT NULL, code VARCHAR(5) NOT NULL, locale VARCHAR(255) NOT NULL,
    image VARCHAR(64) NOT NULL, directory VARCHAR(32) NOT NULL, sort_order INT NOT NULL DEFAULT 0,
    status TINYINT(1) NOT NULL) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;
    INSERT INTO oc_language VALUES (1, 'English', 'en-gb', 'en-US,en_US.UTF-8,en_US,en-gb,english',
    'gb.png', 'english', 1, 1)"
/usr/bin/python3 scripts/demo_datos.py fotos "$run/fotos"
mkdir -p "$VENDARO_FTP_ROOT/$FOTOS" "$run/velmora"
cat >"$run/velmora/velmora.ini" <<INI
[Servidor]
MySQLServer=127.0.0.1
MySQLPuerto=$VENDARO_MYSQL_PORT
MySQLUsuario=$VENDARO_MYSQL_USER
MySQLPassword=$VENDARO_MYSQL_PASSWORD
INI
# The settings the way a Windows user has them: a drive letter and backslashes.
cat >"$run/vendaro.ini" <<INI
[Configuración]
Ruta de Velmora Premium=$(winepath -w "$run/velmora")
Base de datos principal=$POS
Usuario WEB=$VENDARO_MYSQL_USER
Contraseña WEB=$VENDARO_MYSQL_PASSWORD
Dirección IP=127.0.0.1
Base de datos WEB=$TIENDA
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
Carpeta del FTP=$FOTOS/
Usuario del FTP=$VENDARO_FTP_USER
Password del FTP=$VENDARO_FTP_PASSWORD

[Campos]
Clave.CampoWEB=model
Descrip.CampoWEB=name
Descrip.TablaExterna=oc_product_description
Descrip.CampoEnProds=product_id
Descrip.CampoEnTablaExt=product_id,language_id=1
Precio.CampoWEB=price
Existencia.CampoWEB=quantity
INI
printf '%s\n' 'sku =' 'upc =' 'ean =' 'jan =' 'isbn =' 'mpn =' 'location =' 'stock_status_id = 7' \
    'manufacturer_id = 0' 'tax_class_id = 9' 'status = 1' 'date_added = $datetime' \
    'date_modified = $datetime' >"$run/oc_product.txt"
echo 'sort_order = 0' >"$run/oc_product_image.txt"
printf '%s\n' 'description =' 'tag =' 'meta_title =' 'meta_description =' 'meta_keyword =' \
    >"$run/oc_product_description.txt"
ini=$(winepath -w "$run/vendaro.ini")
exe="$CARPETA/vendaro.exe"
wine "$exe" --check --ini "$ini" >"$run/check.txt" 2>&1
anotar "vendaro.exe --check" $?
sed 's/^/  /' "$run/check.txt" | tr -d '\r' | head -20
wine "$exe" --send --pictures --ini "$ini" >"$run/send.txt" 2>&1
anotar "vendaro.exe --send --pictures" $?
tr -d '\r' <"$run/send.txt" | grep -v -E "^(Producto|Imágenes del producto) [0-9]" | tail -4 | sed 's/^/  /'
productos=$(sql -N $TIENDA -e "SELECT COUNT(*) FROM oc_product")
esperados=$(sql -N $POS -e "SELECT COUNT(*) FROM productos")
[ "$productos" = "$esperados" ]
anotar "the shop holds the $esperados products (has $productos)" $?
subidas=$(find "$VENDARO_FTP_ROOT/$FOTOS" -type f | wc -l)
[ "$subidas" -gt 0 ]
anotar "pictures uploaded by FTP ($subidas)" $?

# The window under Xvfb: shown at start in test mode, then a screenshot.
Xvfb :57 -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 2
DISPLAY=:57 openbox >/dev/null 2>&1 &
wm=$!
DISPLAY=:57 wine "$exe" --ini "$ini" -qvtx >"$run/ventana.txt" 2>&1 &
ventana=$!
sleep 25
DISPLAY=:57 import -window root "$BUILD/ventana.png" 2>/dev/null
[ -s "$BUILD/ventana.png" ] && kill -0 "$ventana" 2>/dev/null
anotar "window shown under Xvfb (screenshot $BUILD/ventana.png)" $?
valor=$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v vendaro 2>/dev/null | tr -d '\r' | grep -i 'REG_SZ')
echo "  Run value: $valor"
echo "$valor" | grep -qF -- "vendaro.exe" && echo "$valor" | grep -qF -- "--ini" && echo "$valor" | grep -qF -- "$ini"
anotar "Run value names the installed program and its settings file" $?
kill "$ventana" 2>/dev/null
wineserver -k 2>/dev/null
kill "$wm" "$xvfb" 2>/dev/null

habia=1
test -f "$CARPETA/vendaro.exe" || habia=0
wine "$CARPETA/desinstalar.exe" /S /CurrentUser
wineserver -w
sleep 3
[ "$habia" = 1 ] && ! test -f "$CARPETA/vendaro.exe" &&
    ! wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v vendaro >/dev/null 2>&1 &&
    ! wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendaro' >/dev/null 2>&1
anotar "silent uninstall removes the program, its entry and the Run value (settings stay)" $?

wine "$SETUP" /S /AllUsers
wineserver -w
TODOS="$WINEPREFIX/drive_c/Program Files/Vendaro"
test -f "$TODOS/vendaro.exe" && test -f "$TODOS/platforms/qwindows.dll" &&
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendaro' /v InstallLocation >/dev/null 2>&1 &&
    test -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vendaro.lnk"
anotar "silent install for all users (Program Files, its entry, the common Start menu)" $?
# A program folder the user cannot write (Program Files on Windows; Wine does not protect it, and
# root ignores permission bits, so the folder is made immutable): the settings file falls back to
# the user's application data folder, shown with its drive letter and backslashes.
if chattr +i "$TODOS" 2>/dev/null; then
    wine "$TODOS/vendaro.exe" --check >"$run/check-todos.txt" 2>&1
    chattr -i "$TODOS"
    # (The line after the message box that says the host installation is missing there.)
    primera=$(tr -d '\r' <"$run/check-todos.txt" | grep -m1 '^Archivo de configuración:')
    echo "  $primera"
    # (Windows folder names ignore case.)
    echo "$primera" | grep -qixF "Archivo de configuración: C:\\users\\$usuario\\AppData\\Local\\vendaro\\vendaro.ini" &&
        ! grep -qiF "C:/users" "$run/check-todos.txt"
    anotar "settings in the user's application data folder when Program Files is not writable" $?
else
    echo "  (chattr unavailable: the fall-back of the settings file is not tried)"
fi
habia=1
test -f "$TODOS/vendaro.exe" || habia=0
wine "$TODOS/desinstalar.exe" /S /AllUsers
wineserver -w
sleep 3
[ "$habia" = 1 ] && ! test -f "$TODOS/vendaro.exe" &&
    ! wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendaro' >/dev/null 2>&1
anotar "silent uninstall for all users" $?

echo "$pasaron passed, $fallaron failed"
[ "$fallaron" = 0 ]
