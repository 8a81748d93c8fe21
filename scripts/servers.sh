#!/usr/bin/env bash
# Starts or stops the throwaway servers of a test or demo run, all on loopback:
# a MariaDB server and two FTP servers (plain, and explicit TLS), in their own folder.
#   scripts/servers.sh start DIR   starts them and writes DIR/servers.env (shell syntax)
#   scripts/servers.sh stop DIR    stops them and removes DIR
# A server that does not come up makes "start" fail loudly with its log.
set -euo pipefail

accion=${1:?usage: servers.sh start|stop DIR}
dir=${2:?usage: servers.sh start|stop DIR}
PY=/usr/bin/python3   # Debian's python, which has pyftpdlib

free_port() {
    "$PY" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

stop_all() {
    [ -d "$dir" ] || return 0
    for pidfile in "$dir"/ftp.pid "$dir"/ftps.pid; do
        [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
    done
    if [ -f "$dir/mysql.pid" ]; then
        pid=$(cat "$dir/mysql.pid")
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    fi
}

wait_for_file() { # file seconds what
    for _ in $(seq 1 $(( $2 * 10 ))); do [ -s "$1" ] && return 0; sleep 0.1; done
    echo "servers.sh: $3 did not start in $2 s" >&2
    return 1
}

fail() {
    echo "servers.sh: $1" >&2
    for log in "$dir"/*.log; do [ -f "$log" ] && { echo "--- $log" >&2; tail -n 30 "$log" >&2; }; done
    stop_all
    exit 1
}

case "$accion" in
start)
    stop_all
    rm -rf "$dir"
    mkdir -p "$dir/ftp-root" "$dir/ftps-root"
    dir=$(cd "$dir" && pwd)

    # MariaDB
    command -v mariadbd >/dev/null || fail "mariadbd not found (install mariadb-server)"
    user_opt=()
    [ "$(id -u)" = 0 ] && user_opt=(--user=root)
    # --force skips the check that the host name resolves: the server only listens on 127.0.0.1 and
    # never resolves names, and a machine without /etc/hosts (a bare chroot) would fail it.
    mariadb-install-db --no-defaults --datadir="$dir/mysql" --auth-root-authentication-method=normal \
        --skip-test-db --force "${user_opt[@]}" >"$dir/install-db.log" 2>&1 || fail "mariadb-install-db failed"
    mysql_port=$(free_port)
    mariadbd --no-defaults --datadir="$dir/mysql" --socket="$dir/mysql.sock" --port="$mysql_port" \
        --bind-address=127.0.0.1 --pid-file="$dir/mysql.pid" --log-error="$dir/mysqld.log" \
        --skip-name-resolve --innodb-buffer-pool-size=64M --innodb-log-file-size=16M \
        --max-connections=500 --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
        "${user_opt[@]}" >/dev/null 2>&1 &
    ok=0
    for _ in $(seq 1 300); do
        if mariadb-admin --no-defaults --socket="$dir/mysql.sock" -uroot ping >/dev/null 2>&1; then ok=1; break; fi
        sleep 0.1
    done
    [ "$ok" = 1 ] || fail "MariaDB did not start in 30 s"
    mysql_password="vendaro-pruebas"
    mariadb --no-defaults --socket="$dir/mysql.sock" -uroot <<SQL || fail "could not create the test user"
CREATE USER 'vendaro'@'%' IDENTIFIED BY '$mysql_password';
GRANT ALL PRIVILEGES ON *.* TO 'vendaro'@'%' WITH GRANT OPTION;
CREATE USER 'vendaro'@'localhost' IDENTIFIED BY '$mysql_password';
GRANT ALL PRIVILEGES ON *.* TO 'vendaro'@'localhost' WITH GRANT OPTION;
FLUSH PRIVILEGES;
SQL

    # FTP, plain and with explicit TLS
    "$PY" -c 'import pyftpdlib, OpenSSL' 2>/dev/null || fail "python3-pyftpdlib and python3-openssl are needed"
    ftp_password="ftp-pruebas"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/ftps-key.pem" -out "$dir/ftps-cert.pem" \
        -days 30 -subj "/CN=127.0.0.1" -addext "subjectAltName=IP:127.0.0.1" >"$dir/openssl.log" 2>&1 \
        || fail "could not make the TLS certificate"
    "$PY" "$(dirname "$0")/ftp_server.py" --root "$dir/ftp-root" --user vendaro --password "$ftp_password" \
        --port-file "$dir/ftp.port" --log "$dir/ftp.log" >/dev/null 2>&1 &
    echo $! >"$dir/ftp.pid"
    "$PY" "$(dirname "$0")/ftp_server.py" --root "$dir/ftps-root" --user vendaro --password "$ftp_password" \
        --port-file "$dir/ftps.port" --log "$dir/ftps.log" --tls --cert "$dir/ftps-cert.pem" \
        --key "$dir/ftps-key.pem" >/dev/null 2>&1 &
    echo $! >"$dir/ftps.pid"
    wait_for_file "$dir/ftp.port" 20 "the FTP server" || fail "FTP server did not start"
    wait_for_file "$dir/ftps.port" 20 "the FTPS server" || fail "FTPS server did not start"

    cat >"$dir/servers.env" <<ENV
VENDARO_MYSQL_HOST=127.0.0.1
VENDARO_MYSQL_PORT=$mysql_port
VENDARO_MYSQL_USER=vendaro
VENDARO_MYSQL_PASSWORD=$mysql_password
VENDARO_MYSQL_SOCKET=$dir/mysql.sock
VENDARO_FTP_HOST=127.0.0.1
VENDARO_FTP_PORT=$(cat "$dir/ftp.port")
VENDARO_FTP_ROOT=$dir/ftp-root
VENDARO_FTPS_PORT=$(cat "$dir/ftps.port")
VENDARO_FTPS_ROOT=$dir/ftps-root
VENDARO_FTPS_CERT=$dir/ftps-cert.pem
VENDARO_FTP_USER=vendaro
VENDARO_FTP_PASSWORD=$ftp_password
ENV
    echo "servers.sh: MariaDB on 127.0.0.1:$mysql_port, FTP on $(cat "$dir/ftp.port"), FTPS on $(cat "$dir/ftps.port")"
    ;;
stop)
    stop_all
    rm -rf "$dir"
    ;;
*)
    echo "usage: servers.sh start|stop DIR" >&2
    exit 2
    ;;
esac
