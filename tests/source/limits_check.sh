#!/usr/bin/env bash
# Keeps the emulation's sources readable: no file under platform/src/ or handheld/ over 600
# lines, no function there over 100 (from the line of its name to its closing brace, lambdas
# inside it included). Function ends come from universal-ctags, which parses C++.
#
#   limits_check.sh SOURCE_DIR [CTAGS]
set -euo pipefail
src=$1
ctags=${2:-ctags}
max_file=600
max_function=100

# "LINES FILE:LINE NAME" of every function definition in the given files or folders.
functions() {
    "$ctags" -R --languages=C++ --langmap=C++:+.inc --kinds-C++=f --fields=+ne -x \
        --_xformat='%{end} %{line} %F %N' "$@" |
        awk '$1 ~ /^[0-9]+$/ { print $1 - $2 + 1, $3 ":" $2, $4 }'
}

# The parser must see a function's end, or every length would pass: a long one is caught.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
    echo 'int tooLong(int x) {'
    for i in $(seq 1 $max_function); do echo "    x += $i;"; done
    echo '    return x;'
    echo '}'
} >"$work/long.cpp"
if ! functions "$work/long.cpp" | awk -v max=$max_function '$1 > max { found = 1 } END { exit !found }'; then
    echo "limits_check: $ctags does not report where functions end (universal-ctags needed)" >&2
    exit 2
fi

cd "$src"
folders=(platform/src handheld)
fails=0
while read -r n file; do
    if [ "$n" -gt $max_file ]; then
        echo "$file: $n lines (at most $max_file)"
        fails=$((fails + 1))
    fi
done < <(find "${folders[@]}" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.inc' \) \
    -exec wc -l {} + | grep -v ' total$')

all=$(functions "${folders[@]}")
count=$(wc -l <<<"$all")
if [ "$count" -lt 500 ]; then
    echo "limits_check: only $count functions found under ${folders[*]}" >&2
    exit 2
fi
long=$(awk -v max=$max_function '$1 > max { print $2 ": " $3 " has " $1 " lines (at most " max ")" }' <<<"$all")
if [ -n "$long" ]; then
    echo "$long"
    fails=$((fails + $(wc -l <<<"$long")))
fi
echo "limits_check: $count functions; $fails over the limits"
[ $fails -eq 0 ]
