#!/usr/bin/env bash
# dozu-cli's bash completion held against the tool's own help: every command
# and option that the help lists is offered, and file names by the type that
# an option writes.
#   completion_test.sh DOZU_CLI COMPLETION_SCRIPT
set -uo pipefail
cli=$(realpath "$1")
source /usr/share/bash-completion/bash_completion
source "$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch model.tpg model.glb model.obj model.html notes.txt

# The completions of the last word (an empty one to complete from nothing).
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _dozu_cli dozu-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

failures=0
expect() {  # WHAT GOT WANTED
    if [ "$2" != "$3" ]; then
        printf '%s: got [%s], wanted [%s]\n' "$1" "$(echo $2)" "$(echo $3)"
        failures=$((failures + 1))
    fi
}
offered() {  # WHAT OFFERED NAMES...
    local what=$1 offered=$2
    shift 2
    for name in "$@"; do
        grep -qx -- "$name" <<< "$offered" || { echo "$what: $name is not offered"; failures=$((failures + 1)); }
    done
}
options_in() { sed -nE 's/^ +(-h,)?(--[a-z0-9-]+).*/\2/p'; }

help=$("$cli" --help) && run_help=$("$cli" run --help) && compile_help=$("$cli" compile --help) &&
    link_help=$("$cli" link --help) && html_help=$("$cli" html --help) || exit 1
offered "commands" "$(complete_words dozu-cli '')" \
    $(sed -nE '/^Subcommands:/,/^$/ s/^  ([a-z]+) .*/\1/p' <<< "$help") $(options_in <<< "$help")
offered "run options" "$(complete_words dozu-cli run x --)" $(options_in <<< "$run_help")
offered "compile options" "$(complete_words dozu-cli compile --)" $(options_in <<< "$compile_help")
offered "link options" "$(complete_words dozu-cli link x --)" $(options_in <<< "$link_help")
offered "html options" "$(complete_words dozu-cli html x -)" $(sed -nE 's/^ +(-o,)?(--[a-z0-9-]+).*/\2/p' <<< "$html_help") -o

expect "program" "$(complete_words dozu-cli run '')" "model.tpg"
expect "text program" "$(complete_words dozu-cli run --text '')" "$(printf '%s\n' model.glb model.html model.obj model.tpg notes.txt)"
expect "--glb file" "$(complete_words dozu-cli run model.tpg --glb '')" "model.glb"
expect "--obj file" "$(complete_words dozu-cli run model.tpg --obj m)" "model.obj"
expect "compile input" "$(complete_words dozu-cli compile '')" "model.tpg"
expect "link program" "$(complete_words dozu-cli link '')" "model.tpg"
expect "html page" "$(complete_words dozu-cli html model.tpg -o '')" "model.html"

[ $failures -eq 0 ] && echo "completion offers what the help lists"
exit $((failures > 0))
