#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, packaging, the demo and the benchmark
# need. Idempotent: does nothing when they are all present. Uses sudo when not run as root.
# Recommends are not installed, so whatever the program needs at run time is listed here too (ca-certificates: without
# it no TLS peer verifies). dpkg-dev and file let cpack work out the package's library dependencies.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config git
    qt6-base-dev qt6-svg-dev qt6-qpa-plugins
    libmariadb-dev libcurl4-openssl-dev libssl-dev libjemalloc-dev libssh-dev
    libgtest-dev libgmock-dev
    mariadb-server mariadb-client openssh-server
    python3-pyftpdlib python3-openssl python3-asyncssh openssl
    time
    ca-certificates
    dpkg-dev file
    xvfb openbox trayer xdotool wmctrl x11-utils libxcb1-dev libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "deps.sh: installing ${missing[*]}"
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
