#!/usr/bin/env bash
# check-install.sh DEB: installs the .deb as a user would (`apt-get install ./….deb`, with what it
# recommends), checks that both programs run, that the desktop menu has the program and the software
# centre its description, then removes it (`apt-get remove`) and checks that none of its files is
# left. Run as root; it changes the system it runs on, so it is meant for a throwaway one
# (scripts/test-in-debian.sh runs it in its chroot).
set -euo pipefail
deb=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "check-install.sh: $*" >&2
    failures=$((failures + 1))
}
export DEBIAN_FRONTEND=noninteractive

apt-get install -y -qq "$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; exit 1; }
installed=$(dpkg-query -W -f='${Version}' quorvane)
echo "check-install.sh: quorvane $installed installed with: $(dpkg-query -W -f='${Depends}' quorvane)"

# The command line on the installed samples, into both kinds of output.
samples=/usr/share/quorvane/Samples
# --version names the program's own version: the package's without its Debian revision.
quorvane-cli --version | grep -qF "${installed%-*}" || fail "quorvane-cli --version does not say ${installed%-*}"
quorvane-cli --version | grep -qF "Apache License" || fail "quorvane-cli --version does not name the licence"
quorvane-cli text "$samples/Quarterly Review.pptx" >"$work/text.txt" || fail "quorvane-cli text failed"
[[ -s $work/text.txt ]] || fail "quorvane-cli text printed nothing for Quarterly Review.pptx"
quorvane-cli import --per-file-sheets "$samples" -o "$work/samples.xlsx" || fail "quorvane-cli import -o .xlsx failed"
quorvane-cli import "$samples" -o "$work/samples.csv" || fail "quorvane-cli import -o .csv failed"
[[ $(file -b --mime-type "$work/samples.xlsx") == application/* ]] || fail "samples.xlsx is not a workbook"

# The desktop program: started from the menu's command, it must still be running after a few
# seconds (it ends at once when it cannot start), and end on SIGTERM.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/quorvane.desktop)
command -v "${exec_line%% *}" >/dev/null || fail "the menu's command '$exec_line' is not on the PATH"
status=0
HOME=$work QT_QPA_PLATFORM=offscreen timeout 5 "${exec_line%% *}" >"$work/gui.log" 2>&1 || status=$?
((status == 124)) || { cat "$work/gui.log" >&2; fail "quorvane ended by itself with status $status"; }
desktop-file-validate /usr/share/applications/quorvane.desktop || fail "the installed desktop entry is not valid"
[[ -f /usr/share/icons/hicolor/48x48/apps/quorvane.png ]] || fail "no menu icon"
appstreamcli validate --no-net /usr/share/metainfo/*.metainfo.xml >"$work/appstream.log" ||
    { cat "$work/appstream.log" >&2; fail "the installed metainfo is not valid"; }
man -w quorvane >/dev/null && man -w quorvane-cli >/dev/null || fail "a manual page is not found by man"

# Removing it leaves nothing behind: every file it installed is gone, and a folder that is still there
# belongs to another package.
dpkg-query -L quorvane >"$work/files"
apt-get remove -y -qq quorvane >"$work/remove.log" 2>&1 || { cat "$work/remove.log" >&2; exit 1; }
while IFS= read -r path; do
    [[ -e $path || -L $path ]] || continue
    if [[ -d $path && ! -L $path ]] && dpkg-query -S "$path" >/dev/null 2>&1; then continue; fi
    fail "left behind after apt-get remove: $path"
done <"$work/files"
status=$(dpkg-query -W -f='${db:Status-Abbrev}' quorvane 2>/dev/null || true)
[[ -z $status || $status == un* ]] || fail "after apt-get remove its state is '$status', not gone"

((failures == 0)) || exit 1
echo "check-install.sh: $(basename "$deb") installs, runs, is in the menu and removes cleanly"
