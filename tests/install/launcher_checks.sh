# The installed launcher starting Vexa in a scratch home; sourced by installtest.sh.

vexa_pid=
runner_pid=

wait_for() {  # wait_for SECONDS COMMAND...: polls until COMMAND succeeds
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# Starts what the desktop entry's Exec line names, as a menu would, under a
# virtual display, in an environment of only the given variables. The
# launcher execs Vexa, so the pid it starts with is Vexa's.
start_from_menu() {  # start_from_menu PREFIX LOG VAR=VALUE...
    local prefix=$1 log=$2 pidfile command
    shift 2
    pidfile=$(mktemp "$scratch/pid.XXXXXX")
    command=$(desktop_key Exec "$prefix/share/applications/vexa.desktop")
    # Split into words as a menu splits it (the line has no field codes).
    env -i PATH="$prefix/bin:/usr/bin:/bin" LANG=C.UTF-8 "$@" \
        xvfb-run -a sh -c 'echo $$ > "$0.new" && mv "$0.new" "$0" && exec "$@"' "$pidfile" $command \
        >"$log" 2>&1 &
    runner_pid=$!
    wait_for 30 test -s "$pidfile" || return 1
    vexa_pid=$(cat "$pidfile")
}

stop_vexa() {
    [ -n "$vexa_pid" ] && kill "$vexa_pid" 2>/dev/null
    if [ -n "$runner_pid" ]; then
        # xvfb-run takes its display down once Vexa is gone.
        wait_for 15 sh -c "! kill -0 $runner_pid 2>/dev/null" || kill "$runner_pid" 2>/dev/null
        wait "$runner_pid" 2>/dev/null
    fi
    vexa_pid= runner_pid=
}

# Vexa (not the launcher any more) runs with FOLDER as its start folder and
# has opened its character log there.
vexa_runs_in() {  # vexa_runs_in PREFIX FOLDER
    [ "$(readlink -f "/proc/$vexa_pid/exe" 2>/dev/null)" = "$(readlink -f "$1/bin/vexa")" ] &&
        [ "$(readlink -f "/proc/$vexa_pid/cwd" 2>/dev/null)" = "$(readlink -f "$2")" ] &&
        compgen -G "$2/Logs/WorkChar/WorkCharLog_*.atl" >/dev/null
}

run_vexa_once() {  # run_vexa_once PREFIX FOLDER WHAT VAR=VALUE...
    local prefix=$1 folder=$2 what=$3 log before=$failures
    shift 3
    log=$(mktemp "$scratch/vexa-log.XXXXXX")
    if start_from_menu "$prefix" "$log" "$@" && wait_for 60 vexa_runs_in "$prefix" "$folder"; then
        sleep 3
        check "$what: Vexa runs in $folder and is alive 3 s later" vexa_runs_in "$prefix" "$folder"
    else
        fail "$what: Vexa did not start in $folder"
    fi
    stop_vexa
    [ "$failures" -eq "$before" ] || sed 's/^/  output: /' "$log" >&2
}

# The launcher lays the tree before Vexa looks for a display; without one
# Vexa ends at once with 2, which is enough to see where the tree went.
launch_without_display() {  # launch_without_display PREFIX VAR=VALUE...
    local prefix=$1
    shift
    (cd "$scratch/elsewhere" && env -i PATH=/usr/bin:/bin "$@" "$prefix/bin/vexa-launch" >/dev/null 2>&1)
}

check_launcher_without_display() {  # check_launcher_without_display PREFIX
    local prefix=$1 home=$scratch/home-relative
    mkdir -p "$scratch/elsewhere" "$scratch/home-blocked/.local"
    launch_without_display "$prefix" HOME="$home" XDG_DATA_HOME=relative
    check "a relative XDG_DATA_HOME means ~/.local/share" tree_holds "$prefix/share/vexa/data" "$home/.local/share/vexa"
    check "and makes no folder beside the caller" test ! -e "$scratch/elsewhere/relative"
    rmdir "$scratch/home-blocked/.local" && touch "$scratch/home-blocked/.local"
    launch_without_display "$prefix" HOME="$scratch/home-blocked"
    check "a folder that cannot be made ends the launcher with 1" test $? -eq 1
}

check_launcher_runs() {  # check_launcher_runs PREFIX
    local prefix=$1 home=$scratch/home xdg=$scratch/xdg
    local shipped=$prefix/share/vexa/data folder=$scratch/xdg/vexa
    mkdir -p "$home"
    run_vexa_once "$prefix" "$folder" "first start" HOME="$home" XDG_DATA_HOME="$xdg"
    check "first start lays the whole shipped tree" tree_holds "$shipped" "$folder"

    printf 'AT+CSQ\r\n' >>"$folder/Samples/FirstSteps.atl"
    cp "$folder/Samples/FirstSteps.atl" "$scratch/changed.atl"
    printf 'ATI\r\n' >"$folder/Samples/Mine.atl"
    rm "$folder/Menu/Contane/Avtor.atm"
    run_vexa_once "$prefix" "$folder" "second start" HOME="$home" XDG_DATA_HOME="$xdg"
    check "second start keeps the user's changed file" cmp -s "$scratch/changed.atl" "$folder/Samples/FirstSteps.atl"
    check "second start keeps the user's own file" test -f "$folder/Samples/Mine.atl"
    check "second start lays again a shipped file the user removed" \
        cmp -s "$shipped/Menu/Contane/Avtor.atm" "$folder/Menu/Contane/Avtor.atm"
    check "each start wrote its own character log" \
        test "$(compgen -G "$folder/Logs/WorkChar/WorkCharLog_*.atl" | wc -l)" -eq 2

    run_vexa_once "$prefix" "$home/.local/share/vexa" "start without XDG_DATA_HOME" HOME="$home"
    check "without XDG_DATA_HOME the tree goes to ~/.local/share/vexa" tree_holds "$shipped" "$home/.local/share/vexa"
    check_launcher_without_display "$prefix"
}
