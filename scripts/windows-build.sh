#!/bin/sh
# Builds the Windows program and its installer on Debian 12: build-windows/vendaro-<version>-setup.exe.
#
# The libraries it needs are cross-built with MinGW-w64 from Debian's own source packages, once, into
# ~/.cache/vendaro/windows/<name>-<key> (the key covers the source version, the compiler and the
# switches, and the keys of what the library is built on); later runs reuse them. Then Vendaro is built
# by the same CMake project with cmake/mingw-w64.cmake, and NSIS packs it.
#
#   scripts/windows-build.sh [--deps-only] [--no-installer]
# Environment: VENDARO_WINDOWS_CACHE (the cache folder), VENDARO_WINDOWS_BUILD (default build-windows),
# VENDARO_WINDOWS_TESTS=ON to build the test executables too (scripts/windows-test.sh does).
set -eu

RAIZ=$(cd "$(dirname "$0")/.." && pwd)
CACHE=${VENDARO_WINDOWS_CACHE:-$HOME/.cache/vendaro/windows}
BUILD=${VENDARO_WINDOWS_BUILD:-$RAIZ/build-windows}
MINGW=x86_64-w64-mingw32
CC_W=$MINGW-gcc-posix
CXX_W=$MINGW-g++-posix
TOOLCHAIN=$RAIZ/cmake/mingw-w64.cmake
# Heavy compiles run at low priority: the machine is usually shared.
NICE="nice -n 15"
JOBS=${VENDARO_JOBS:-2}
SOLO_DEPS=0
INSTALADOR=1
for a in "$@"; do
    case $a in
    --deps-only) SOLO_DEPS=1 ;;
    --no-installer) INSTALADOR=0 ;;
    *) echo "usage: $0 [--deps-only] [--no-installer]" >&2; exit 2 ;;
    esac
done

como_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# --- tools, from Debian's binary packages ------------------------------------------------------------
HERRAMIENTAS="g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix nsis librsvg2-bin icoutils dpkg-dev
    cmake ninja-build pkg-config perl make qt6-base-dev qt6-base-dev-tools"
faltan=""
for p in $HERRAMIENTAS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || faltan="$faltan $p"
done
if [ -n "$faltan" ]; then
    como_root apt-get update
    como_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $faltan
fi

# --- Debian's source packages, through a private apt configuration -----------------------------------
# Only bookworm's main suite: with the security suite apt picks versions whose files the mirror lacks.
APT=$CACHE/apt
mkdir -p "$APT/sources.list.d" "$APT/lists/partial" "$APT/cache/archives/partial" "$CACHE/src"
cat >"$APT/sources.list.d/bookworm-src.sources" <<EOF
Types: deb-src
URIs: ${VENDARO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt_privado() {
    "$@" -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$APT/sources.list.d" \
        -o Dir::State::Lists="$APT/lists" -o Dir::Cache="$APT/cache" -o APT::Sandbox::User="$(id -un)"
}
if [ -z "$(find "$APT/lists" -maxdepth 1 -name '*Sources*' -mtime -7 2>/dev/null)" ]; then
    apt_privado apt-get -q update >/dev/null
fi

version_fuente() { apt_privado apt-cache showsrc "$1" | sed -n 's/^Version: //p' | head -n1; }

# fuente PACKAGE: the unpacked source tree of the package (Debian's patches applied), printed.
fuente() {
    v=$(version_fuente "$1")
    [ -n "$v" ] || { echo "no source package $1" >&2; exit 1; }
    d=$CACHE/src/$1_$v
    if [ ! -f "$d/.listo" ]; then
        rm -rf "$d" && mkdir -p "$d/descarga"
        (cd "$d/descarga" && apt_privado apt-get -q source --download-only "$1=$v" >&2)
        dpkg-source --no-check -x "$d/descarga/$1_${v#*:}.dsc" "$d/arbol" >&2
        touch "$d/.listo"
    fi
    echo "$d/arbol"
}

COMPILADOR=$($CXX_W --version | head -n1)
# clave NAME VERSION SWITCHES...: the folder a build of NAME with those switches is installed in.
clave() {
    n=$1
    shift
    h=$(printf '%s\n' "$COMPILADOR" "$@" | sha256sum | cut -c1-12)
    echo "$CACHE/$n-$(echo "$1" | tr ':~+' '___')-$h"
}

# obra NAME DIR: the build folder of NAME for the install folder DIR, printed. A build cut short (a
# shared machine's jobs get stopped) resumes there when its key is the same; another key starts anew.
obra() {
    o=$CACHE/obra/$1
    if [ "$(cat "$o/.vendaro-clave" 2>/dev/null)" != "$2" ]; then
        rm -rf "$o" && mkdir -p "$o" && echo "$2" >"$o/.vendaro-clave"
    fi
    echo "$o"
}

# listo DIR: whether DIR holds a finished build; terminar DIR marks it, with the time it took.
listo() { [ -f "$1/.vendaro-listo" ]; }
terminar() { echo "$2 s" >"$1/.vendaro-listo"; echo "== $(basename "$1"): built in $2 s" >&2; }

CMAKE_W="-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$TOOLCHAIN"

# --- qtbase: Core, Gui, Widgets, Network, Test and the windows platform plugin -----------------------
QT_OPCIONES="-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
 -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
 -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
 -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF
 -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=ON
 -DFEATURE_schannel=ON -DFEATURE_openssl=OFF -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_concurrent=OFF
 -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF
 -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_network=ON -DFEATURE_testlib=ON"
QT_V=$(version_fuente qt6-base)
QT=$(clave qtbase "$QT_V" $QT_OPCIONES)
if ! listo "$QT"; then
    t0=$(date +%s)
    src=$(fuente qt6-base)
    o=$(obra qtbase "$QT")
    rm -rf "$QT"
    # shellcheck disable=SC2086
    $NICE cmake -S "$src" -B "$o" $CMAKE_W -DCMAKE_INSTALL_PREFIX="$QT" $QT_OPCIONES
    $NICE cmake --build "$o" -j "$JOBS"
    cmake --install "$o"
    rm -rf "$o"
    terminar "$QT" $(($(date +%s) - t0))
fi

# --- OpenSSL 3 ----------------------------------------------------------------------------------------
SSL_OPCIONES="mingw64 shared no-tests no-legacy"
SSL_V=$(version_fuente openssl)
SSL=$(clave openssl "$SSL_V" $SSL_OPCIONES)
if ! listo "$SSL"; then
    t0=$(date +%s)
    src=$(fuente openssl)
    o=$(obra openssl "$SSL")
    rm -rf "$SSL"
    # shellcheck disable=SC2086
    (cd "$o" && CC=$CC_W AR=$MINGW-ar RANLIB=$MINGW-ranlib RC=$MINGW-windres \
        $NICE perl "$src/Configure" $SSL_OPCIONES --prefix="$SSL" --libdir=lib &&
        $NICE make -j "$JOBS" build_sw && make install_sw)
    rm -rf "$o"
    terminar "$SSL" $(($(date +%s) - t0))
fi

# --- libssh 0.10 (SSH tunnels and SFTP) ----------------------------------------------------------------
# With the server part: ssh_send_keepalive, which the tunnel sends as a client, is declared in server.h.
SSH_OPCIONES="-DWITH_GSSAPI=OFF -DWITH_ZLIB=OFF -DWITH_EXAMPLES=OFF -DUNIT_TESTING=OFF -DWITH_SERVER=ON
 -DWITH_PCAP=OFF -DBUILD_SHARED_LIBS=ON ssl=$SSL"
SSH_V=$(version_fuente libssh)
SSH=$(clave libssh "$SSH_V" $SSH_OPCIONES)
if ! listo "$SSH"; then
    t0=$(date +%s)
    src=$(fuente libssh)
    o=$(obra libssh "$SSH")
    rm -rf "$SSH"
    # shellcheck disable=SC2086
    $NICE cmake -S "$src" -B "$o" $CMAKE_W -DCMAKE_INSTALL_PREFIX="$SSH" \
        -DOPENSSL_ROOT_DIR="$SSL" -DVENDARO_WINDOWS_PREFIXES="$SSL" $(echo "$SSH_OPCIONES" | sed 's/ssl=[^ ]*//')
    $NICE cmake --build "$o" -j "$JOBS"
    cmake --install "$o"
    rm -rf "$o"
    terminar "$SSH" $(($(date +%s) - t0))
fi

# --- curl 7.88 with OpenSSL and libssh (FTP, FTPS, SFTP) ---------------------------------------------
CURL_OPCIONES="-DCURL_USE_OPENSSL=ON -DCURL_USE_SCHANNEL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=ON
 -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF
 -DUSE_LIBIDN2=OFF -DCURL_DISABLE_LDAP=ON -DENABLE_MANUAL=OFF -DBUILD_SHARED_LIBS=ON ssl=$SSL ssh=$SSH"
CURL_V=$(version_fuente curl)
CURL=$(clave curl "$CURL_V" $CURL_OPCIONES)
if ! listo "$CURL"; then
    t0=$(date +%s)
    src=$(fuente curl)
    o=$(obra curl "$CURL")
    rm -rf "$CURL"
    # shellcheck disable=SC2086
    $NICE cmake -S "$src" -B "$o" $CMAKE_W -DCMAKE_INSTALL_PREFIX="$CURL" \
        -DOPENSSL_ROOT_DIR="$SSL" -DVENDARO_WINDOWS_PREFIXES="$SSL;$SSH" \
        $(echo "$CURL_OPCIONES" | sed 's/ssl=[^ ]*//; s/ssh=[^ ]*//')
    $NICE cmake --build "$o" -j "$JOBS"
    cmake --install "$o"
    rm -rf "$o"
    terminar "$CURL" $(($(date +%s) - t0))
fi

# --- MariaDB Connector/C: the libmariadb folder of the server's source package ------------------------
MDB_OPCIONES="-DWITH_SSL=OPENSSL -DWITH_UNIT_TESTS=OFF -DWITH_EXTERNAL_ZLIB=OFF -DWITH_CURL=OFF
 -DCLIENT_PLUGIN_DIALOG=STATIC -DCLIENT_PLUGIN_SHA256_PASSWORD=STATIC -DCLIENT_PLUGIN_CACHING_SHA2_PASSWORD=STATIC
 -DCLIENT_PLUGIN_CLIENT_ED25519=STATIC -DCLIENT_PLUGIN_MYSQL_CLEAR_PASSWORD=STATIC
 -DCLIENT_PLUGIN_PVIO_NPIPE=STATIC pc=1 ssl=$SSL"
MDB_V=$(version_fuente mariadb)
MDB=$(clave mariadb-connector-c "$MDB_V" $MDB_OPCIONES)
if ! listo "$MDB"; then
    t0=$(date +%s)
    src=$(fuente mariadb)/libmariadb
    o=$(obra mariadb "$MDB")
    rm -rf "$MDB"
    # shellcheck disable=SC2086
    $NICE cmake -S "$src" -B "$o" $CMAKE_W -DCMAKE_INSTALL_PREFIX="$MDB" \
        -DOPENSSL_ROOT_DIR="$SSL" -DVENDARO_WINDOWS_PREFIXES="$SSL" $(echo "$MDB_OPCIONES" | sed 's/ssl=[^ ]*//; s/pc=1//')
    $NICE cmake --build "$o" -j "$JOBS"
    cmake --install "$o"
    rm -rf "$o"
    terminar "$MDB" $(($(date +%s) - t0))
fi
# Connector/C installs no pkg-config file for Windows; the project finds libraries by pkg-config. Its
# import library is liblibmariadb.dll.a (the target is named libmariadb), hence -llibmariadb. Written on
# every run: it is not part of what the key covers.
mkdir -p "$MDB/lib/pkgconfig"
cat >"$MDB/lib/pkgconfig/libmariadb.pc" <<PC
prefix=$MDB
Name: libmariadb
Description: MariaDB Connector/C
Version: ${MDB_V#*:}
Cflags: -I\${prefix}/include/mariadb
Libs: -L\${prefix}/lib/mariadb -llibmariadb
PC

# --- GoogleTest, for the test executables ---------------------------------------------------------------
GT_OPCIONES="-DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF -DBUILD_SHARED_LIBS=OFF"
GT_V=$(version_fuente googletest)
GT=$(clave googletest "$GT_V" $GT_OPCIONES)
if ! listo "$GT"; then
    t0=$(date +%s)
    src=$(fuente googletest)
    o=$(obra googletest "$GT")
    rm -rf "$GT"
    # shellcheck disable=SC2086
    $NICE cmake -S "$src" -B "$o" $CMAKE_W -DCMAKE_INSTALL_PREFIX="$GT" $GT_OPCIONES
    $NICE cmake --build "$o" -j "$JOBS"
    cmake --install "$o"
    rm -rf "$o"
    terminar "$GT" $(($(date +%s) - t0))
fi

PREFIJOS="$QT;$SSL;$CURL;$MDB;$SSH;$GT"
echo "== dependencies: $(echo "$PREFIJOS" | tr ';' ' ')"
[ "$SOLO_DEPS" = 1 ] && exit 0

# --- Vendaro --------------------------------------------------------------------------------------------
VERSION=$(sed -n 's/^project(vendaro VERSION \([0-9.]*\).*/\1/p' "$RAIZ/CMakeLists.txt")
OBRA=$BUILD/obra
export VENDARO_WINDOWS_PREFIXES="$PREFIJOS"
# CMake keeps what pkg-config found: with other dependency folders, the project is configured anew.
if [ "$(cat "$OBRA/.vendaro-prefijos" 2>/dev/null)" != "$PREFIJOS" ]; then
    rm -f "$OBRA/CMakeCache.txt"
    mkdir -p "$OBRA" && echo "$PREFIJOS" >"$OBRA/.vendaro-prefijos"
fi
cmake -S "$RAIZ" -B "$OBRA" $CMAKE_W -DVENDARO_WERROR=ON -DVENDARO_TESTS="${VENDARO_WINDOWS_TESTS:-OFF}" \
    -DVENDARO_WINDOWS_PREFIXES="$PREFIJOS"
$NICE cmake --build "$OBRA" -j "$JOBS"

# --- what the installer carries: the program, the DLLs it loads (found by walking their imports), the
# Qt plugins, the icon, the description text, and a CA bundle for when the Windows store cannot be read.
CARGA=$BUILD/carga
rm -rf "$CARGA" && mkdir -p "$CARGA"
cp "$OBRA/vendaro.exe" "$OBRA/vendaro.txt" "$OBRA/vendaro.ico" "$CARGA/"
cp /etc/ssl/certs/ca-certificates.crt "$CARGA/cacert.pem"
for plugin in platforms/qwindows.dll styles/qmodernwindowsstyle.dll imageformats/qico.dll \
    imageformats/qjpeg.dll imageformats/qgif.dll tls/qschannelbackend.dll tls/qcertonlybackend.dll \
    networkinformation/qnetworklistmanager.dll; do
    if [ -f "$QT/plugins/$plugin" ]; then
        mkdir -p "$CARGA/$(dirname "$plugin")" && cp "$QT/plugins/$plugin" "$CARGA/$plugin"
    fi
done
GCC_DIR=$(dirname "$($CXX_W -print-libgcc-file-name)")
BUSQUEDA="$QT/bin $SSL/bin $CURL/bin $MDB/lib/mariadb $MDB/lib $SSH/bin $GCC_DIR /usr/$MINGW/lib"
# copiar_dependencias DEST FILE...: copies into DEST every DLL the files import that is neither
# Windows' own nor already in the installer's folder.
copiar_dependencias() {
    destino=$1
    shift
    pendientes="$*"
    while [ -n "$pendientes" ]; do
        siguiente=""
        for f in $pendientes; do
            for dll in $($MINGW-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p'); do
                [ -f "$CARGA/$dll" ] || [ -f "$destino/$dll" ] && continue
                for d in $BUSQUEDA; do
                    if [ -f "$d/$dll" ]; then
                        cp "$d/$dll" "$destino/" && siguiente="$siguiente $destino/$dll"
                        break
                    fi
                done
            done
        done
        pendientes=$siguiente
    done
}
copiar_dependencias "$CARGA" $(find "$CARGA" -name '*.exe' -o -name '*.dll')
# Debian's MinGW runtime (libstdc++ alone 23 MB) and the libraries keep their symbols; the program
# needs none of them.
find "$CARGA" \( -name '*.exe' -o -name '*.dll' \) -exec $MINGW-strip --strip-unneeded {} +
# What the test executables load beyond that (Qt Test), for scripts/windows-test.sh.
rm -rf "$BUILD/carga-pruebas" && mkdir -p "$BUILD/carga-pruebas"
if [ "${VENDARO_WINDOWS_TESTS:-OFF}" = ON ]; then
    copiar_dependencias "$BUILD/carga-pruebas" $(find "$OBRA" -name '*.exe')
fi
printf 'QT=%s\n' "$QT" >"$BUILD/dependencias.env"
echo "== $(find "$CARGA" -type f | wc -l) files, $(du -sh "$CARGA" | cut -f1) to install"

[ "$INSTALADOR" = 1 ] || exit 0
SETUP=$BUILD/vendaro-$VERSION-setup.exe
makensis -V2 -DVERSION="$VERSION" -DCARGA="$CARGA" -DSALIDA="$SETUP" "$RAIZ/cmake/vendaro-setup.nsi"
echo "== $SETUP ($(du -h "$SETUP" | cut -f1))"
