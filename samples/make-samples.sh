#!/bin/sh
# Rebuilds the sample presentations in Samples/ from the flat OpenDocument sources in sources/.
# Needs python3 and LibreOffice; the build itself only copies the committed results.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
python3 "$here/sources/write-fodp.py"
soffice -env:UserInstallation=file:///tmp/lo-quorvane-samples --headless \
  --convert-to pptx --outdir "$here/Samples" "$here"/sources/*.fodp
