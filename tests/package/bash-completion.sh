#!/usr/bin/env bash
# Completes command lines with data/kelvane.bash-completion as bash would, and compares the
# candidates. Needs the bash-completion package.
#   tests/package/bash-completion.sh [COMPLETION-FILE]
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
completion="${1:-$here/data/kelvane.bash-completion}"
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1090
source "$completion"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir reports
touch claims.edi remit.835 PAYMENTS.X12 enrol.834 export.txt notes.md report.pdf OLD.PDF

passed=0
failed=0
# expect LINE CANDIDATES...: completes LINE (the word under the cursor is its last one, empty when
# it ends with a space) and checks that the candidates are exactly CANDIDATES.
expect() {
    local line="$1"
    shift
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$line"
    COMP_POINT=${#line}
    COMPREPLY=()
    _kelvane kelvane "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got want
    got="$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ')"
    want="$(printf '%s\n' "$@" | sed '/^$/d' | sort | tr '\n' ' ')"
    if [[ $got == "$want" ]]; then
        ((passed++))
    else
        ((failed++))
        echo "FAIL: '$line'"
        echo "  expected: $want"
        echo "  got:      $got"
    fi
}

x12=(claims.edi remit.835 PAYMENTS.X12 enrol.834 export.txt reports)

# Options, by prefix.
expect "kelvane -" --dump-tree --dump-json --dump-csv --spreadsheet --check --envelope-only \
    --export-pdf --output-dir --ack999 --date --time --control-number --help --version
expect "kelvane --d" --dump-tree --dump-json --dump-csv --date
expect "kelvane --ex" --export-pdf
expect "kelvane --version " ''

# A file to view or to read in a mode: X12 names in either case, and folders to walk into.
expect "kelvane " "${x12[@]}"
expect "kelvane claims.edi " "${x12[@]}"
expect "kelvane --dump-tree " "${x12[@]}"
expect "kelvane --dump-json r" remit.835 reports
expect "kelvane --check P" PAYMENTS.X12
expect "kelvane --dump-csv " "${x12[@]}"
expect "kelvane --check claims.edi " "${x12[@]}"
expect "kelvane --ack999 " "${x12[@]}"
expect "kelvane --ack999 claims.edi --date " ''

# --export-pdf INPUT [OUTPUT.pdf]: an X12 input, then a PDF destination or a folder, then nothing.
expect "kelvane --export-pdf " "${x12[@]}"
expect "kelvane --export-pdf claims.edi " report.pdf OLD.PDF reports
expect "kelvane --export-pdf claims.edi rep" report.pdf reports
expect "kelvane --export-pdf claims.edi out.pdf " ''
# Words that begin with "-" are not operands; words before the option are not its operands.
expect "kelvane --export-pdf -q claims.edi " report.pdf OLD.PDF reports
expect "kelvane remit.835 --export-pdf " "${x12[@]}"
# --output-dir FOLDER: a folder, and then every operand is an input, wherever the option stands.
expect "kelvane --export-pdf --output-dir " reports
expect "kelvane --export-pdf --output-dir reports claims.edi " "${x12[@]}"
expect "kelvane --output-dir reports --export-pdf claims.edi remit.835 " "${x12[@]}"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
