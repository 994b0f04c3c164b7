#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine for Vexa, builds it, and either starts it
# (with the modem simulator beside it) or runs every test.
#   bash vexa.sh run     install, build, lay out run/ and start Vexa there
#   bash vexa.sh test    install, build and run all tests
#   bash vexa.sh asan    the same tests built with AddressSanitizer and UBSan
#   bash vexa.sh tsan    the same tests built with ThreadSanitizer (a race report fails its test)
#   bash vexa.sh bench   install, build and run every benchmark of bench/
#   bash vexa.sh fuzz [seconds [target...]]  build the libFuzzer targets of fuzz/ with clang
#                        and run each for that long (default 60 s); fails on any finding
set -euo pipefail
cd "$(dirname "$0")"
here=$(pwd)

packages=(build-essential cmake qt6-base-dev libgl-dev libjpeg-dev libgtest-dev
          lrzsz socat ser2net fonts-liberation fonts-dejavu-core fonts-urw-base35 xvfb xauth)
# Only `fuzz` needs these.
fuzz_packages=(clang-14 libclang-rt-14-dev)

install_packages() {  # install_packages [more packages...]
    local missing=()
    for p in "${packages[@]}" "$@"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
}

build() {  # build <dir> [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

run_tests() {  # run_tests <dir>
    (cd "$1" && ctest --output-on-failure -j 2 --timeout 300)
}

case "${1:-}" in
run)
    install_packages
    build build
    mkdir -p run
    cp -rn data/. run/
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "Vexa is built (build/vexa), but there is no graphical display here (DISPLAY is not set)."
        echo "Start it from a desktop session, or under a virtual display: xvfb-run -a bash vexa.sh run"
        exit 2
    fi
    sim_bin=build/tools/modem-sim/vexa-modem-sim
    if [ -x "$sim_bin" ]; then
        mkdir -p run/Firmware
        "$sim_bin" --store run/Firmware &
        sim=$!
        trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
        sleep 0.5
    fi
    cd run && "$here/build/vexa"
    ;;
test)
    install_packages
    build build
    run_tests build
    ;;
asan)
    install_packages
    build build-asan -DVEXA_SANITIZE=ON
    run_tests build-asan
    ;;
tsan)
    install_packages
    build build-tsan -DVEXA_TSAN=ON
    # Qt is not built with ThreadSanitizer: only our own code is watched,
    # and tests/tsan.supp says what Qt orders out of its sight. A child
    # started through QProcess shares the parent's memory until it execs,
    # which ThreadSanitizer cannot follow: those tests stay out.
    export TSAN_OPTIONS="ignore_noninstrumented_modules=1 suppressions=$here/tests/tsan.supp exitcode=66"
    (cd build-tsan && ctest --output-on-failure -j 2 --timeout 300 -E '^SimulatedModem[.]')
    ;;
bench)
    install_packages
    build build
    for program in build/bench/*_bench; do
        echo "== $(basename "$program")"
        "$program"
    done
    ;;
fuzz)
    install_packages "${fuzz_packages[@]}"
    build build-fuzz -DVEXA_FUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
    bash fuzz/run-fuzzers.sh build-fuzz "${2:-60}" "${@:3}"
    ;;
*)
    echo "usage: bash vexa.sh run | test | asan | tsan | bench | fuzz [seconds]" >&2
    exit 1
    ;;
esac
