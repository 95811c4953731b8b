# Bash completion for quorvane-cli: sub-commands, options, the values of --split, --ext and --csv, and file
# names (presentations, and .xlsx/.ods/.csv after -o). Works with or without the bash-completion package.
#
# Every option that "quorvane-cli --help" or a sub-command's --help prints is listed below (a test
# checks it). A new option goes into its command's list, and, when it takes a value, into
# _quorvane_cli_value (what to offer) and _quorvane_cli_takes_value.

_quorvane_cli_commands="text import"
_quorvane_cli_options="-h --help --version"
_quorvane_cli_text_options="--json --include --skip-hidden --ext --files-from -0 --null --password-file -j --jobs -h --help"
_quorvane_cli_import_options="-o --output --per-file-sheets --split --split-text --ext --csv --columns --header --include --skip-hidden --files-from -0 --null --password-file -j --jobs --failures-sheet --timings -h --help"

# The presentations the readers take (their content decides; these are the names they usually carry).
_quorvane_cli_presentations='pptx|pptm|ppsx|ppsm|potx|potm|ppt|pps|pot|odp|otp|fodp'

# Whether option $1 takes the next argument as its value.
_quorvane_cli_takes_value() {
    case $1 in
        -o | --output | --split | --split-text | --ext | --csv | --columns | --include | --files-from | --password-file | -j | --jobs) return 0 ;;
    esac
    return 1
}

# Adds the folders and the files whose names end in one of the extensions $1 (an alternation, any
# case) that start with $2.
_quorvane_cli_files() {
    local path
    compopt -o filenames 2>/dev/null
    while IFS= read -r path; do
        # compgen keeps a leading "~/" as typed; the test needs the folder it stands for.
        if [[ -d ${path/#\~\//$HOME/} ]]; then
            COMPREPLY+=("$path")
        elif [[ ${path,,} =~ \.($1)$ ]]; then
            COMPREPLY+=("$path")
        fi
    done < <(compgen -f -- "$2")
}

# Adds the words after $1 that start with $1. Unlike compgen -W, it expands none of them (\*).
_quorvane_cli_words() {
    local cur=$1 word
    shift
    for word; do
        [[ $word == "$cur"* ]] && COMPREPLY+=("$word")
    done
}

# Adds the words after $1 that complete the last item of the comma-separated list $1.
_quorvane_cli_list() {
    local cur=$1 head="" word
    shift
    [[ $cur == *,* ]] && head=${cur%,*},
    for word; do
        [[ $head$word == "$cur"* ]] && COMPREPLY+=("$head$word")
    done
    compopt -o nospace 2>/dev/null
}

# Completes the value $2 of option $1.
_quorvane_cli_value() {
    case $1 in
        --split) _quorvane_cli_words "$2" none space comma tab text ;;
        --ext) _quorvane_cli_words "$2" 'ppt\*' pptx pptm ppsx ppt odp fodp '\*' ;;
        --csv) _quorvane_cli_words "$2" spreadsheets exact ;;
        -o | --output) _quorvane_cli_files 'xlsx|ods|csv' "$2" ;;
        --columns) _quorvane_cli_list "$2" path file slide shape name kind hidden ;;
        --include) _quorvane_cli_list "$2" notes tables groups smartart charts comments alt ;;
        --files-from | --password-file)
            compopt -o filenames 2>/dev/null
            COMPREPLY+=($(compgen -f -- "$2"))
            ;;
        --split-text) ;; # any text of the user's
        -j | --jobs) _quorvane_cli_words "$2" "$(nproc 2>/dev/null || echo 1)" 1 ;;
    esac
}

_quorvane_cli() {
    COMPREPLY=()
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--split=co": bash splits the word at "=", so the option is one or two words back.
    if [[ $cur == = ]]; then
        _quorvane_cli_value "$prev" ""
        return
    fi
    if [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        _quorvane_cli_value "${COMP_WORDS[COMP_CWORD - 2]}" "$cur"
        return
    fi

    # The sub-command is the first word after the program; "--" ends a sub-command's options.
    local command=${COMP_WORDS[1]} i options_ended=""
    if [[ $COMP_CWORD -eq 1 ]]; then
        _quorvane_cli_words "$cur" $_quorvane_cli_commands $_quorvane_cli_options
        return
    fi
    for ((i = 2; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -- ]] && options_ended=1
    done

    case $command in
        text)
            if [[ -z $options_ended ]] && _quorvane_cli_takes_value "$prev"; then
                _quorvane_cli_value "$prev" "$cur"
            elif [[ -z $options_ended && $cur == -* ]]; then
                _quorvane_cli_words "$cur" $_quorvane_cli_text_options
            else
                _quorvane_cli_files "$_quorvane_cli_presentations" "$cur"
            fi
            ;;
        import)
            if [[ -z $options_ended ]] && _quorvane_cli_takes_value "$prev"; then
                _quorvane_cli_value "$prev" "$cur"
            elif [[ -z $options_ended && $cur == -* ]]; then
                _quorvane_cli_words "$cur" $_quorvane_cli_import_options --
            else
                _quorvane_cli_files "$_quorvane_cli_presentations" "$cur"
            fi
            ;;
    esac
}

complete -F _quorvane_cli quorvane-cli
