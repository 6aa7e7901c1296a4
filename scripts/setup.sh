#!/usr/bin/env bash
# Installs whatever the project needs that this Debian 12 machine lacks.
# Idempotent; silent when everything is already there.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mapfile -t wanted < <(grep -v '^\s*#' "$here/packages.txt" | sed '/^\s*$/d')
missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
echo "setup: installing ${missing[*]}" >&2
"${sudo_cmd[@]}" apt-get update -qq >/dev/null
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# whisper.cpp (the optional sentence re-decoder) comes as source inside the npm
# package nodejs-whisper, pinned; its install scripts are never run. The folder
# is outside the source tree and shared by every checkout (cmake/Whisper.cmake
# looks for it there). VOX_WHISPER=off skips it.
whisper_npm_version=0.3.1
cache="${XDG_CACHE_HOME:-$HOME/.cache}/voxleaf/nodejs-whisper-$whisper_npm_version"
if [ "${VOX_WHISPER:-on}" != off ] && [ ! -f "$cache/node_modules/nodejs-whisper/cpp/whisper.cpp/include/whisper.h" ]; then
  if ! command -v npm >/dev/null; then
    echo "setup: installing npm" >&2
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends npm >/dev/null
  fi
  echo "setup: fetching whisper.cpp (nodejs-whisper $whisper_npm_version)" >&2
  mkdir -p "$cache"
  [ -f "$cache/package.json" ] || echo '{"name":"voxleaf-whisper-source","private":true}' >"$cache/package.json"
  (cd "$cache" && npm install --ignore-scripts --no-audit --no-fund --omit=dev \
      "nodejs-whisper@$whisper_npm_version" >/dev/null)
fi
