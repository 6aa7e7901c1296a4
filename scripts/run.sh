#!/usr/bin/env bash
# Installs what is missing, builds an optimised Voxleaf and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "voxleaf: this machine has no graphical display (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
  echo "voxleaf: the headless tool is built too: $root/build-release/src/cli/voxleaf-cli --help" >&2
  exit 2
fi
exec "$root/build-release/src/app/voxleaf" "$@"
