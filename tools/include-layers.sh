#!/usr/bin/env bash
# Lists the includes between the program's folders and checks that they run
# one way: the window on top, the subsystems under it, the serial link under
# them, the platform at the bottom. Prints each pair of folders with how many
# includes join them; fails on an include that runs up, or sideways between
# two subsystems, which is how loops start.
#   tools/include-layers.sh [checkout]     the checkout is this script's own unless given
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

rank() {  # rank <folder>: the floor a folder stands on; nothing for folders outside the program
    case "$1" in
    platform) echo 0 ;;
    serial) echo 1 ;;
    atcommands | transfer | xmodem | testtraffic | help) echo 2 ;;
    mainwindow) echo 3 ;;
    main.cpp) echo 4 ;;
    esac
}

pairs=$(git ls-files -- '*.cpp' '*.h' | while read -r file; do
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
            echo "UP OR SIDEWAYS: $file includes $to/"
            status=1
        fi
    done <<<"$pairs"
fi
if [ $status -eq 0 ]; then
    echo "every include runs down; no loop between folders"
fi
exit $status
