#!/usr/bin/env bash
# Installs what is missing, builds the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer, starts the test microphones and runs every test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" test
build="$root/build-test"
mics_started=0
if [ -x "$root/scripts/testmics.sh" ]; then
  "$root/scripts/testmics.sh" start "$build/testmics"
  mics_started=1
fi
cleanup() { [ "$mics_started" = 1 ] && "$root/scripts/testmics.sh" stop "$build/testmics" || true; }
trap cleanup EXIT
[ -f "$build/testmics/env" ] && . "$build/testmics/env"
cd "$build"
ctest --output-on-failure -j 2 --timeout 600 "$@"
