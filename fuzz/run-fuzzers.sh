#!/usr/bin/env bash
# Runs the fuzz targets of a VEXA_FUZZ build, each in one process for the
# given time, as many at once as there are cores, and fails when any of them
# finds a crash, a leak, a sanitizer report, a broken promise or a hang.
#   bash fuzz/run-fuzzers.sh <build> <seconds> [target...]   (all targets when none is named)
# Corpora, findings and logs go to <build>/fuzz-run; the source tree stays clean.
set -uo pipefail
build=$1
seconds=$2
shift 2
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "fuzz: the time per target must be a whole number of seconds above 0, not '$seconds'" >&2
    exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work="$build/fuzz-run"
rm -rf "$work"
mkdir -p "$work"
"$build/fuzz/vexa_fuzz_seeds" "$source_dir" "$work/seeds" >/dev/null || exit 1

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for program in "$build"/fuzz/fuzz_*; do
        [ -x "$program" ] && targets+=("$(basename "$program")")
    done
fi
for name in "${targets[@]}"; do
    if [ ! -x "$build/fuzz/$name" ]; then
        echo "fuzz: no target named $name in $build/fuzz" >&2
        exit 2
    fi
done

# -timeout: one input that runs this long is a hang, reported like a crash.
run_one() {
    local name=$1 dir="$work/$1"
    mkdir -p "$dir/corpus" "$dir/findings"
    cp "$work/seeds/$name"/* "$dir/corpus/" 2>/dev/null || true
    UBSAN_OPTIONS=print_stacktrace=1 "$build/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -timeout=25 -print_final_stats=1 -artifact_prefix="$dir/findings/" "$dir/corpus" >"$dir/log" 2>&1
    echo $? >"$dir/rc"
}

echo "fuzz: ${#targets[@]} targets, $seconds s each, $(nproc) at a time; work folder $work"
running=0
for name in "${targets[@]}"; do
    if [ "$running" -ge "$(nproc)" ]; then
        wait -n
        running=$((running - 1))
    fi
    run_one "$name" &
    running=$((running + 1))
done
wait

failed=0
for name in "${targets[@]}"; do
    dir="$work/$name"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
    corpus=$(find "$dir/corpus" -type f | wc -l)
    if [ "$(cat "$dir/rc")" = 0 ] && [ -z "$(ls -A "$dir/findings")" ]; then
        printf 'fuzz: ok     %-22s %s runs, corpus %s\n' "$name" "${runs:-?}" "$corpus"
        continue
    fi
    failed=1
    what=$(grep -m1 -E '==vexa-fuzz==|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$dir/log")
    printf 'fuzz: FOUND  %-22s %s\n' "$name" "${what:-exit status $(cat "$dir/rc"), see the log}"
    for finding in "$dir/findings"/*; do
        [ -e "$finding" ] && echo "             input: $finding"
    done
    echo "             log:   $dir/log"
done
exit $failed
