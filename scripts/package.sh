#!/usr/bin/env bash
# Builds the Debian package: an optimised build in build-package/ (its own
# folder, so it never disturbs build-release/ or build-test/), then
# `cpack -G DEB`. Prints the path of the .deb on standard output; the build's
# own output goes to standard error.
#
#   bash scripts/package.sh && sudo apt-get install ./build-package/voxleaf_*.deb
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-package"
"$root/scripts/setup.sh" >&2
mkdir -p "$build"

# Several checkouts' test runs may share this tree: one package build at a
# time (a caller that already holds the lock says so).
if [ -z "${VOXLEAF_PACKAGE_LOCKED:-}" ]; then
  exec 9>"$build/.lock"
  flock 9
fi

# Hardened as Debian builds its own packages: fortified libc calls, stack
# protector, read-only relocations bound at start.
args=(-G Ninja -S "$root" -B "$build"
      -DCMAKE_BUILD_TYPE=Release -DVOX_SANITIZE=OFF -DVOX_BUILD_TESTS=OFF -DVOX_BUILD_BENCH=OFF
      "-DCMAKE_CXX_FLAGS=-D_FORTIFY_SOURCE=2 -fstack-protector-strong"
      "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,relro -Wl,-z,now")
if command -v ccache >/dev/null; then
  args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Lets the other build folders' cached objects serve this one.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
fi
cmake "${args[@]}" >&2
cmake --build "$build" -j "$(nproc)" >&2

rm -f "$build"/voxleaf_*.deb
(cd "$build" && cpack -G DEB) >&2
debs=("$build"/voxleaf_*.deb)
if [ ! -f "${debs[0]}" ]; then
  echo "package: cpack made no voxleaf_*.deb in $build" >&2
  exit 1
fi
echo "${debs[0]}"
