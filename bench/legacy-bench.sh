#!/bin/sh
# Times reading one set of presentations as .pptx, .ppt and .odp (and the flat .fodp sources).
#
#   bench/legacy-bench.sh BUILD_DIR [PPTX_FOLDER [COUNT]]
#
# With PPTX_FOLDER, the first COUNT (default 40) .pptx files there are converted; without it, COUNT
# generated 30-slide decks are. LibreOffice headless does the conversions in a private profile.
set -e
build=${1:?build folder}
bench="$build/bench/bench_presentation_formats"
work=$(mktemp -d /tmp/quorvane-legacy-bench.XXXXXX)
count=${3:-40}
profile=-env:UserInstallation=file://$work/profile
mkdir -p "$work/pptx" "$work/ppt" "$work/odp"
if [ -n "$2" ]; then
    ls "$2"/*.pptx | head -n "$count" | while read -r f; do cp "$f" "$work/pptx/"; done
    soffice $profile --headless --convert-to fodp --outdir "$work/fodp" "$work"/pptx/*.pptx >/dev/null 2>&1
else
    "$bench" --generate "$work/fodp" "$count"
    soffice $profile --headless --convert-to pptx --outdir "$work/pptx" "$work"/fodp/*.fodp >/dev/null 2>&1
fi
soffice $profile --headless --convert-to ppt --outdir "$work/ppt" "$work"/pptx/*.pptx >/dev/null 2>&1
soffice $profile --headless --convert-to odp --outdir "$work/odp" "$work"/pptx/*.pptx >/dev/null 2>&1
# A first pass warms the file cache so every format is timed from memory; each format then runs in a
# process of its own, so the peak memory is its own.
for kind in pptx ppt odp fodp; do
    "$bench" "$work/$kind" >/dev/null 2>&1
    "$bench" "$work/$kind"
done
rm -rf "$work"
