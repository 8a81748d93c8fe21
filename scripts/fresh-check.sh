#!/usr/bin/env bash
# Proves that the README's two commands work on a bare Debian 12 system: builds a minimal Debian 12
# root with debootstrap (--variant=minbase) in a temporary folder, copies a clone of the committed
# HEAD into it, and runs scripts/demo.sh and then scripts/test.sh there with chroot, in a PID
# namespace of its own. Prints the time of each command and how many tests passed. Everything is
# thrown away afterwards, also on errors and Ctrl+C; only the pristine root is kept as a tarball
# for the next run.
#   scripts/fresh-check.sh            extra arguments go to scripts/test.sh (to ctest)
#   scripts/fresh-check.sh --deb build/vendaro_*.deb
#                                     instead installs the Debian package there with apt-get and
#                                     runs the program: --version, --check, the window offscreen
# Environment: VENDARO_FRESH_CACHE (folder of the cached root, default ~/.cache/vendaro),
# VENDARO_FRESH_MIRROR (Debian mirror, default the one this machine's apt uses).
# Needs root (re-runs itself with sudo), debootstrap, unshare and network access to the mirror.
set -euo pipefail

repo=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
if [ "$(id -u)" != 0 ]; then
    exec sudo --preserve-env=VENDARO_FRESH_CACHE,VENDARO_FRESH_MIRROR "$repo/scripts/fresh-check.sh" "$@"
fi
deb=
if [ "${1:-}" = "--deb" ]; then
    deb=$(realpath "${2:?--deb needs the package file}")
    shift 2
fi
command -v debootstrap >/dev/null || {
    echo "fresh-check.sh: debootstrap is needed (apt-get install debootstrap)" >&2
    exit 1
}

# The first Debian archive (not the security one) named in apt's sources, one-line or deb822 form.
mirror_of_apt() {
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && grep -v '^[[:space:]]*#' "$f"
    done | grep -oE 'https?://[^[:space:]]+' | grep -v security | grep -E '/debian/?$' | sed -e '1!d' -e 's:/$::' || true
}
mirror=${VENDARO_FRESH_MIRROR:-$(mirror_of_apt)}
mirror=${mirror:-http://deb.debian.org/debian}
security=${mirror%/debian}/debian-security
home=$HOME
[ -n "${SUDO_USER:-}" ] && home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
cache=${VENDARO_FRESH_CACHE:-$home/.cache/vendaro}
arch=$(dpkg --print-architecture)
tarball=$cache/debian12-minbase-$arch.tar.gz
head=$(git -C "$repo" rev-parse HEAD)

work=$(realpath "$(mktemp -d "${TMPDIR:-/var/tmp}/vendaro-fresh.XXXXXX")")
root=$work/root
ns_pid=

# Ends every process still running in the root, then removes the folder. unshare blocks SIGINT and
# SIGTERM while it waits for its child, so the namespace is ended from inside: its first process
# (unshare's child) and anything else in the root get SIGKILL, and the kernel ends the rest of the
# namespace with its first process. The mounts live only in the namespace's own mount table, so they
# go with its last process; the folder is removed only once no mount under it is left, and never
# across a file system boundary.
cleanup() {
    local rc=$? p left
    trap - EXIT
    trap '' INT TERM # a second Ctrl+C must not cut the clean-up short
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        left=()
        if [ -n "$ns_pid" ] && [ -r "/proc/$ns_pid/task/$ns_pid/children" ]; then
            read -ra left <"/proc/$ns_pid/task/$ns_pid/children" || true
        fi
        for p in /proc/[0-9]*; do
            [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && left+=("${p#/proc/}")
        done
        [ ${#left[@]} -eq 0 ] && break
        kill -KILL "${left[@]}" 2>/dev/null || true
        sleep 0.5
    done
    if [ -n "$ns_pid" ]; then
        wait "$ns_pid" 2>/dev/null || true
    fi
    if grep -qF " $work/" /proc/self/mountinfo; then
        grep -F " $work/" /proc/self/mountinfo | awk '{print $5}' | sort -r | xargs -r -n1 umount -l || true
    fi
    if grep -qF " $work/" /proc/self/mountinfo; then
        echo "fresh-check.sh: mounts left under $work; not removing it" >&2
    else
        rm -rf --one-file-system "$work"
    fi
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

elapsed() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

mkdir -p "$root"
if [ -f "$tarball" ]; then
    echo "== Debian 12 root from $tarball"
    tar -xpzf "$tarball" -C "$root" --numeric-owner
else
    echo "== debootstrap --variant=minbase bookworm from $mirror (kept in $tarball)"
    start=$SECONDS
    debootstrap --variant=minbase bookworm "$root" "$mirror"
    # A fresh installation also follows the updates and security archives.
    cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
    rm -rf "$root"/var/cache/apt/archives/*.deb "$root"/var/lib/apt/lists/*
    mkdir -p "$cache"
    tar -cpzf "$tarball.part" -C "$root" --numeric-owner .
    mv "$tarball.part" "$tarball"
    echo "debootstrap: $(elapsed $((SECONDS - start)))"
fi

# What the Debian installer writes and debootstrap leaves out: the host's names, and the resolver.
printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n::1\tlocalhost ip6-localhost ip6-loopback\n' \
    "$(uname -n)" >"$root/etc/hosts"
rm -f "$root/etc/resolv.conf"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
chmod 1777 "$root/tmp"

if [ -n "$deb" ]; then
    cp "$deb" "$root/root/"
    # Inside the chroot: the package must bring everything the program opens, libraries and plugins.
    cat >"$root/root/fresh-run.sh" <<'EOF'
#!/bin/bash
set -eu
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends /root/vendaro_*.deb
echo "== vendaro --version"
vendaro --version
echo "== Libraries of the program and of the Qt plugins it loads"
missing=$(for f in /usr/bin/vendaro /usr/lib/*/qt6/plugins/{platforms,iconengines,imageformats}/*.so; do
    ldd "$f" | sed -n "s|^\s*\(.*not found\)|$f: \1|p"
done)
[ -z "$missing" ] && echo "none missing" || { echo "$missing"; exit 1; }
[ -s /etc/ssl/certs/ca-certificates.crt ] || { echo "no CA bundle"; exit 1; }
echo "CA bundle: /etc/ssl/certs/ca-certificates.crt"
echo "== vendaro --check (nothing listens on the addresses: each check must fail in words)"
mkdir -p /root/prueba/velmora
printf '[Servidor]\nMySQLServer=127.0.0.1\nMySQLPuerto=9\nMySQLUsuario=u\nMySQLPassword=p\n' \
    >/root/prueba/velmora/velmora.ini
printf '[Configuración]\nRuta de Velmora Premium=/root/prueba/velmora\nBase de datos principal=d\nDirección IP=127.0.0.1\nPuerto=9\nDirección del FTP=ftpes://127.0.0.1:9\n' \
    >/root/prueba/vendaro.ini
rc=0
vendaro --check --ini /root/prueba/vendaro.ini </dev/null || rc=$?
echo "exit code $rc"
[ "$rc" = 1 ]
echo "== The window, offscreen, for 5 seconds"
rc=0
QT_QPA_PLATFORM=offscreen QT_DEBUG_PLUGINS=1 timeout 5 vendaro --ini /root/prueba/vendaro.ini \
    </dev/null >/root/ventana.log 2>&1 || rc=$?
grep -E "Cannot load|Could not|not found|cannot open" /root/ventana.log && exit 1
grep -oE '[^"]+\.so" loaded library' /root/ventana.log | sed 's/"//' | sort -u
# The artwork is SVG: without the icon engine plugin the window would show no pictures.
grep -q 'iconengines/libqsvgicon.so" loaded library' /root/ventana.log
echo "exit code $rc (124: still running when stopped)"
[ "$rc" = 124 ]
echo "== Package check passed"
EOF
else
    echo "== Clone of $head"
    git clone -q --no-checkout "$repo" "$root/root/vendaro"
    git -C "$root/root/vendaro" fetch -q "$repo" "$head"
    git -C "$root/root/vendaro" checkout -q --detach "$head"
    # Inside the chroot. Both commands run even if the first fails; the summary says which did.
    cat >"$root/root/fresh-run.sh" <<'EOF'
#!/bin/bash
cd /root/vendaro
elapsed() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }
echo "== scripts/demo.sh"
start=$SECONDS
scripts/demo.sh && demo_rc=0 || demo_rc=$?
demo_time=$((SECONDS - start))
echo "== scripts/test.sh $*"
start=$SECONDS
scripts/test.sh "$@" 2>&1 | tee /root/test.log
test_rc=${PIPESTATUS[0]}
test_time=$((SECONDS - start))
summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' /root/test.log | tail -n1)
echo
echo "== Fresh Debian 12 check"
echo "scripts/demo.sh: $(elapsed $demo_time), exit code $demo_rc"
echo "scripts/test.sh: $(elapsed $test_time), exit code $test_rc"
if [ -n "$summary" ]; then
    failed=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
    echo "$((total - failed)) tests passed of $total"
else
    echo "no test summary (the build or set-up failed)"
fi
[ "$demo_rc" = 0 ] && [ "$test_rc" = 0 ]
EOF
fi
chmod +x "$root/root/fresh-run.sh"

# Inside the new mount namespace: a minimal /dev (the host's basic device nodes, fresh devpts and
# /dev/shm), a read-only /sys, then the chroot. --mount-proc gives the root a /proc of the new PID
# namespace; --kill-child takes the namespace down should unshare itself be killed.
# shellcheck disable=SC2016 # expanded by the inner shell
setup='
set -e
r=$1; shift
mount -t tmpfs -o mode=755,nosuid dev "$r/dev"
for d in null zero full random urandom tty; do
    touch "$r/dev/$d"
    mount --bind "/dev/$d" "$r/dev/$d"
done
mkdir -p "$r/dev/pts" "$r/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$r/dev/pts"
ln -s pts/ptmx "$r/dev/ptmx"
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$r/dev/shm"
ln -s /proc/self/fd "$r/dev/fd"
ln -s /proc/self/fd/0 "$r/dev/stdin"
ln -s /proc/self/fd/1 "$r/dev/stdout"
ln -s /proc/self/fd/2 "$r/dev/stderr"
mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$r/sys" 2>/dev/null ||
    { mount --rbind /sys "$r/sys" && mount -o remount,bind,ro "$r/sys"; }
exec chroot "$r" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /root/fresh-run.sh "$@"
'
unshare --pid --fork --kill-child --mount-proc="$root/proc" -- /bin/bash -c "$setup" fresh "$root" "$@" &
ns_pid=$!
wait "$ns_pid"
