#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh          release build in build/
#   scripts/test.sh --asan   address and undefined-behaviour sanitizers in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

preset=release
case "${1:-}" in
  --asan) preset=asan ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--asan]" >&2; exit 2 ;;
esac

scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"
