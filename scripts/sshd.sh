#!/usr/bin/env bash
# Throwaway OpenSSH servers on loopback for the tunnel tests, with host keys of their own: one that
# allows TCP forwarding and one that refuses it, and client keys (ed25519, RSA in PEM format, and
# ed25519 behind a passphrase) in an authorized_keys file of their own.
#   scripts/sshd.sh start DIR   starts them and prints their VENDARO_SSH_* lines (shell syntax)
#   scripts/sshd.sh stop DIR    stops them
# Run as root, the account is a dedicated user "vendarossh" with a known password (sshd with
# UsePAM no checks its shadow hash); otherwise it is the current user, keys only, and
# VENDARO_SSH_PASSWORD stays empty.
set -euo pipefail

accion=${1:?usage: sshd.sh start|stop DIR}
dir=${2:?usage: sshd.sh start|stop DIR}
SSHD=/usr/sbin/sshd

free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

stop_all() {
    for pidfile in "$dir"/permite.pid "$dir"/prohibe.pid; do
        [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
    done
    return 0
}

config() { # name port forwarding
    cat >"$dir/$1.conf" <<CONF
Port $2
ListenAddress 127.0.0.1
HostKey $dir/host_ed25519
PidFile $dir/$1.pid
AuthorizedKeysFile $dir/authorized_keys
StrictModes no
UsePAM no
PasswordAuthentication yes
KbdInteractiveAuthentication no
PubkeyAuthentication yes
PermitRootLogin no
AllowUsers $usuario
AllowTcpForwarding $3
PermitTTY no
X11Forwarding no
Subsystem sftp internal-sftp
LogLevel VERBOSE
CONF
}

wait_port() { # port
    for _ in $(seq 1 100); do
        /usr/bin/python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$1),1)" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "sshd.sh: sshd on port $1 did not start" >&2
    tail -n 20 "$dir"/*.log >&2 || true
    return 1
}

case "$accion" in
start)
    stop_all
    rm -rf "$dir"
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    [ -x "$SSHD" ] || { echo "sshd.sh: $SSHD not found (install openssh-server)" >&2; exit 1; }
    contrasena=""
    if [ "$(id -u)" = 0 ]; then
        usuario=vendarossh
        id "$usuario" >/dev/null 2>&1 || useradd -M -d /nonexistent -s /bin/sh "$usuario"
        contrasena="ssh-pruebas"
        usermod -p "$(openssl passwd -6 "$contrasena")" "$usuario"
        mkdir -p /run/sshd
    else
        usuario=$(id -un)
    fi
    frase="frase-pruebas"
    {
        ssh-keygen -q -t ed25519 -N "" -C host -f "$dir/host_ed25519" &&
        ssh-keygen -q -t ed25519 -N "" -C ed25519 -f "$dir/id_ed25519" &&
        ssh-keygen -q -t rsa -b 3072 -m PEM -N "" -C rsa -f "$dir/id_rsa" &&
        ssh-keygen -q -t ed25519 -N "$frase" -C frase -f "$dir/id_frase"
    } >"$dir/keygen.log" 2>&1
    cat "$dir"/id_ed25519.pub "$dir"/id_rsa.pub "$dir"/id_frase.pub >"$dir/authorized_keys"
    chmod 755 "$dir"
    chmod 644 "$dir/authorized_keys" "$dir"/id_*
    permite=$(free_port)
    prohibe=$(free_port)
    config permite "$permite" yes
    config prohibe "$prohibe" no
    "$SSHD" -D -f "$dir/permite.conf" -E "$dir/permite.log" </dev/null >/dev/null 2>&1 &
    "$SSHD" -D -f "$dir/prohibe.conf" -E "$dir/prohibe.log" </dev/null >/dev/null 2>&1 &
    wait_port "$permite"
    wait_port "$prohibe"
    cat <<ENV
VENDARO_SSH_DIR=$dir
VENDARO_SSH_PORT=$permite
VENDARO_SSH_PROHIBE_PORT=$prohibe
VENDARO_SSH_USER=$usuario
VENDARO_SSH_PASSWORD=$contrasena
VENDARO_SSH_FRASE=$frase
VENDARO_SSH_HUELLA=$(ssh-keygen -l -E sha256 -f "$dir/host_ed25519.pub" | cut -d' ' -f2)
ENV
    ;;
stop)
    stop_all
    ;;
*)
    echo "usage: sshd.sh start|stop DIR" >&2
    exit 2
    ;;
esac
