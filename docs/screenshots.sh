#!/usr/bin/env bash
# Makes the README's screenshots from an installed program under Xvfb, with openbox as the window
# manager: docs/main-window.png (the desktop's default light colours) and docs/main-window-dark.png
# (qt6ct's "darker" colour scheme with the Fusion style), each with the sample files loaded, one
# sheet per file and splitting at spaces chosen; docs/include-menu.png, the window with its Include
# menu open; docs/result-window.png after Start. It also prints
# the contrast of every caption on the white window, measured in the dark screenshot (see
# docs/caption-contrast.py). Then the long names: docs/long-names-list.png (a list of long paths, with
# the hint over one of them) and docs/long-names-run.png (a run whose first file is damaged: the
# error box and the progress bar); and docs/small-screen.png, the whole 1280x1024 screen with the
# program at QT_SCALE_FACTOR=2, tabbed on to Start.
# Needs xvfb-run, openbox, xdotool, qt6ct, ImageMagick, and root or unprivileged user namespaces.
# The clicks are at the controls' places below the window's menu bar (19 pixels high with the
# Liberation faces, 24 in the Fusion style of the dark scheme; 38 at scale 2): each lands on its
# control under both.
# Usage: docs/screenshots.sh [PREFIX] (default /opt/quorvane, where
# `cmake --install build --prefix /opt/quorvane` put the program).
#
# The list shows each file's full path, so the program runs where the package installs it: the prefix
# is laid over /usr (an overlay mount in a mount namespace of the script's own, which nothing else
# sees and which ends with it), and the samples read /usr/share/quorvane/Samples/...
set -euo pipefail
prefix=$(realpath "${1:-/opt/quorvane}")
docs=$(cd "$(dirname "$0")" && pwd)
if [[ $prefix != /usr && -z ${QUORVANE_SCREENSHOTS_NAMESPACE:-} ]]; then
  user=()
  [[ $EUID -eq 0 ]] || user=(--user --map-root-user)
  exec env QUORVANE_SCREENSHOTS_NAMESPACE=1 unshare "${user[@]}" --mount --propagation private "$0" "$prefix"
fi
if [[ $prefix != /usr ]]; then
  mount -t overlay overlay -o "lowerdir=$prefix:/usr" /usr
  prefix=/usr
fi
work=$(mktemp -d /tmp/quorvane-docs-XXXXXX)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/dark/qt6ct"
cat >"$work/dark/qt6ct/qt6ct.conf" <<CONF
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
style=Fusion
CONF

cat >"$work/drive.sh" <<SCRIPT
#!/usr/bin/env bash
# drive.sh NAME [VARIABLE=VALUE...]: starts the program with the variables, fills the window and
# takes NAME.png (with its frame) and NAME-client.png (the window's inside); with RESULT=1 in the
# variables it also opens the Include menu with its letter and takes menu.png (the screen, with the
# window and its open menu), then presses Start and takes result.png.
name=\$1; shift
HOME=$work XDG_CONFIG_HOME=$work/config env "\$@" "$prefix/bin/quorvane" &
program=\$!
sleep 3
win=\$(xdotool search --onlyvisible --name '^Quorvane\$' | head -1)
xdotool mousemove --window \$win 400 250 click 1   # Load Sample/Example Files
sleep 2
xdotool key --clearmodifiers Escape               # do not open the samples folder
sleep 1
xdotool mousemove --window \$win 40 322 click 1    # Option6: a sheet per file
xdotool mousemove --window \$win 40 394 click 1    # Option2: split at spaces
xdotool mousemove --window \$win 100 83 click 1    # select the third entry
xdotool mousemove --window \$win 130 250
sleep 1
import -frame -window \$win "$work/\$name.png"
import -window \$win "$work/\$name-client.png"
if [[ " \$* " == *" RESULT=1 "* ]]; then
  xdotool key --clearmodifiers alt+i               # the Include menu, a window of its own
  sleep 1
  import -window root "$work/menu.png"
  xdotool key --clearmodifiers Escape
  sleep 1
  xdotool mousemove --window \$win 268 502 click 1 # Start Importing PowerPoint Files
  sleep 3
  result=\$(xdotool search --onlyvisible --name '^Book1' | head -1)
  import -frame -window \$result "$work/result.png"
fi
kill \$program
sleep 1
SCRIPT
cat >"$work/session.sh" <<SCRIPT
#!/usr/bin/env bash
openbox >/dev/null 2>&1 &
wm=\$!
sleep 1
"$work/drive.sh" light RESULT=1
"$work/drive.sh" dark QT_QPA_PLATFORMTHEME=qt6ct XDG_CONFIG_HOME=$work/dark
"$work/long.sh"
kill \$wm
SCRIPT
# Long paths in folders with long names: a presentation that cannot be read, whose name is too long
# for the list and the progress bar, and a sample whose name fits the list.
long="$work/corpus/Quarterly reviews of the northern region 2019/drafts and final versions for the board"
mkdir -p "$long"
printf 'no presentation' >"$long/Quarterly review of the northern region for the board, March 2019, draft 3.pptx"
cp "$prefix/share/quorvane/Samples/Quarterly Review.pptx" "$long/Final version for the board.pptx"

cat >"$work/long.sh" <<SCRIPT
#!/usr/bin/env bash
# Adds the two long paths with Add PowerPoint File(s) (typed into the file dialog), shows the hint
# over the first, then starts: the damaged first file stops the run at its error box.
HOME=$work XDG_CONFIG_HOME=$work/config "$prefix/bin/quorvane" &
program=\$!
sleep 3
win=\$(xdotool search --onlyvisible --name '^Quorvane\$' | head -1)
for file in "$long/"*draft*.pptx "$long/"Final*.pptx; do
  xdotool mousemove --window \$win 136 216 click 1   # Add PowerPoint File(s)
  sleep 2
  xdotool type --delay 2 "\$file"
  xdotool key Return
  sleep 1
done
xdotool mousemove --window \$win 300 59           # over the first entry: its hint
sleep 2
import -window root "$work/long-list.png"
xdotool mousemove --window \$win 268 502 click 1   # Start Importing PowerPoint Files
sleep 3
import -window root "$work/long-run.png"
kill \$program
sleep 1
SCRIPT

cat >"$work/small.sh" <<SCRIPT
#!/usr/bin/env bash
# The program at scale 2 on the 1280x1024 screen: samples loaded, then from the text box Tab on to Start.
openbox >/dev/null 2>&1 &
wm=\$!
sleep 1
HOME=$work XDG_CONFIG_HOME=$work/config QT_SCALE_FACTOR=2 "$prefix/bin/quorvane" &
program=\$!
sleep 3
win=\$(xdotool search --onlyvisible --name '^Quorvane\$' | head -1)
xdotool mousemove --window \$win 800 500 click 1   # Load Sample/Example Files
sleep 2
xdotool key --clearmodifiers Escape                # do not open the samples folder
sleep 1
xdotool mousemove --window \$win 864 878 click 1   # into the text box
xdotool key Tab                                    # on to Start, which scrolls into view
xdotool mousemove 1279 1023
sleep 1
import -window root "$work/small.png"
kill \$program
sleep 1
kill \$wm
SCRIPT
chmod +x "$work/drive.sh" "$work/session.sh" "$work/long.sh" "$work/small.sh"
xvfb-run -a -s "-screen 0 1280x900x24" "$work/session.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/small.sh"

python3 "$docs/caption-contrast.py" "$work/dark-client.png"
# Palette PNGs keep the files small.
convert "$work/light.png" -strip PNG8:"$docs/main-window.png"
convert "$work/dark.png" -strip PNG8:"$docs/main-window-dark.png"
convert "$work/result.png" -strip PNG8:"$docs/result-window.png"
convert "$work/menu.png" -trim +repage -strip PNG8:"$docs/include-menu.png"
# The long names: the windows without the empty screen around them.
convert "$work/long-list.png" -trim +repage -strip PNG8:"$docs/long-names-list.png"
convert "$work/long-run.png" -trim +repage -strip PNG8:"$docs/long-names-run.png"
convert "$work/small.png" -strip PNG8:"$docs/small-screen.png"
