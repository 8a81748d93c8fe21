#!/usr/bin/env bash
# Everything a fresh Debian 12 machine needs to prove the build: installs the packages, configures,
# builds with warnings as errors, starts the throwaway MariaDB and FTP servers (ctest fixtures) and
# runs every test. Extra arguments go to ctest (for example: -R Ini).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVENDARO_WERROR=ON
cmake --build build
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure --timeout 600 -j2 "$@"
