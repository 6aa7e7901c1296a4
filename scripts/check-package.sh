#!/usr/bin/env bash
# Checks the Debian package: builds it with scripts/package.sh (or takes the
# .deb given), then its file list and control fields, the launcher entry
# (desktop-file-validate), the metainfo (appstreamcli), the manual pages
# (man, warnings on), lintian where it is installed, and finally unpacks it
# into a throwaway root and runs voxleaf-cli from there.
#
#   bash scripts/check-package.sh [voxleaf_VERSION_ARCH.deb]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
app_id=io.github.voxleaf.Voxleaf

work="$(mktemp -d "${TMPDIR:-/tmp}/voxleaf-package.XXXXXX")"
trap 'rm -rf "$work"' EXIT

failures=0
pass() { echo "ok    $*"; }
fail() { echo "FAIL  $*"; failures=$((failures + 1)); }
# check "what" command...: passes when the command succeeds.
check() {
  local what="$1"; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

if [ $# -ge 1 ]; then
  deb="$(realpath "$1")"
else
  # The build folder is shared by everyone working in this tree: hold its
  # lock until the package is copied out.
  mkdir -p "$root/build-package"
  exec 9>"$root/build-package/.lock"
  flock 9
  built="$(VOXLEAF_PACKAGE_LOCKED=1 bash "$root/scripts/package.sh")"
  cp "$built" "$work/"
  deb="$work/$(basename "$built")"
  flock -u 9
  exec 9>&-
fi

version="$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
arch="$(dpkg --print-architecture)"
echo "package: $deb (project version $version)"
check "file name is voxleaf_${version}_${arch}.deb" test "$(basename "$deb")" = "voxleaf_${version}_${arch}.deb"

# --- control fields ---------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
check "Package: voxleaf" test "$(field Package)" = voxleaf
check "Version: $version" test "$(field Version)" = "$version"
check "Architecture: $arch" test "$(field Architecture)" = "$arch"
depends="$(field Depends)"
echo "Depends: $depends"
# Names of the packages in a relation field, one a line.
relation_names() { tr ',|' '\n\n' | sed 's/(.*)//; s/:any//; s/^ *//; s/ *$//' | sed '/^$/d'; }
for p in libqt6core6 libqt6gui6 libqt6network6 libqt6dbus6 libqt6multimedia6 libqt6qml6 libqt6quick6 \
         libpulse0 libpocketsphinx3 libsphinxbase3 libsoxr0 libsndfile1 libicu72 \
         qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates \
         qml6-module-qtquick-layouts qml6-module-qtquick-window qml6-module-qtquick-dialogs \
         qml6-module-qtqml-workerscript qml6-module-qt-labs-folderlistmodel qt6-qpa-plugins \
         pocketsphinx-en-us fonts-wqy-microhei; do
  check "Depends names $p" grep -qx "$p" <(relation_names <<<"$depends")
done
# Every dependency is a real package, installed here (this machine runs the
# programs): each comma-separated group has an installed alternative.
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
IFS=',' read -r -a groups <<<"$depends"
for g in "${groups[@]}"; do
  found=0
  while read -r name; do
    installed "$name" && found=1
  done < <(relation_names <<<"$g")
  check "dependency installed here:$g" test "$found" = 1
done

# --- contents -----------------------------------------------------------------
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#' >"$work/contents"
expect=(
  /usr/bin/voxleaf
  /usr/bin/voxleaf-cli
  /usr/share/applications/$app_id.desktop
  /usr/share/metainfo/$app_id.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/voxleaf.svg
  /usr/share/man/man1/voxleaf-cli.1.gz
  /usr/share/man/man1/voxleaf.1.gz
  /usr/share/doc/voxleaf/copyright
  /usr/share/doc/voxleaf/changelog.gz
)
sizes=(16 22 24 32 48 64 128 256 512)
for s in "${sizes[@]}"; do expect+=("/usr/share/icons/hicolor/${s}x${s}/apps/voxleaf.png"); done
for f in "${expect[@]}"; do
  check "contains $f" grep -qx "$f" "$work/contents"
done
check "nothing outside /usr" test -z "$(grep -v '^/$' "$work/contents" | grep -v '^/usr/' || true)"

# --- unpacked: files ---------------------------------------------------------
dest="$work/root"
dpkg -x "$deb" "$dest"
for s in "${sizes[@]}"; do
  png="$dest/usr/share/icons/hicolor/${s}x${s}/apps/voxleaf.png"
  # PNG: width and height are the big-endian words at bytes 16 and 20.
  dims="$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')"
  check "icon ${s}x${s} is ${s}x${s} ($dims)" test "$dims" = "${s}x${s}"
done
for b in voxleaf voxleaf-cli; do
  check "$b has no RPATH/RUNPATH" bash -c "! readelf -d '$dest/usr/bin/$b' | grep -qE 'RPATH|RUNPATH'"
  check "$b is stripped" bash -c "! readelf -S '$dest/usr/bin/$b' | grep -q '\.symtab'"
done

# --- validators --------------------------------------------------------------
desktop="$dest/usr/share/applications/$app_id.desktop"
out="$(desktop-file-validate "$desktop" 2>&1)" && [ -z "$out" ] && pass "desktop-file-validate" \
  || { echo "$out"; fail "desktop-file-validate"; }

metainfo="$dest/usr/share/metainfo/$app_id.metainfo.xml"
out="$(appstreamcli validate --no-net "$metainfo" 2>&1)" && pass "appstreamcli validate --no-net" \
  || { echo "$out"; fail "appstreamcli validate --no-net"; }
check "metainfo names release $version" grep -q "<release version=\"$version\"" "$metainfo"
check "metainfo launches $app_id.desktop" grep -q "<launchable type=\"desktop-id\">$app_id.desktop<" "$metainfo"

for page in voxleaf-cli voxleaf; do
  file="$dest/usr/share/man/man1/$page.1.gz"
  out="$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$file" 2>&1 >/dev/null)"
  [ -z "$out" ] && pass "man --warnings -l $page.1.gz" || { echo "$out"; fail "man --warnings -l $page.1.gz"; }
done
MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$dest/usr/share/man/man1/voxleaf-cli.1.gz" 2>/dev/null >"$work/voxleaf-cli.txt"
section() { awk -v s="$1" '/^[A-Z]/ {on = ($0 == s)} on' "$work/voxleaf-cli.txt"; }
check "manual page voxleaf-cli(1) is section 1" grep -q '^VOXLEAF-CLI(1)' "$work/voxleaf-cli.txt"

# --- lintian -----------------------------------------------------------------
if command -v lintian >/dev/null; then
  # Running as root is what CI does; lintian only advises against it.
  out="$(lintian --fail-on error "$deb" 2>&1)" && rc=0 || rc=$?
  [ -n "$out" ] && echo "$out" | sed 's/^/lintian: /'
  check "lintian: no errors" test "$rc" = 0
else
  echo "skip  lintian is not installed"
fi

# --- the programs, from the unpacked root ------------------------------------
cli="$dest/usr/bin/voxleaf-cli"
out="$(env -u LD_LIBRARY_PATH "$cli" --version 2>&1)" && rc=0 || rc=$?
check "voxleaf-cli --version prints 'voxleaf-cli $version' ($out)" test "$rc/$out" = "0/voxleaf-cli $version"
env -u LD_LIBRARY_PATH "$cli" --help >"$work/help.txt" 2>&1 && rc=0 || rc=$?
check "voxleaf-cli --help exits 0" test "$rc" = 0
check "no library is missing" bash -c "! env -u LD_LIBRARY_PATH ldd '$dest/usr/bin/voxleaf' '$cli' | grep -q 'not found'"
# The application starts from the package alone: its windows load from the
# installed QML modules and it is still running after a few seconds (a window
# that fails to load ends it with status 1). A private home keeps the user's
# settings and Desktop out of it.
gui_home="$work/home"
mkdir -p "$gui_home"
rc=0
env -u LD_LIBRARY_PATH HOME="$gui_home" XDG_CONFIG_HOME="$gui_home/.config" XDG_DATA_HOME="$gui_home/.local/share" \
    XDG_STATE_HOME="$gui_home/.local/state" XDG_CACHE_HOME="$gui_home/.cache" \
    VOXLEAF_DIAG_LOG="$gui_home/diag.log" QT_QPA_PLATFORM=offscreen \
    timeout 8 "$dest/usr/bin/voxleaf" >"$work/gui.log" 2>&1 || rc=$?
[ "$rc" = 124 ] || sed 's/^/voxleaf: /' "$work/gui.log"
check "voxleaf starts and keeps running (offscreen)" test "$rc" = 124

# The manual page covers what the program says it does: every command and
# option of --help, every exit status, every environment variable the
# headless tool reads.
commands="$(sed -n 's/^  \([a-z][a-z-]*\)\b.*/\1/p' "$work/help.txt" | sort -u)"
check "--help lists commands" test -n "$commands"
for c in $commands; do
  check "manual page describes command $c" grep -qE "^       $c( |$)" <(section COMMANDS)
done
for o in $(grep -oE -- '--[a-z][a-z-]*' "$work/help.txt" | sort -u); do
  check "manual page describes option $o" grep -qE -- "^       (.*, )?$o( |,|$)" <(section OPTIONS; section COMMANDS)
done
for code in $(sed -n 's/^ *Exit[A-Za-z]* = \([0-9]*\),.*/\1/p' "$root/src/cli/CliSupport.h"); do
  check "manual page explains exit status $code" grep -qE "^       $code( |$)" <(section "EXIT STATUS")
done
env_vars="$(grep -rhoE '(qEnvironmentVariable|qgetenv|getenv)[A-Za-z]*\("[A-Z_]+"' \
              "$root"/src --include=*.cpp --include=*.h --exclude-dir=ui --exclude-dir=app \
            | sed 's/.*("\(.*\)"/\1/' | grep -E '^(VOXLEAF_|DEEPSEEK_)' | sort -u)"
for v in $env_vars; do
  check "manual page explains $v" grep -qE "^       $v\b" <(section ENVIRONMENT)
done

echo
if [ "$failures" -ne 0 ]; then
  echo "package check: $failures failed"
  exit 1
fi
echo "package check: all passed"
