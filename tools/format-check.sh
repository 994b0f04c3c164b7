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
# One run over every file; its complaints name the files.
if report=$(clang-format --dry-run -Werror $files 2>&1); then
    echo "every C++ file is in the dialect of .clang-format"
    exit 0
fi
grep -o '^[^:]*\.\(cpp\|h\):[0-9]*:[0-9]*: error' <<<"$report" | cut -d: -f1 | sort -u | sed 's/^/not in the dialect: /'
exit 1
