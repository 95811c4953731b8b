#!/usr/bin/env bash
# check-package.sh DEB VERSION: checks the .deb without installing it. Its control fields, its exact
# list of files, and the files themselves as they are shipped: the desktop entry and the AppStream
# metainfo pass their validators, both manual pages render without warnings, the icons have the sizes
# their folders say, the link to the program resolves, and the completion is valid bash. Then lintian,
# as Debian checks a package: no error, no warning and no hardening tag; the other tags it gives (of
# the informational kind) are listed.
set -euo pipefail
deb=$1 version=$2
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
failures=0
fail() {
    echo "check-package.sh: $*" >&2
    failures=$((failures + 1))
}

field() { dpkg-deb --field "$deb" "$1"; }
[[ $(field Package) == quorvane ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)', the project's is $version"
[[ $(field Architecture) == "$(dpkg --print-architecture)" ]] || fail "Architecture is '$(field Architecture)'"
for name in Maintainer Section Priority Description; do
    [[ -n $(field $name) ]] || fail "no $name field"
done
# Exactly the run-time libraries: those linked, as dpkg-shlibdeps names them on the release it runs on
# (with a soname that changes and, on Debian 13, a t64 suffix), the window's font, and no build package.
depends=$(field Depends)
names=$(sed -E 's/ \([^)]*\)//g; s/ *[,|] */\n/g' <<<"$depends")
for library in libc6 'libqt6core6(t64)?' 'libqt6gui6(t64)?' 'libqt6widgets6(t64)?' 'libzip[0-9]+' 'libarchive13(t64)?' libpugixml1v5 \
    'libminizip1(t64)?' zlib1g libdeflate0 'libnettle8(t64)?' 'fonts-liberation2?'; do
    grep -qxE "$library" <<<"$names" || fail "Depends lacks $library: $depends"
done
[[ $depends != *-dev* ]] || fail "Depends names a build package: $depends"
[[ $(field Recommends) == *bash-completion* ]] || fail "Recommends lacks bash-completion (the completion needs it)"

# Every file and link of the package; a new installed file is added here.
expected="/usr/bin/quorvane -> ../lib/quorvane/quorvane
/usr/bin/quorvane-cli
/usr/lib/quorvane/drag.ico
/usr/lib/quorvane/quorvane
/usr/share/applications/quorvane.desktop
/usr/share/bash-completion/completions/quorvane-cli
/usr/share/doc/quorvane/changelog.Debian.gz
/usr/share/doc/quorvane/copyright
/usr/share/icons/hicolor/128x128/apps/quorvane.png
/usr/share/icons/hicolor/256x256/apps/quorvane.png
/usr/share/icons/hicolor/48x48/apps/quorvane.png
/usr/share/icons/hicolor/scalable/apps/quorvane.svg
/usr/share/man/man1/quorvane-cli.1.gz
/usr/share/man/man1/quorvane.1.gz
/usr/share/metainfo/io.github.quorvane.Quorvane.metainfo.xml
/usr/share/quorvane/Samples/Field Trip Report.pptx
/usr/share/quorvane/Samples/Lecture 2 - Cell Biology.pptx
/usr/share/quorvane/Samples/Product Launch EN-DE.pptx
/usr/share/quorvane/Samples/Quarterly Review.pptx
/usr/share/quorvane/Samples/Training Schedule.pptx"
# The name is what follows the date and time columns.
contents=$(dpkg-deb --contents "$deb" | grep -v '^d' | sed -E 's/^([^ ]+ +){5}\.//' | LC_ALL=C sort)
if [[ $contents != "$(LC_ALL=C sort <<<"$expected")" ]]; then
    fail "the files differ from the expected ones (< expected, > in the package):"
    diff <(LC_ALL=C sort <<<"$expected") <(echo "$contents") >&2 || true
fi

dpkg-deb --extract "$deb" "$unpacked"
share=$unpacked/usr/share
desktop-file-validate "$share/applications/quorvane.desktop" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml >"$unpacked/appstream.log" ||
    { cat "$unpacked/appstream.log" >&2; fail "the metainfo is not valid"; }
for page in "$share"/man/man1/*.1.gz; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "$(basename "$page") renders with warnings: $warnings"
done
for size in 48 128 256; do
    file "$share/icons/hicolor/${size}x${size}/apps/quorvane.png" | grep -q "$size x $size" ||
        fail "the ${size}x${size} icon has another size"
done
[[ -x $unpacked/usr/bin/quorvane ]] || fail "usr/bin/quorvane does not lead to the program"
bash -n "$share/bash-completion/completions/quorvane-cli" || fail "the completion is not valid bash"
# The changelog's newest entry is this version, and the copyright file is in the machine-readable
# format with a licence text for every licence it names.
gzip -dc "$share/doc/quorvane/changelog.Debian.gz" >"$unpacked/changelog"
[[ $(dpkg-parsechangelog -l "$unpacked/changelog" -S Version) == "$version" ]] ||
    fail "the changelog's newest entry is not version $version"
copyright=$share/doc/quorvane/copyright
head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not in the machine-readable format"
# A Files paragraph names its licence; a paragraph of its own that begins with License: holds the text.
unexplained=$(awk -v RS= '
    /^Files:|\nFiles:/ { if (match($0, /(^|\n)License: *[^\n]+/)) { name = substr($0, RSTART, RLENGTH)
                                                                   sub(/^\n?License: */, "", name); named[name] = 1 } }
    /^License: *[^\n]+\n /  { name = $0; sub(/^License: */, "", name); sub(/\n.*/, "", name); text[name] = 1 }
    END { for (name in named) if (!(name in text)) print name }' "$copyright")
[[ -z $unexplained ]] || fail "the copyright file has no text of the licences: $unexplained"

# lintian's exit status only says whether it ran; which tags count is decided here.
lintian --display-info --tag-display-limit 0 --fail-on none "$deb" >"$unpacked/lintian.log" 2>&1 ||
    { cat "$unpacked/lintian.log" >&2; fail "lintian did not run"; }
blocking=$(grep -E '^[EW]: |^.: [^ ]+: hardening-' "$unpacked/lintian.log" || true)
informational=$(sed -n 's/^I: [^ ]*: \([^ ]*\).*/\1/p' "$unpacked/lintian.log" | sort -u | paste -sd ' ')
if [[ -n $blocking ]]; then
    fail "lintian $(lintian --print-version) says: $blocking"
else
    echo "check-package.sh: lintian $(lintian --print-version): no error, warning or hardening tag; informational: ${informational:-none}"
fi

((failures == 0)) || exit 1
echo "$(basename "$deb"): fields, files, desktop entry, metainfo, manual pages, icons and lintian are right"
