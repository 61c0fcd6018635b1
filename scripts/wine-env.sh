# Sourced by the test and demo scripts: one Wine prefix and one X display for the whole run.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all,err+module}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Start a private Xvfb unless the caller asked to use its own display (SNAPKEEP_DISPLAY=keep).
# The first Wine process fixes the display for the wineserver's whole life, so this comes first.
start_display() {
    if [ "${SNAPKEEP_DISPLAY:-}" = "keep" ] && [ -n "${DISPLAY:-}" ]; then
        return
    fi
    local n=99
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && return
        sleep 0.1
    done
    echo "Xvfb did not start on :$n" >&2
    return 1
}

wine_reg() {
    "$WINE" reg add "$@" /f </dev/null >/dev/null 2>&1
}

# Create the prefix once (about 10 s) and give it the settings the tests and screenshots rely
# on; the stamp names the version of those settings, so a change re-applies them.
ensure_prefix() {
    local stamp="$WINEPREFIX/.snapkeep-settings-2"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine: creating prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        "$WINE" wineboot --init </dev/null >/dev/null 2>&1
        "$WINESERVER" -w
    fi
    if [ ! -f "$stamp" ]; then
        # A virtual desktop draws title bars even though Xvfb runs no window manager.
        wine_reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
        wine_reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
        # The program asks for Times New Roman; Liberation Serif has the same metrics.
        wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' /d 'Liberation Serif'
        "$WINESERVER" -w
        touch "$stamp"
    fi
}

# Start the wineserver and Wine's services with every standard stream on /dev/null: started by
# a test instead, they would inherit ctest's pipes and make it hang.
start_wine() {
    ensure_prefix
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
}
