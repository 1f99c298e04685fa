#!/usr/bin/env bash
# Fails when a relative link in the guides leads nowhere: a file or folder that
# does not exist, or a #anchor that names no heading of the Markdown file it
# points into. Links to web addresses are not followed.
# Usage: scripts/check-links.sh [FILE.md...]
#        (default: README.md and every docs/*.md)
set -uo pipefail
export LC_ALL=C.UTF-8 # letters beyond ASCII in headings lower-cased as GitHub does

if [ $# -eq 0 ]; then
    cd "$(dirname "$0")/.."
    set -- README.md docs/*.md
fi

# A Markdown file with its fenced code blocks as empty lines (line numbers stay).
unfenced() {
    awk '/^ *(```|~~~)/ { fence = !fence; print ""; next } { print fence ? "" : $0 }' "$1"
}

# The anchors GitHub gives the headings of a Markdown file, one a line: lower
# case, without punctuation, spaces as hyphens, "-1", "-2"... for repeats.
anchors() {
    unfenced "$1" | sed -n -E 's/^#{1,6}[[:space:]]+//p' |
        sed -E 's/[[:space:]]+#+[[:space:]]*$//; s/!?\[([^]]*)\]\([^)]*\)/\1/g' |
        sed -E 's/[^[:alnum:] _-]//g; s/ /-/g; s/.*/\L&/' |
        awk '{ n = seen[$0]++; print n ? $0 "-" n : $0 }'
}

broken=0
report() {
    echo "$1:$2: broken link ($3): $4"
    broken=1
}

for doc in "$@"; do
    if [ ! -f "$doc" ]; then
        echo "$doc: no such file"
        broken=1
        continue
    fi
    dir=$(dirname "$doc")
    # "line:target" for every inline link or image and every link definition.
    links=$(unfenced "$doc" | sed 's/`[^`]*`//g' | grep -n -o -E '\]\([^)[:space:]]+([[:space:]]+"[^"]*")?\)|^ {0,3}\[[^]]+\]:[[:space:]]+[^[:space:]]+' |
        sed -E 's/^([0-9]+):\]\(([^)[:space:]]+).*/\1:\2/; s/^([0-9]+): {0,3}\[[^]]+\]:[[:space:]]+/\1:/')
    while IFS=: read -r line target; do
        [ -n "$target" ] || continue
        target=${target#<}
        target=${target%>}
        case "$target" in
        [a-zA-Z]*:*) continue ;; # https:, mailto: and the like
        esac
        path=${target%%#*}
        anchor=
        [ "$path" = "$target" ] || anchor=${target#*#}
        file=$doc
        if [ -n "$path" ]; then
            file="$dir/$path"
            if [ ! -e "$file" ]; then
                report "$doc" "$line" "no such file" "$target"
                continue
            fi
        fi
        if [ -n "$anchor" ]; then
            case "$file" in
            *.md) anchors "$file" | grep -qxF -- "$anchor" ||
                report "$doc" "$line" "no such heading" "$target" ;;
            esac
        fi
    done <<<"$links"
done

if [ "$broken" -ne 0 ]; then
    exit 1
fi
echo "=== every relative link resolves: $*"
