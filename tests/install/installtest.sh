#!/usr/bin/env bash
# Checks a built Vexa package as a user meets it: its control fields, every
# file it ships, and the installed launcher starting Vexa under a virtual
# display in a scratch home, twice, the user's changed files surviving.
# As root the package is installed for real (dpkg -i, or apt-get when a
# dependency has to be fetched) and removed again at the end; otherwise, or
# when a vexa package is installed already, it runs from a scratch root.
#   usage: tests/install/installtest.sh vexa_<version>_<arch>.deb
set -uo pipefail

deb=$(readlink -f "${1:?usage: $0 PACKAGE.deb}")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vexa-installtest.XXXXXX")
failures=0
installed_here=no

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok:   $*  (${SECONDS}s)"; }
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
die() { fail "$*"; exit 1; }

. "$source_dir/tests/install/launcher_checks.sh"

# dpkg alone when every dependency is here already (the quicker way, checked
# above); apt-get when it has to fetch some.
install_package() {  # install_package DEB
    local log=$scratch/install.log
    installed_here=yes
    if dependencies_installed "$(dpkg-deb -f "$1" Depends)" 2>/dev/null; then
        echo "Installing $1 with dpkg -i"
        dpkg -i "$1" >"$log" 2>&1
    else
        echo "Installing $1 with apt-get"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$1" >"$log" 2>&1
    fi || { cat "$log" >&2; die "the package does not install"; }
    check "dpkg has the package installed" sh -c "dpkg-query -W -f='\${Status}' vexa | grep -qx 'install ok installed'"
    check "dpkg lists the launcher as installed" sh -c 'dpkg -L vexa | grep -qx /usr/bin/vexa-launch'
}

cleanup() {
    stop_vexa
    if [ "$installed_here" = yes ]; then
        dpkg -r vexa >/dev/null 2>&1 || echo "warning: dpkg -r vexa failed; remove it by hand" >&2
        [ -e /usr/bin/vexa-launch ] && echo "warning: /usr/bin/vexa-launch is still there" >&2
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

[ -f "$deb" ] || die "no package at $1"
. "$source_dir/tests/install/package_checks.sh"

check_control_fields "$deb"
check_lintian "$deb"
root=$scratch/root
dpkg-deb -x "$deb" "$root" || die "dpkg-deb cannot unpack $deb"
check_shipped_files "$deb" "$root"

if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W -f='${Status}' vexa 2>/dev/null | grep -q 'ok installed'; then
    install_package "$deb"
    prefix=/usr
else
    echo "Not installing (not root, or vexa already installed): running from $root"
    prefix=$root/usr
fi

check_launcher_runs "$prefix"

if [ "$failures" -gt 0 ]; then
    echo "$failures install check(s) failed" >&2
    exit 1
fi
echo "All install checks passed"
