#!/usr/bin/env bash
# Checks a built Kelvane package; builds nothing itself:
#   ./package && tools/check-package.sh build-package/kelvane_*.deb [SOURCE-TREE]
# Runs lintian, the AppStream, desktop-entry and manual-page validators, and compares the options
# of `kelvane --help` with the manual page's OPTIONS and with the bash completion, all on the files
# inside the package. Ends with "N passed, N failed"; the status is 1 when a check failed.
set -uo pipefail

if [[ $# -lt 1 || $# -gt 2 || ! -f $1 ]]; then
    echo "usage: tools/check-package.sh PACKAGE.deb [SOURCE-TREE]" >&2
    exit 2
fi
deb="$(realpath "$1")"
src="$(realpath "${2:-$(dirname "${BASH_SOURCE[0]}")/..}")"
"$src/tools/install-deps.sh" package >&2 || exit 1

root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root" || exit 1
kelvane="$root/usr/bin/kelvane"
manpage="$root/usr/share/man/man1/kelvane.1.gz"
metainfo="$root/usr/share/metainfo/io.github.kelvane.Kelvane.metainfo.xml"
desktop="$root/usr/share/applications/io.github.kelvane.Kelvane.desktop"
completion="$root/usr/share/bash-completion/completions/kelvane"

passed=0
failed=0
# check NAME COMMAND...: runs COMMAND, which passes by exiting 0; its output is shown on failure.
check() {
    local name="$1" output
    shift
    if output="$("$@" 2>&1)"; then
        ((passed++))
        echo "ok    $name"
    else
        ((failed++))
        echo "FAIL  $name"
        [[ -n $output ]] && sed 's/^/      /' <<<"$output"
    fi
}

# Kept lintian warnings, as tags to pass to --suppress-tags, each with its reason: none so far.
kept_warnings=()
lintian_check() {
    local options=(--fail-on error,warning --info)
    [[ $(id -u) -eq 0 ]] && options+=(--allow-root)
    if [[ ${#kept_warnings[@]} -gt 0 ]]; then
        local IFS=,
        options+=(--suppress-tags "${kept_warnings[*]}")
    fi
    local output status
    output="$(lintian "${options[@]}" "$deb" 2>&1)"
    status=$?
    printf '%s\n' "$output"
    return "$status"
}

files_check() {
    local missing=0 path
    for path in usr/bin/kelvane usr/share/applications/io.github.kelvane.Kelvane.desktop \
        usr/share/mime/packages/kelvane-x12.xml \
        usr/share/icons/hicolor/scalable/apps/io.github.kelvane.Kelvane.svg \
        usr/share/metainfo/io.github.kelvane.Kelvane.metainfo.xml usr/share/man/man1/kelvane.1.gz \
        usr/share/bash-completion/completions/kelvane usr/share/doc/kelvane/copyright \
        usr/share/doc/kelvane/changelog.gz; do
        [[ -f $root/$path ]] || { echo "missing: /$path"; missing=1; }
    done
    # The Python module, with its stubs.
    compgen -G "$root/usr/lib/python3/dist-packages/kelvane.cpython-*.so" >/dev/null ||
        { echo "missing: the Python module"; missing=1; }
    [[ -f $root/usr/lib/python3/dist-packages/kelvane-stubs/__init__.pyi ]] ||
        { echo "missing: the Python stubs"; missing=1; }
    # The desktop's caches belong to its own packages' triggers.
    for path in usr/share/mime/mime.cache usr/share/applications/mimeinfo.cache; do
        [[ ! -e $root/$path ]] || { echo "shipped: /$path"; missing=1; }
    done
    return "$missing"
}

# groff prints nothing for a page without mistakes, and exits 0 even with some.
groff_check() {
    local output
    output="$(zcat "$manpage" | groff -ww -z -man 2>&1)"
    printf '%s' "$output"
    [[ -z $output ]]
}

man_renders() {
    local text
    text="$(LC_ALL=C MANWIDTH=100 man --warnings -l "$manpage" 2>&1)" || return 1
    grep -q '^NAME' <<<"$text" && grep -q '^OPTIONS' <<<"$text" || {
        printf '%s\n' "$text" | head -20
        return 1
    }
}

# The options a text names: -x and --word tokens, one a line, sorted.
options_in() {
    grep -oE '(^|[^[:alnum:]-])(--[a-z][a-z0-9-]*|-[a-zA-Z])\b' | sed -E 's/^[^-]*//' | sort -u
}

help_options() {
    "$kelvane" --help | options_in
}

# The tags of the rendered OPTIONS section: its lines indented as a tag, beginning with "-".
man_options() {
    LC_ALL=C MANWIDTH=200 man -l "$manpage" 2>/dev/null | sed -n '/^OPTIONS/,/^[A-Z]/p' |
        grep -E '^ {7}-' | options_in
}

compare_options() {
    local from_help from_man
    from_help="$(help_options)"
    from_man="$(man_options)"
    if [[ -z $from_help || -z $from_man ]]; then
        echo "no options found: --help gives '$from_help', the manual page '$from_man'"
        return 1
    fi
    local only_help only_man
    only_help="$(comm -23 <(echo "$from_help") <(echo "$from_man"))"
    only_man="$(comm -13 <(echo "$from_help") <(echo "$from_man"))"
    [[ -z $only_help ]] || echo "in --help, not in kelvane.1's OPTIONS:" $only_help
    [[ -z $only_man ]] || echo "in kelvane.1's OPTIONS, not in --help:" $only_man
    [[ -z $only_help && -z $only_man ]]
}

# What the completion offers for "kelvane --" is every long option of --help.
completion_options() {
    local offered expected
    # shellcheck disable=SC2016
    offered="$(bash -c 'source /usr/share/bash-completion/bash_completion; source "$1"
        COMP_WORDS=(kelvane --); COMP_CWORD=1; COMP_LINE="kelvane --"; COMP_POINT=10
        _kelvane kelvane -- kelvane; printf "%s\n" "${COMPREPLY[@]}"' bash "$completion" | sort -u)"
    expected="$(help_options | grep -- '^--')"
    if [[ $offered != "$expected" ]]; then
        echo "completion offers:" $offered
        echo "--help names:     " $expected
        return 1
    fi
}

# The version the package, the program, the manual page and the AppStream releases state.
versions_agree() {
    local package program man release
    package="$(dpkg-deb -f "$deb" Version)"
    program="$("$kelvane" --version | awk '{ print $2 }')"
    man="$(zcat "$manpage" | sed -nE 's/^\.TH .*"Kelvane ([^"]+)".*/\1/p')"
    release="$(grep -oE '<release version="[^"]+"' "$metainfo" | head -1 | cut -d'"' -f2)"
    echo "package $package, kelvane --version $program, kelvane.1 $man, metainfo $release"
    [[ $package == "$program" && $program == "$man" && $man == "$release" ]]
}

# The packaged module, in Debian's python3, tells the same tree as the packaged program.
python_module() {
    local sample="$src/tests/data/837p-x12_valid.txt" from_module from_program
    from_module="$(PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c \
        'import sys, kelvane; sys.stdout.write(kelvane.read(sys.argv[1]).tree_text())' "$sample")" ||
        return 1
    from_program="$("$kelvane" --dump-tree "$sample")" || return 1
    [[ $from_module == "$from_program" ]] || { echo "the module's tree differs from --dump-tree"; return 1; }
}

echo "== $deb"
check "package files" files_check
check "lintian" lintian_check
# The one pedantic note kept: cid-contains-uppercase-letter, since the component id has to be the
# desktop file's id, io.github.kelvane.Kelvane, which desktops already know the application by.
check "appstreamcli validate" appstreamcli validate --no-net "$metainfo"
check "appstreamcli validate-tree" appstreamcli validate-tree --no-net "$root"
check "desktop-file-validate" desktop-file-validate "$desktop"
check "groff -ww -z -man" groff_check
check "man -l renders" man_renders
check "--help and kelvane.1 OPTIONS name the same options" compare_options
check "bash completion offers --help's long options" completion_options
check "bash completion" "$src/tests/package/bash-completion.sh" "$completion"
check "versions agree" versions_agree
check "python3 imports the packaged module" python_module

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
