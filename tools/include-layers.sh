#!/usr/bin/env bash
# Lists the includes between the program's folders and checks that they run
# one way: the window on top, the subsystems under it, the serial link under
# them, the platform at the bottom. Prints each pair of folders with how many
# includes join them; fails on an include that runs up, or sideways between
# two subsystems, which is how loops start. The includes that still run up
# while the window is taken apart are listed in tools/include-layers.known:
# they are reported and tolerated; a new one fails, and so does a listed one
# that is gone, so the list only shrinks.
#   tools/include-layers.sh [checkout]     the checkout is this script's own unless given
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
known=tools/include-layers.known

rank() {  # rank <folder>: the floor a folder stands on; nothing for folders outside the program
    case "$1" in
    platform) echo 0 ;;
    serial) echo 1 ;;
    atcommands | transfer | xmodem | testtraffic | help) echo 2 ;;
    mainwindow) echo 3 ;;
    main.cpp) echo 4 ;;
    esac
}

sources() {  # the checkout's C++ files, also where it is no git work tree
    git ls-files -- '*.cpp' '*.h' 2>/dev/null || find . \( -name '*.cpp' -o -name '*.h' \) -not -path './build*' | sed 's|^\./||'
}

pairs=$(sources | while read -r file; do
    from=${file%%/*}
    if [ -z "$(rank "$from")" ]; then
        continue
    fi
    sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)\/.*/\1/p' "$file" |
        while read -r to; do
            if [ -n "$(rank "$to")" ] && [ "$to" != "$from" ]; then
                echo "$from $to $file"
            fi
        done
done)

status=0
echo "includes between folders (from -> to: count)"
if [ -n "$pairs" ]; then
    while read -r count from to; do
        printf '  %-12s -> %-12s %4d\n' "$from" "$to" "$count"
    done < <(awk '{ print $1, $2 }' <<<"$pairs" | sort | uniq -c)
    while read -r from to file; do
        if [ "$(rank "$to")" -ge "$(rank "$from")" ]; then
            if grep -qxF "$file $to/" "$known"; then
                echo "known, still up: $file includes $to/"
            else
                echo "UP OR SIDEWAYS: $file includes $to/"
                status=1
            fi
        fi
    done <<<"$pairs"
fi
while read -r file to; do
    if ! grep -qxF "$(dirname "$file" | cut -d/ -f1) ${to%/} $file" <<<"$pairs"; then
        echo "GONE, take it off tools/include-layers.known: $file includes $to"
        status=1
    fi
done < <(grep -v '^#' "$known" | grep .)
if [ $status -eq 0 ]; then
    echo "no new include runs up; no new loop between folders"
fi
exit $status
