#!/usr/bin/env bash
# cli-docs-test.sh QUORVANE-CLI MAN-SOURCE COMPLETION
# Fails when a sub-command or an option that quorvane-cli's help prints is missing from the manual
# page's source or from the bash completion, or when the completion does not know that an option
# takes a value (the help shows one after it).
set -uo pipefail
cli=$1 man=$2 completion=$3
# shellcheck source=/dev/null
if ! source "$completion" || ! declare -F _quorvane_cli_takes_value >/dev/null; then
    echo "FAIL: $completion does not load"
    exit 1
fi
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The options of one help text, from the first column of each line that starts with an option:
# "  -o, --output OUT   the workbook..." gives "-o OUT" and "--output OUT".
options_of() {
    local names value
    sed -n 's/^ \{1,\}\(-[^ ].*\)$/\1/p' | sed 's/  .*//' | while read -r names; do
        value=${names##* }
        [[ $value == -* ]] && value="" || names=${names% *}
        tr -d ',' <<<"$names" | tr ' ' '\n' | sed "s/\$/ $value/"
    done
}

# check HELP-ARGUMENTS COMPLETION-LIST [some]: every option of that help text; with "some", the
# help must list at least one.
check() {
    local list=$2 help option value
    help=$("$cli" $1) || { fail "quorvane-cli $1 failed"; return; }
    while read -r option value; do
        [[ -n $option ]] || continue
        grep -qF -- "*$option*" "$man" || fail "$option (quorvane-cli $1) has no entry in $man"
        [[ " ${!list} " == *" $option "* ]] || fail "$option (quorvane-cli $1) is missing from \$$list in $completion"
        if [[ -n $value ]] && ! _quorvane_cli_takes_value "$option"; then
            fail "$option takes a value, but _quorvane_cli_takes_value does not know it"
        elif [[ -z $value ]] && _quorvane_cli_takes_value "$option"; then
            fail "$option takes no value, but _quorvane_cli_takes_value says it does"
        fi
    done < <(options_of <<<"$help")
    [[ ${3:-} != some || -n $(options_of <<<"$help") ]] || fail "quorvane-cli $1 lists no option"
}

check --help _quorvane_cli_options some
check "text --help" _quorvane_cli_text_options
check "import --help" _quorvane_cli_import_options some

# The sub-commands: the first word of each line under "Commands:".
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][-a-z]*\) .*/\1/p')
[[ -n $commands ]] || fail "quorvane-cli --help lists no command"
for command in $commands; do
    grep -qF -- "*$command*" "$man" || fail "the command $command has no entry in $man"
    [[ " $_quorvane_cli_commands " == *" $command "* ]] || fail "the command $command is missing from the completion"
done

((failures == 0)) && echo "every command and option of quorvane-cli is documented and completed"
((failures == 0))
