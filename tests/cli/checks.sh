# Sourced by the command-line tests: a scratch folder ($work), and checks that count
# failures; `finish NAME` ends the script with the count as its status.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect STATUS DESCRIPTION -- command...: runs it, keeps stdout/stderr in $work/out, $work/err
expect() {
    local want="$1" what="$2"; shift 3
    "$@" >"$work/out" 2>"$work/err"
    local got=$?
    [ "$got" -eq "$want" ] || fail "$what: exit status $got, expected $want; stderr: $(cat "$work/err")"
}
contains() { grep -qF -- "$2" "$1" || fail "$3: '$2' not in $(basename "$1"): $(cat "$1")"; }
empty() { [ ! -s "$1" ] || fail "$2: $(basename "$1") not empty: $(cat "$1")"; }

finish() {
    [ "$failures" -eq 0 ] && echo "all $1 checks passed"
    exit "$failures"
}
