# The package's control fields and the files it ships; sourced by installtest.sh.

# Each dependency (one alternative of it) is a package this machine has, so
# the names dpkg-shlibdeps and we wrote are real ones.
dependencies_installed() {  # dependencies_installed "a (>= 1), b | c, ..."
    local item alternative ok
    while IFS= read -r item; do
        [ -n "$item" ] || continue
        ok=no
        for alternative in ${item//|/ }; do
            case "$alternative" in \(*|*\)) continue ;; esac
            dpkg-query -W -f='${Status}' "$alternative" 2>/dev/null | grep -q 'ok installed' && ok=yes
        done
        [ "$ok" = yes ] || { echo "  no installed package for: $item" >&2; return 1; }
    done < <(tr ',' '\n' <<<"$1")
}

# The names in a dependency field, one a line, without versions.
field_names() { tr ',|' '\n\n' <<<"$1" | sed 's/(.*//; s/[[:space:]]//g' | grep -v '^$'; }

check_control_fields() {  # check_control_fields DEB
    local deb=$1 version arch depends names name
    version=$(dpkg-deb -f "$deb" Version)
    arch=$(dpkg-deb -f "$deb" Architecture)
    depends=$(dpkg-deb -f "$deb" Depends)
    names=$(field_names "$depends")
    check "package name is vexa" test "$(dpkg-deb -f "$deb" Package)" = vexa
    check "version $version is the project's" \
        test "$version" = "$(sed -n 's/^project(Vexa VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")"
    check "architecture $arch is this machine's" test "$arch" = "$(dpkg --print-architecture)"
    check "file is named vexa_${version}_${arch}.deb" test "$(basename "$deb")" = "vexa_${version}_${arch}.deb"
    for name in libqt6widgets6 libqt6gui6 libqt6core6 fonts-liberation fonts-dejavu-core qt6-translations-l10n; do
        check "Depends names $name" grep -qx "$name" <<<"$names"
    done
    check "Depends names libjpeg" grep -q '^libjpeg' <<<"$names"
    check "every dependency is an installed package here" dependencies_installed "$depends"
    check "Recommends fonts-urw-base35" grep -qx fonts-urw-base35 <<<"$(field_names "$(dpkg-deb -f "$deb" Recommends)")"
    check "Suggests lrzsz" grep -qx lrzsz <<<"$(field_names "$(dpkg-deb -f "$deb" Suggests)")"
}

# Every folder and file of FROM (git's .keep markers aside) is in TO, byte for byte.
tree_holds() {  # tree_holds FROM TO
    local from=$1 to=$2 entry
    while IFS= read -r entry; do
        [ -d "$to/$entry" ] || { echo "  missing folder $to/$entry" >&2; return 1; }
    done < <(cd "$from" && find . -type d)
    while IFS= read -r entry; do
        cmp -s "$from/$entry" "$to/$entry" || { echo "  missing or different: $to/$entry" >&2; return 1; }
    done < <(cd "$from" && find . -type f ! -name .keep)
}

png_size_is() {  # png_size_is FILE N
    file -b "$1" | grep -q "^PNG image data, $2 x $2,"
}

man_page_reads() {  # man_page_reads FILE: renders without warnings and names what it must
    local text warnings word
    warnings=$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "  $warnings" >&2; return 1; }
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$1" 2>/dev/null)
    for word in vexa-launch vexa-modem-sim XDG_DATA_HOME .local/share/vexa Config Logs Menu/Contane \
                ReseiveFile Samples; do
        grep -qF -- "$word" <<<"$text" || { echo "  the man page does not name $word" >&2; return 1; }
    done
}

quiet_unless_failing() {  # quiet_unless_failing COMMAND...: its output only when it fails
    local output
    output=$("$@" 2>&1) && return 0
    echo "$output" >&2
    return 1
}

desktop_key() { sed -n "s/^$1=//p" "$2" | head -1; }

check_desktop_entry() {  # check_desktop_entry ROOT
    local entry=$1/usr/share/applications/vexa.desktop
    check "desktop entry is installed" test -f "$entry"
    if command -v desktop-file-validate >/dev/null; then
        check "desktop entry is valid" quiet_unless_failing desktop-file-validate "$entry"
    else
        echo "skip: desktop-file-validate is not installed"
    fi
    check "desktop entry starts the launcher" test "$(desktop_key Exec "$entry")" = vexa-launch
    check "desktop entry's name and comment are Russian" \
        env LC_ALL=C.UTF-8 grep -qP '\p{Cyrillic}' <<<"$(desktop_key Name "$entry")$(desktop_key Comment "$entry")"
    check "desktop entry is in Utility and TerminalEmulator" \
        test "$(desktop_key Categories "$entry")" = "Utility;TerminalEmulator;"
    check "desktop entry's icon is vexa" test "$(desktop_key Icon "$entry")" = vexa
}

# Debian's own package checker: no error and no warning (its notes aside).
check_lintian() {  # check_lintian DEB
    if command -v lintian >/dev/null; then
        check "lintian finds no error and no warning" quiet_unless_failing lintian --fail-on error,warning "$1"
    else
        fail "lintian is not installed (bash vexa.sh installtest installs it)"
    fi
}

check_shipped_files() {  # check_shipped_files DEB ROOT
    local deb=$1 root=$2 program size man=$2/usr/share/man/man1
    check "every file in the package belongs to root" \
        test "$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)" = root/root
    for program in vexa vexa-modem-sim vexa-launch; do
        check "usr/bin/$program is an executable" test -x "$root/usr/bin/$program" -a -f "$root/usr/bin/$program"
    done
    check "the runtime tree is shipped whole" tree_holds "$source_dir/data" "$root/usr/share/vexa/data"
    check "the runtime tree holds nothing else" tree_holds "$root/usr/share/vexa/data" "$source_dir/data"
    check_desktop_entry "$root"
    for size in 16 32 48 64 128 256; do
        check "icon ${size}x$size is a PNG of that size" \
            png_size_is "$root/usr/share/icons/hicolor/${size}x$size/apps/vexa.png" "$size"
    done
    check "man page is gzipped intact" gzip -t "$man/vexa.1.gz"
    check "man page renders and names the folder, files, launcher and simulator" man_page_reads "$man/vexa.1.gz"
    for program in vexa-launch vexa-modem-sim; do
        check "man $program leads to vexa(1)" test "$(readlink "$man/$program.1.gz")" = vexa.1.gz
    done
}
