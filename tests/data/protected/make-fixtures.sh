#!/bin/sh
# Regenerates the password-protected fixtures of this folder, each from an unprotected file of the
# test data, with the real producers:
#   agile.pptx, standard.pptx   officecrypto-tool 0.0.19 (npm), from ../pptx/pptxgenjs-deck.pptx
#                               (encrypt-pptx.cjs: Agile with "Zebra-7 Ünïcode", Standard with "standard")
#   deck.odp                    LibreOffice (7.4) through python3-uno, storeToURL with a Password
#                               ("odp-secret"), from ../odp/deck.fodp (store-with-password.py)
#   Password_Protected-hello.ppt  copied from the public test data (see README.md); not made here
# Needs node/npm, soffice and python3-uno (apt-get install libreoffice-impress python3-uno). The tool
# is installed into $OFFICECRYPTO_DIR (default /tmp/npm-officecrypto), never into the source tree.
# The tests only read the results.
set -eu
here=$(cd "$(dirname "$0")" && pwd)

dir=${OFFICECRYPTO_DIR:-/tmp/npm-officecrypto}
if [ ! -d "$dir/node_modules/officecrypto-tool" ]; then
    mkdir -p "$dir"
    (cd "$dir" && npm init -y >/dev/null && npm install officecrypto-tool@0.0.19)
fi
NODE_PATH="$dir/node_modules" node "$here/encrypt-pptx.cjs" "$here/../pptx/pptxgenjs-deck.pptx" "$here"

profile=$(mktemp -d)
pipe=quorvane-fixtures-$$
soffice -env:UserInstallation="file://$profile" --headless --invisible --norestore \
    --accept="pipe,name=$pipe;urp;" &
office=$!
/usr/bin/python3 "$here/store-with-password.py" "$here/../odp/deck.fodp" "$here/deck.odp" odp-secret "$pipe"
wait "$office" || true
rm -rf "$profile"
