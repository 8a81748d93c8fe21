#!/usr/bin/env bash
# Starts or stops the throwaway servers of a test or demo run, all on loopback:
# a MariaDB server offering TLS (certificate signed by a CA made here), a second small MariaDB
# server without TLS, two FTP servers (plain, and explicit TLS) and two OpenSSH servers for the
# tunnel (scripts/sshd.sh), in their own folder.
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
    "$(dirname "$0")/sshd.sh" stop "$dir/ssh"
    for pidfile in "$dir"/ftp.pid "$dir"/ftps.pid; do
        [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
    done
    for pidfile in "$dir"/mysql.pid "$dir"/mysql-plano.pid; do
        [ -f "$pidfile" ] || continue
        pid=$(cat "$pidfile")
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    done
}

# A CA and a server certificate it signs, for 127.0.0.1 and localhost.
make_mysql_tls() {
    local t="$dir/tls"
    mkdir -p "$t"
    {
        openssl req -x509 -newkey rsa:2048 -nodes -keyout "$t/ca-key.pem" -out "$t/ca.pem" \
            -days 30 -subj "/CN=Vendaro pruebas CA" &&
        openssl req -newkey rsa:2048 -nodes -keyout "$t/server-key.pem" -out "$t/server.csr" \
            -subj "/CN=127.0.0.1" &&
        printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$t/san.ext" &&
        openssl x509 -req -in "$t/server.csr" -CA "$t/ca.pem" -CAkey "$t/ca-key.pem" \
            -CAcreateserial -out "$t/server-cert.pem" -days 30 -extfile "$t/san.ext" &&
        # Another CA, which signed nothing here: verifying against it must fail.
        openssl req -x509 -newkey rsa:2048 -nodes -keyout "$t/otra-ca-key.pem" \
            -out "$t/otra-ca.pem" -days 30 -subj "/CN=Otra CA"
    } >"$dir/openssl-mysql.log" 2>&1
}

wait_for_mysql() { # socket
    for _ in $(seq 1 300); do
        mariadb-admin --no-defaults --socket="$1" -uroot ping >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

create_test_user() { # socket password
    mariadb --no-defaults --socket="$1" -uroot <<SQL
CREATE USER 'vendaro'@'%' IDENTIFIED BY '$2';
GRANT ALL PRIVILEGES ON *.* TO 'vendaro'@'%' WITH GRANT OPTION;
CREATE USER 'vendaro'@'localhost' IDENTIFIED BY '$2';
GRANT ALL PRIVILEGES ON *.* TO 'vendaro'@'localhost' WITH GRANT OPTION;
FLUSH PRIVILEGES;
SQL
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
    # A copy of the fresh data folder makes the server without TLS in no time.
    cp -a "$dir/mysql" "$dir/mysql-plano"
    make_mysql_tls || fail "could not make the MariaDB certificates"
    mysql_port=$(free_port)
    mariadbd --no-defaults --datadir="$dir/mysql" --socket="$dir/mysql.sock" --port="$mysql_port" \
        --bind-address=127.0.0.1 --pid-file="$dir/mysql.pid" --log-error="$dir/mysqld.log" \
        --skip-name-resolve --innodb-buffer-pool-size=64M --innodb-log-file-size=16M \
        --max-connections=500 --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
        --ssl-ca="$dir/tls/ca.pem" --ssl-cert="$dir/tls/server-cert.pem" \
        --ssl-key="$dir/tls/server-key.pem" \
        "${user_opt[@]}" >/dev/null 2>&1 &
    mysql_plain_port=$(free_port)
    mariadbd --no-defaults --datadir="$dir/mysql-plano" --socket="$dir/mysql-plano.sock" \
        --port="$mysql_plain_port" --bind-address=127.0.0.1 --pid-file="$dir/mysql-plano.pid" \
        --log-error="$dir/mysqld-plano.log" --skip-name-resolve --skip-ssl \
        --innodb-buffer-pool-size=16M --innodb-log-file-size=16M \
        --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
        "${user_opt[@]}" >/dev/null 2>&1 &
    wait_for_mysql "$dir/mysql.sock" || fail "MariaDB did not start in 30 s"
    wait_for_mysql "$dir/mysql-plano.sock" || fail "MariaDB without TLS did not start in 30 s"
    mysql_password="vendaro-pruebas"
    create_test_user "$dir/mysql.sock" "$mysql_password" || fail "could not create the test user"
    create_test_user "$dir/mysql-plano.sock" "$mysql_password" \
        || fail "could not create the test user without TLS"

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
VENDARO_MYSQL_CA=$dir/tls/ca.pem
VENDARO_MYSQL_OTRA_CA=$dir/tls/otra-ca.pem
VENDARO_MYSQL_SIN_TLS_PORT=$mysql_plain_port
VENDARO_FTP_HOST=127.0.0.1
VENDARO_FTP_PORT=$(cat "$dir/ftp.port")
VENDARO_FTP_ROOT=$dir/ftp-root
VENDARO_FTPS_PORT=$(cat "$dir/ftps.port")
VENDARO_FTPS_ROOT=$dir/ftps-root
VENDARO_FTPS_CERT=$dir/ftps-cert.pem
VENDARO_FTP_USER=vendaro
VENDARO_FTP_PASSWORD=$ftp_password
ENV
    "$(dirname "$0")/sshd.sh" start "$dir/ssh" >>"$dir/servers.env" || fail "sshd did not start"
    echo "servers.sh: MariaDB on 127.0.0.1:$mysql_port (TLS), $mysql_plain_port (no TLS), FTP on $(cat "$dir/ftp.port"), FTPS on $(cat "$dir/ftps.port")"
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
