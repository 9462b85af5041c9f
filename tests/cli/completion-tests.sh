#!/usr/bin/env bash
# The completion scripts of marrowgate-import, each loaded by its own shell and asked to
# complete, as a user's Tab would: bash through its completion function, zsh through a
# real line editor on a pseudo-terminal (zpty) with compinit, fish through complete -C.
#   completion-tests.sh PROGRAM
set -uo pipefail
program="$1"
source "$(dirname "$0")/checks.sh"
cd "$work" || exit 1
mkdir -p zsh-functions only-a-folder
touch only-a-file
for shell in bash zsh fish; do
    "$program" --completion "$shell" >"$work/completion.$shell" || fail "--completion $shell"
done
cp "$work/completion.zsh" zsh-functions/_marrowgate-import
expect 2 "--completion of an unknown shell" -- "$program" --completion tcsh

# Each case: what is typed (the last word unfinished), then the word a Tab gives.
cases=(
    "--fr|--from"
    "--from st|steam"
    "--completion z|zsh"
    "-C only|only-a-folder"
    "--disc only|only-a-folder"
    "--dir|--directory"
)

completes_in_bash() {  # TYPED: the candidates, one a line
    bash --norc -c 'source "$1"; read -ra COMP_WORDS <<<"marrowgate-import $2"; [[ "$2" == *" " ]] && COMP_WORDS+=("")
                    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _marrowgate_import; printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$work/completion.bash" "$1"
}
completes_in_fish() { fish --no-config -c 'source $argv[1]; complete -C "marrowgate-import $argv[2]"' "$work/completion.fish" "$1" | cut -f1; }
# zsh: the line is typed into an interactive shell with compinit, Tab pressed, and the line
# as completed made into a command that writes it to a file.
cat >"$work/type-a-line.zsh" <<'EOF'
zmodload zsh/zpty || exit 1
rm -f zsh-line
zpty z 'zsh -f -i'
zpty -w z 'PS1=""; fpath=($PWD/zsh-functions $fpath); autoload -Uz compinit; compinit -u -D'
zpty -w -n z "marrowgate-import $1"$'\t'
sleep 0.2
zpty -w -n z $'\C-a'"print -r -- "
zpty -w z $'\C-e'" >zsh-line"
for _ in {1..200}; do [[ -s zsh-line ]] && break; sleep 0.05; done
zpty -d z
EOF
completes_in_zsh() { zsh -f "$work/type-a-line.zsh" "$1"; awk '{ print $NF }' zsh-line 2>/dev/null; }

for entry in "${cases[@]}"; do
    typed="${entry%%|*}" want="${entry#*|}"
    completes_in_bash "$typed" | grep -qx -- "$want/\?" || fail "bash: '$typed' does not complete to $want: $(completes_in_bash "$typed" | tr '\n' ' ')"
    completes_in_fish "$typed" | grep -qx -- "$want/\?" || fail "fish: '$typed' does not complete to $want: $(completes_in_fish "$typed" | tr '\n' ' ')"
    got="$(completes_in_zsh "$typed")"
    [ "${got%/}" = "$want" ] || fail "zsh: '$typed' completes to '$got', not $want"
done
# A folder's value is a folder, never a file
! completes_in_bash "-C only-a-f" | grep -q only-a-file || fail "bash: -C offers a file"
! completes_in_fish "-C only-a-f" | grep -q only-a-file || fail "fish: -C offers a file"

finish "completion"
