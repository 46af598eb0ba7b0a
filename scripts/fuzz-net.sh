#!/usr/bin/env bash
# Builds the datagram fuzz target with clang's libFuzzer and runs it for a while (default 60 s) on a corpus
# seeded with a valid datagram of every packet type.
# Usage: scripts/fuzz-net.sh [seconds] [extra libFuzzer flags...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVALMIRE_FUZZ=ON -DVALMIRE_ASSETS=OFF -DVALMIRE_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what the target links is built.
cmake --build build-fuzz --target valmire_fuzz_net
mkdir -p build-fuzz/corpus-net build-fuzz/seeds-net
VALMIRE_FUZZ_WRITE_SEEDS=build-fuzz/seeds-net ./build-fuzz/tests/valmire_fuzz_net
# New inputs go into the first folder; the seeds are read from the second.
./build-fuzz/tests/valmire_fuzz_net build-fuzz/corpus-net build-fuzz/seeds-net -max_total_time="$seconds" \
  -max_len=32800 -print_final_stats=1 "$@"
