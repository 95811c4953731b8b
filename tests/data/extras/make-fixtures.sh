#!/bin/sh
# Regenerates the fixtures of this folder from their sources, with two independent producers:
#   extras.odp, extras.ppt, extras-impress.pptx   LibreOffice Impress 7.4, from extras.fodp
#   extras-pptxgenjs.pptx                         pptxgenjs 4.0.1, from extras-pptxgenjs.cjs
# Needs soffice (apt-get install libreoffice-impress) and node/npm. pptxgenjs is installed into
# $PPTXGENJS_DIR (default /tmp/npm-pptxgenjs), never into the source tree. The tests only read the
# results, so neither program is needed to build or test.
set -eu
here=$(cd "$(dirname "$0")" && pwd)

profile=$(mktemp -d)
for format in odp ppt; do
    soffice -env:UserInstallation="file://$profile" --headless --convert-to "$format" --outdir "$here" \
        "$here/extras.fodp"
done
out=$(mktemp -d)
soffice -env:UserInstallation="file://$profile" --headless --convert-to pptx --outdir "$out" "$here/extras.fodp"
mv "$out/extras.pptx" "$here/extras-impress.pptx"
rm -rf "$profile" "$out"

dir=${PPTXGENJS_DIR:-/tmp/npm-pptxgenjs}
if [ ! -d "$dir/node_modules/pptxgenjs" ]; then
    mkdir -p "$dir"
    (cd "$dir" && npm init -y >/dev/null && npm install pptxgenjs@4.0.1)
fi
(cd "$dir" && NODE_PATH="$dir/node_modules" node "$here/extras-pptxgenjs.cjs" "$here")
