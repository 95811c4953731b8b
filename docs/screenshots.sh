#!/usr/bin/env bash
# Makes docs/main-window.png and docs/result-window.png from an installed program under Xvfb:
# the sample files loaded, one sheet per file, split at spaces, Start pressed.
# Needs xvfb-run, openbox, xdotool and ImageMagick. Usage: docs/screenshots.sh [PREFIX] (default /opt/quorvane,
# where `cmake --install build --prefix /opt/quorvane` put the program).
set -euo pipefail
prefix=${1:-/opt/quorvane}
docs=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
cat >"$work/drive.sh" <<SCRIPT
#!/usr/bin/env bash
openbox >/dev/null 2>&1 &
wm=\$!
sleep 1
HOME=$work XDG_CONFIG_HOME=$work/config "$prefix/bin/quorvane" &
program=\$!
sleep 3
win=\$(xdotool search --onlyvisible --name '^Quorvane\$' | head -1)
xdotool mousemove --window \$win 400 231 click 1   # Load Sample/Example Files
sleep 2
xdotool key --clearmodifiers Escape               # do not open the samples folder
sleep 1
xdotool mousemove --window \$win 40 299 click 1    # Option6: a sheet per file
xdotool mousemove --window \$win 40 367 click 1    # Option2: split at spaces
xdotool mousemove --window \$win 100 62 click 1    # select the third entry
xdotool mousemove --window \$win 130 231
sleep 1
import -frame -window \$win "$work/main.png"
xdotool mousemove --window \$win 268 483 click 1   # Start Importing PowerPoint Files
sleep 3
result=\$(xdotool search --onlyvisible --name '^Book1' | head -1)
import -frame -window \$result "$work/result.png"
kill \$program \$wm
SCRIPT
chmod +x "$work/drive.sh"
xvfb-run -a -s "-screen 0 1280x900x24" "$work/drive.sh"
convert "$work/main.png" -depth 8 "$docs/main-window.png"
convert "$work/result.png" -depth 8 "$docs/result-window.png"
rm -rf "$work"
