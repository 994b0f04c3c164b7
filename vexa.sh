#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine for Vexa, builds it, and either starts it
# (with the modem simulator beside it) or runs every test.
#   bash vexa.sh run     install, build, lay out run/ and start Vexa there
#   bash vexa.sh test    install, build and run all tests
#   bash vexa.sh asan    the same tests built with AddressSanitizer and UBSan
#   bash vexa.sh tsan    the same tests built with ThreadSanitizer (a race report fails its test)
#   bash vexa.sh bench   install, build and run every benchmark of bench/
#   bash vexa.sh wintest build the serial layer for Windows with mingw-w64 and
#                        run its tests under Wine against pseudo-terminals
#   bash vexa.sh package      install, build and make the Debian package; prints its path
#   bash vexa.sh installtest  the package installed (as root) or unpacked, checked and started
#   bash vexa.sh fuzz [seconds [target...]]  build the libFuzzer targets of fuzz/ with clang
#                        and run each for that long (default 60 s); fails on any finding
set -euo pipefail
cd "$(dirname "$0")"
here=$(pwd)

packages=(build-essential cmake qt6-base-dev libgl-dev libjpeg-dev libgtest-dev
          lrzsz socat ser2net fonts-liberation fonts-dejavu-core fonts-urw-base35 xvfb xauth
          qt6-translations-l10n clang-format)
# Only `fuzz` needs these.
fuzz_packages=(clang-14 libclang-rt-14-dev)
# Only `package` and `installtest` need these.
pkg_packages=(dpkg-dev desktop-file-utils file man-db lintian)

# The Windows build and its run under Wine. Wine's recommendations (32-bit
# support, desktop integration, fonts) are of no use to headless tests.
win_packages=(cmake make g++ g++-mingw-w64-x86-64 wine wine64 googletest socat)

install_packages() {  # install_packages [--no-install-recommends] [package...]: the list above when none given
    local options=() wanted=("${packages[@]}") missing=()
    if [ "${1:-}" = "--no-install-recommends" ]; then
        options=("$1")
        shift
    fi
    [ $# -eq 0 ] || wanted=("$@")
    for p in "${wanted[@]}"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
    fi
}

build() {  # build <dir> [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

make_package() {  # make_package: builds build/; the .deb's path is all it writes to stdout
    install_packages "${packages[@]}" "${pkg_packages[@]}" >&2
    build build >&2
    # cpack's report goes to stderr as it is; /dev/stderr is not reopened,
    # which would truncate a log file that stderr points to.
    local report made
    report=$(cd build && cpack -G DEB -B packages)
    printf '%s\n' "$report" >&2
    made=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$report")
    [ -n "$made" ] || { echo "cpack made no package" >&2; exit 1; }
    echo "$made"
}

run_tests() {  # run_tests <dir>
    (cd "$1" && ctest --output-on-failure -j 2 --timeout 300)
}

# The serial layer's tests under Wine. Each test asks vexa-pty-peer (Linux)
# for a pair of pseudo-terminals joined by socat; the peer links the near one
# as $WINEPREFIX/dosdevices/comN and plays the modem at the far one.
run_wine_tests() {  # run_wine_tests <dir>: <dir>/linux and <dir>/windows built
    local dir=$1
    export WINEPREFIX="$dir/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
    unset DISPLAY WAYLAND_DISPLAY
    wineserver -k 2>/dev/null || true  # a server left from an earlier run,
    wineserver -w                       # gone before ours starts
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Preparing the Wine prefix $WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -k
        wineserver -w
    fi
    # Wine's server, quietly, kept for 30 s between programs: when a
    # pseudo-terminal hangs up it prints its state, which must not land in
    # the test output. Its services start now, with their output away too.
    wineserver -f -p 30 >/dev/null 2>&1 &
    local server=$!
    until [ -S "/proc/$server/cwd/socket" ]; do  # it works in its own directory
        kill -0 "$server" 2>/dev/null || { echo "wineserver did not start" >&2; return 1; }
        sleep 0.05
    done
    mkdir -p "$dir/ptys"
    "$dir/linux/tests/platform/vexa-pty-peer" "$WINEPREFIX/dosdevices" "$dir/ptys" >"$dir/peer-port" &
    local peer=$!
    trap "kill $peer 2>/dev/null; wineserver -k 2>/dev/null || true" EXIT
    wineboot >/dev/null 2>&1
    for _ in $(seq 50); do
        [ -s "$dir/peer-port" ] && break
        sleep 0.1
    done
    (cd "$dir/windows" &&
        VEXA_PTY_PEER="127.0.0.1:$(head -n 1 "$dir/peer-port")" VEXA_WINESERVER_PID=$server \
            wine tests/platform/vexa_serial_tests.exe)
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
        # The simulated modem on a pseudo-terminal and, with modem lines,
        # as a network port: on 2217, or on any free port when that is taken.
        for sim_port in 2217 0; do
            "$sim_bin" --store run/Firmware --rfc2217 "$sim_port" > >(tee run/modem-sim.log) 2>&1 &
            sim=$!
            sleep 0.5
            kill -0 "$sim" 2>/dev/null && break
        done
        trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
        address=$(sed -n 's/.*network port \(rfc2217:[^ ]*\).*/\1/p' run/modem-sim.log)
        link=$(sed -n 's/.*link \([^ ]*\) -> .*/\1/p' run/modem-sim.log)
        pty=$(sed -n 's/.*modem on \([^ ]*\)$/\1/p' run/modem-sim.log)
        echo "The simulated modem: pick ${link:-$pty} in Vexa's port picker (or paste it), or, for a modem with"
        echo "modem lines (lamps, the test page, Start/Reset/Stop), paste ${address:-its rfc2217:// address} there."
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
    # which ThreadSanitizer cannot follow (it then reports races on locked
    # fields and may hang): the tests that start the simulator, ser2net or a
    # second Vexa that way stay out.
    export TSAN_OPTIONS="ignore_noninstrumented_modules=1 suppressions=$here/tests/tsan.supp exitcode=66"
    spawning='^(SimulatedModem|SimulatedModemDownload|Ser2net|Ser2netWindow|Ser2netDownload|Ser2netTransfer|TwoInstances)[.]'
    spawning+='|^Builder[.]AScriptItMadeRunsToItsEndAgainstTheSimulatedModem$'
    spawning+='|^ScriptRunner[.](ASlowSearchIsWaitedForAndItsAnswerLogged|EachFormOfThePromptLetsTheTextGo)$'
    spawning+='|^PtyTerminal[.]APortAnotherProgramHoldsIsNamedAndNotTaken$'
    (cd build-tsan && ctest --output-on-failure -j 2 --timeout 300 -E "$spawning")
    ;;
bench)
    install_packages
    build build
    for program in build/bench/*_bench; do
        echo "== $(basename "$program")"
        "$program"
    done
    ;;
wintest)
    install_packages --no-install-recommends "${win_packages[@]}"
    cmake -S . -B build-wintest/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_SERIAL_LAYER_ONLY=ON >/dev/null
    cmake --build build-wintest/linux -j "$(nproc)" --target vexa-pty-peer
    # The toolchain is chosen once, when the build directory is made.
    [ -f build-wintest/windows/CMakeCache.txt ] ||
        cmake -S . -B build-wintest/windows -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_SERIAL_LAYER_ONLY=ON \
            -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
    cmake --build build-wintest/windows -j "$(nproc)"
    run_wine_tests "$here/build-wintest"
    ;;
package)
    make_package
    ;;
installtest)
    deb=$(make_package)
    bash tests/install/installtest.sh "$deb"
    ;;
fuzz)
    install_packages "${packages[@]}" "${fuzz_packages[@]}"
    build build-fuzz -DVEXA_FUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
    bash fuzz/run-fuzzers.sh build-fuzz "${2:-60}" "${@:3}"
    ;;
*)
    echo "usage: bash vexa.sh run | test | asan | tsan | bench | wintest | package | installtest | fuzz [seconds [target...]]" >&2
    exit 1
    ;;
esac
