#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja "$@"
elif [ $# -gt 0 ]; then
  # An existing tree still takes the options asked for now (CI's -Werror among them).
  cmake -S . -B "$dir" "$@"
fi
cmake --build "$dir" -j"$(nproc)"
