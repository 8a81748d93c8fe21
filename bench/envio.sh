#!/usr/bin/env bash
# The send-run benchmark: generates a catalogue, starts throwaway servers on loopback, puts our
# latency relay between Vendaro and the shop database, and measures every strategy of
# "Modo de envío" (see the README, "Benchmark"). Options go to bench/envio.py (--help lists them):
#   bench/envio.sh                                   10 000 products, 10 ms each way, both strategies
#   bench/envio.sh --productos 1000 --latencia-ms 0
#   bench/envio.sh --productos-por-producto 1000     the per-product run on a smaller catalogue
#   bench/envio.sh --memoria                         0 ms, batched, 10 000 / 50 000 / 100 000 products
#   bench/envio.sh --tunel --rondas 3                direct and through the test SSH server, side by side
# Vendaro is built optimised in build-bench/ (BENCH_BUILD=DIR to use another build folder).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
build=${BENCH_BUILD:-build-bench}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDARO_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target vendaro proxy_latencia >/dev/null
exec /usr/bin/python3 bench/envio.py --vendaro "$build/vendaro" --proxy "$build/bench/proxy_latencia" "$@"
