#!/usr/bin/env bash
# Lists the C++ files that differ from the project's dialect (.clang-format at
# the root) and fails if there is one. `clang-format -i FILE` mends a file.
#   tools/format-check.sh [checkout]     the checkout is this script's own unless given
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
if ! command -v clang-format >/dev/null; then
    echo "clang-format is missing: bash vexa.sh test installs it" >&2
    exit 1
fi
files=$(git ls-files -- '*.cpp' '*.h' 2>/dev/null || find . \( -name '*.cpp' -o -name '*.h' \) -not -path './build*' | sed 's|^\./||')
differ=0
for file in $files; do
    if ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
        echo "not in the dialect: $file"
        differ=1
    fi
done
if [ $differ -eq 0 ]; then
    echo "every C++ file is in the dialect of .clang-format"
fi
exit $differ
