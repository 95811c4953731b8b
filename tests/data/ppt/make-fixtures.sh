#!/bin/sh
# Regenerates sample.ppt from sample.fodp with LibreOffice (7.4) headless, in a private profile.
# The tests build the other binary files they need (incremental saves, placeholder text kept only in
# the slide list, Latin-1 text, damaged containers) from sample.ppt.
set -e
cd "$(dirname "$0")"
soffice -env:UserInstallation=file:///tmp/lo-fixtures-ppt --headless --convert-to ppt --outdir . sample.fodp
