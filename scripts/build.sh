#!/usr/bin/env bash
# scripts/build.sh release|test  — configures and builds into build-release or build-test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kind="${1:-release}"
args=(-G Ninja -S "$root")
if command -v ccache >/dev/null; then args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
case "$kind" in
  release) dir="$root/build-release"; args+=(-DCMAKE_BUILD_TYPE=Release -DVOX_BUILD_TESTS=OFF) ;;
  test)    dir="$root/build-test";    args+=(-DCMAKE_BUILD_TYPE=Debug -DVOX_SANITIZE=ON -DVOX_BUILD_TESTS=ON) ;;
  bench)   dir="$root/build-release"; args+=(-DCMAKE_BUILD_TYPE=Release -DVOX_BUILD_TESTS=OFF -DVOX_BUILD_BENCH=ON) ;;
  *) echo "usage: $0 release|test|bench" >&2; exit 2 ;;
esac
cmake -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
