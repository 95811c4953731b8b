#!/usr/bin/env bash
# completion-test.sh COMPLETION: what the bash completion of quorvane-cli offers, in a folder of
# sample names, without the bash-completion package.
set -uo pipefail
completion=$1
# shellcheck source=/dev/null
source "$completion" || exit 1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1
mkdir "deck folder"
touch talk.pptx OLD.PPT notes.odp "with space.pptx" "star*.pptx" readme.txt out.xlsx out.ods out.csv

failures=0
# expect "WORDS..." "EXPECTED": completing the last word of the command line WORDS offers EXPECTED
# (sorted, separated by "|").
expect() {
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _quorvane_cli
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd'|')
    if [[ $got != "$2" ]]; then
        echo "FAIL: '$1' offers '$got', expected '$2'"
        failures=$((failures + 1))
    fi
}

expect "quorvane-cli " "--help|--version|-h|import|text"
expect "quorvane-cli im" "import"
expect "quorvane-cli import --s" "--skip-hidden|--split|--split-text"
expect "quorvane-cli import --split " "comma|none|space|tab|text"
expect "quorvane-cli import --split = t" "tab|text"
expect "quorvane-cli import --ext ppt" "ppt|ppt\\*|pptm|pptx"
expect "quorvane-cli import --split-text " ""
# Presentations (any case) and folders; after -o, workbooks and folders.
expect "quorvane-cli import --per-file-sheets " "OLD.PPT|deck folder|notes.odp|star*.pptx|talk.pptx|with space.pptx"
expect "quorvane-cli import -o " "deck folder|out.csv|out.ods|out.xlsx"
expect "quorvane-cli import --output = o" "out.csv|out.ods|out.xlsx"
expect "quorvane-cli text t" "talk.pptx"
# After "--" an argument that starts with "-" is a file.
expect "quorvane-cli text -- -" ""
expect "quorvane-cli text -" "--ext|--files-from|--help|--include|--jobs|--json|--null|--password-file|--skip-hidden|-0|-h|-j"
expect "quorvane-cli text --include notes,t" "notes,tables"
expect "quorvane-cli text --include notes,c" "notes,charts|notes,comments"
expect "quorvane-cli import --columns kind,h" "kind,hidden"
expect "quorvane-cli import --columns s" "shape|slide"

((failures == 0)) && echo "the completion offers what it should"
((failures == 0))
