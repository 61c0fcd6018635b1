# Sourced by the test and demo scripts: one Wine prefix and one X display for the whole run.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all,err+module}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Start a private Xvfb; with "keep", an existing display is used instead. The first Wine
# process fixes the display for the wineserver's whole life, so this comes before any of them.
start_display() {
    if [ "${1:-}" = "keep" ] && [ -n "${DISPLAY:-}" ]; then
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
    local stamp="$WINEPREFIX/.snapkeep-settings-4"
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
        # Chinese and Japanese captions: faces without those characters borrow them from
        # Debian's Noto CJK fonts, as Windows links its own CJK fonts to its Latin ones.
        local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
        for face in 'Times New Roman' 'Liberation Serif'; do
            wine_reg "$link" /v "$face" /t REG_MULTI_SZ /d 'NotoSerifCJK-Regular.ttc,Noto Serif CJK SC'
        done
        for face in 'MS Sans Serif' 'Microsoft Sans Serif' 'Tahoma' 'MS Shell Dlg'; do
            wine_reg "$link" /v "$face" /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK SC'
        done
        # This Wine does not load Debian's fonts-wine folder by itself; without Marlett the
        # caption buttons show as letters. Fonts in the prefix's Fonts folder are loaded.
        cp -f /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
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

# Maps drive LETTER to FOLDER (several pairs may follow) for the programs run after it, as Wine's
# configuration tool does: a link in the prefix's dosdevices folder. The wineserver reads the
# links when it starts, so it is started again.
map_drive() {
    while [ $# -ge 2 ]; do
        local letter=${1,,} folder=$2
        mkdir -p "$folder"
        ln -sfn "$(cd "$folder" && pwd)" "$WINEPREFIX/dosdevices/$letter:"
        shift 2
    done
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
    start_wine
}

unmap_drive() {
    for letter in "$@"; do
        rm -f "$WINEPREFIX/dosdevices/${letter,,}:"
    done
}

stop_wine() {
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
}

# For the demo and the screenshots: installs what is missing, builds Snapkeep and its driver,
# and starts a display ("keep": an existing one may serve) and Wine, stopped again at exit.
start_program_session() {
    "$ROOT/scripts/deps.sh"
    (cd "$ROOT" && cmake --preset windows >/dev/null &&
        cmake --build --preset windows -j "$(nproc)" --target Snapkeep SnapkeepSim snapdrive)
    start_display "${1:-}"
    trap stop_wine EXIT
    start_wine
}

# The program and its driver, as Wine runs them.
run_wine() {
    "$WINE" "$@"
}

# Saves a screenshot of a rectangle of the screen ("x y width height") as a PNG, once two
# shots in a row agree (the window has finished painting).
shoot() {
    local rect=$1 out=$2 x y w h previous=""
    read -r x y w h <<<"$rect"
    for _ in $(seq 1 40); do
        import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"
        local sum
        sum=$(md5sum <"$out")
        [ "$sum" = "$previous" ] && return 0
        previous=$sum
        sleep 0.1
    done
}
