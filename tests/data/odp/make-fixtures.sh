#!/bin/sh
# Regenerates deck.odp, deck.otp and deck-lo.fodp from deck.fodp (hand-written) with LibreOffice (7.4)
# headless, in a private profile. deck-lo.fodp is LibreOffice's own flat form of deck.odp.
set -e
cd "$(dirname "$0")"
profile=-env:UserInstallation=file:///tmp/lo-fixtures-odp
soffice $profile --headless --convert-to odp --outdir . deck.fodp
soffice $profile --headless --convert-to otp --outdir . deck.fodp
tmp=$(mktemp -d)
soffice $profile --headless --convert-to fodp --outdir "$tmp" deck.odp
mv "$tmp/deck.fodp" deck-lo.fodp
rmdir "$tmp"
