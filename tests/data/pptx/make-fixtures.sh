#!/bin/sh
# Regenerates the .pptx fixtures of this folder from their sources, with two independent producers:
#   impress-shapes.pptx                          LibreOffice Impress, from impress-shapes.fodp
#   pptxgenjs-deck.pptx, pptxgenjs-empty.pptx    pptxgenjs 4.0.1, from pptxgenjs-deck.cjs
# Needs soffice (apt-get install libreoffice-impress) and node/npm. pptxgenjs is installed into
# $PPTXGENJS_DIR (default /tmp/npm-pptxgenjs), never into the source tree. The tests only read the
# results, so neither program is needed to build or test.
set -eu
here=$(cd "$(dirname "$0")" && pwd)

profile=$(mktemp -d)
soffice -env:UserInstallation="file://$profile" --headless --convert-to pptx --outdir "$here" \
    "$here/impress-shapes.fodp"
rm -rf "$profile"

dir=${PPTXGENJS_DIR:-/tmp/npm-pptxgenjs}
if [ ! -d "$dir/node_modules/pptxgenjs" ]; then
    mkdir -p "$dir"
    (cd "$dir" && npm init -y >/dev/null && npm install pptxgenjs@4.0.1)
fi
(cd "$dir" && NODE_PATH="$dir/node_modules" node "$here/pptxgenjs-deck.cjs" "$here")
