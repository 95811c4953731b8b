#!/bin/sh
# Regenerates the fixtures of this folder from their sources, with two independent producers:
#   extras.odp, extras.ppt, extras-impress.pptx   LibreOffice Impress 7.4, from extras.fodp
#   extras-pptxgenjs.pptx                         pptxgenjs 4.0.1, from extras-pptxgenjs.cjs
#   review.odp, review.ppt, review-impress.pptx   LibreOffice Impress 7.4, from review.fodp
#   graphics-pptxgenjs.pptx                       pptxgenjs 4.0.1, from graphics-pptxgenjs.cjs
#   graphics-impress.odp                          LibreOffice Impress 7.4, from graphics-pptxgenjs.pptx
# smartart-simple.pptx is public test data, not made here (see README.md).
# Needs soffice (apt-get install libreoffice-impress) and node/npm. pptxgenjs is installed into
# $PPTXGENJS_DIR (default /tmp/npm-pptxgenjs), never into the source tree. The tests only read the
# results, so neither program is needed to build or test.
set -eu
here=$(cd "$(dirname "$0")" && pwd)

profile=$(mktemp -d)
out=$(mktemp -d)
for source in extras review; do
    for format in odp ppt; do
        soffice -env:UserInstallation="file://$profile" --headless --convert-to "$format" --outdir "$here" \
            "$here/$source.fodp"
    done
    soffice -env:UserInstallation="file://$profile" --headless --convert-to pptx --outdir "$out" "$here/$source.fodp"
    mv "$out/$source.pptx" "$here/$source-impress.pptx"
done

dir=${PPTXGENJS_DIR:-/tmp/npm-pptxgenjs}
if [ ! -d "$dir/node_modules/pptxgenjs" ]; then
    mkdir -p "$dir"
    (cd "$dir" && npm init -y >/dev/null && npm install pptxgenjs@4.0.1)
fi
for source in extras graphics; do
    (cd "$dir" && NODE_PATH="$dir/node_modules" node "$here/$source-pptxgenjs.cjs" "$here")
done
soffice -env:UserInstallation="file://$profile" --headless --convert-to odp --outdir "$out" \
    "$here/graphics-pptxgenjs.pptx"
mv "$out/graphics-pptxgenjs.odp" "$here/graphics-impress.odp"
rm -rf "$profile" "$out"
