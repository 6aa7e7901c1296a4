#!/usr/bin/env bash
# Renders a review document (HTML) in headless Chromium to a PNG, to look at
# how the page really comes out. Not part of CI.
#
#   scripts/render_review.sh [DOCUMENT.html] [OUT.png] [WIDTH]
#
# Without a document, the sample that the review tests leave in the build tree
# (review_sample.html, written by test_review) is rendered; the build dir is
# $VOX_BUILD_DIR or build-test. Needs Debian's `chromium` (installed with
# apt-get when missing) and a CJK font (fonts-wqy-microhei).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${VOX_BUILD_DIR:-$repo/build-test}"
doc="${1:-}"
out="${2:-}"
width="${3:-1000}"

if [[ -z "$doc" ]]; then
    doc="$build/review_sample.html"
    if [[ ! -f "$doc" ]]; then
        echo "render_review: building test_review to write $doc" >&2
        cmake --build "$build" --target test_review >/dev/null
        VOX_BUILD_DIR="$build" QT_QPA_PLATFORM=offscreen VOXLEAF_DIAG_LOG="$build/test_diag.log" \
            "$build/tests/test_review" --gtest_filter='ReviewDocumentFile.SampleDocumentWithEverySection' >/dev/null
    fi
fi
[[ -f "$doc" ]] || { echo "render_review: no such document: $doc" >&2; exit 1; }
doc="$(cd "$(dirname "$doc")" && pwd)/$(basename "$doc")"
out="${out:-${doc%.html}.png}"

if ! command -v chromium >/dev/null 2>&1; then
    echo "render_review: installing chromium" >&2
    if [[ $(id -u) -eq 0 ]]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q chromium >/dev/null
    else
        sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -q chromium >/dev/null
    fi
fi

# The details block is collapsed by default; the page is tall. A generous
# height shows every card; the window width decides the one/two-column layout.
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT
chromium --headless=new --no-sandbox --disable-gpu --hide-scrollbars \
    --user-data-dir="$profile" --no-first-run --no-default-browser-check \
    --window-size="${width},2600" --screenshot="$out" "file://$doc" >/dev/null 2>&1 || {
    # Older builds know only the classic headless mode.
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$profile" \
        --window-size="${width},2600" --screenshot="$out" "file://$doc" >/dev/null 2>&1
}
[[ -s "$out" ]] || { echo "render_review: chromium wrote no image" >&2; exit 1; }
echo "$out"
