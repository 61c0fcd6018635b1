#!/usr/bin/env bash
# DLLs planted beside the program are not loaded, under Wine:
#
#   planted-dll-test.sh BUILD_DIR
#
# A small DLL that leaves a marker file when it is loaded is copied, under the names of system
# DLLs that are not known DLLs, into a folder that also holds the programs, as a download folder
# might. Wine normally prefers its own DLLs; WINEDLLOVERRIDES tells it to look in the program's
# folder first, as Windows does for any DLL that is not a known DLL, and WINEDEBUG=+loaddll
# says what was loaded from where.
#   - The control: a plain program that imports dwmapi.dll loads the planted copy (marker, and
#     a native load from the folder). So the set-up shows a planted DLL when one is loaded.
#   - Snapkeep.exe and SnapkeepSim.exe, started from that folder, show their window and close
#     normally, and load none of the planted DLLs.
# What Wine cannot show (docs/wine.md): version.dll and uxtheme.dll are left out. Wine's own
# user32 imports version.dll and its comctl32 loads uxtheme.dll while initialising (before the
# program's first instruction) and delay-loads it later from the default search path, so a
# planted copy of either is loaded by Wine itself whatever the program does; Windows' own DLLs
# resolve those from the system folder. That the programs do not import them is shown by the
# import-table test.
# Needs an X display (DISPLAY), as every Windows window test does.
set -euo pipefail
build=$(cd "${1:?usage: planted-dll-test.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
[ -n "${DISPLAY:-}" ] || { echo "planted-dll-test: needs an X display (DISPLAY)" >&2; exit 1; }

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work="$build/planted-dll-test"
folder="$work/Downloads"
caption="Snapkeep Planted $$"
rm -rf "$work"
mkdir -p "$folder/SnapData"
trap 'rm -rf "$work"' EXIT

# Planted: DLLs that Windows looks for beside a program (none is a known DLL) and that Wine's
# own DLLs leave alone.
planted=(dwmapi cryptbase userenv propsys apphelp oleacc ntmarta winmm)
for name in "${planted[@]}"; do
    cp "$build/planted_marker.dll" "$folder/$name.dll"
done
cp "$build/Snapkeep.exe" "$build/SnapkeepSim.exe" "$build/planted_dll_importer.exe" "$folder/"
printf 'Model=ALL\r\nMainFormCaption=%s\r\n' "$caption" >"$work/product.txt"
"$WINE" "$build/qconfig.exe" scramble "$work/product.txt" "$folder/SnapData/qconfig.inis" \
    </dev/null >/dev/null 2>&1 || fail "qconfig did not scramble the configuration"
overrides="$WINEDLLOVERRIDES;$(IFS=,; echo "${planted[*]}")=n,b"

markers() { (cd "$folder" && find . -maxdepth 1 -name '*.loaded' | sed 's|^\./||' | sort | tr '\n' ' '); }
# The DLLs Wine loaded from the planted folder itself (the program's own file aside).
planted_loads() {
    # The trace doubles every backslash of a path.
    grep -o 'Loaded L"[^"]*" at [0-9A-F]*: native' "$1" | grep -F 'planted-dll-test\\Downloads\\' |
        grep -v '\.exe"' || true
}
# Runs PROGRAM from the folder with the planted DLLs preferred, its loader trace in LOG.
start_planted() { # LOG PROGRAM [ARGUMENTS]
    local log=$1
    shift
    (cd "$folder" && WINEDLLOVERRIDES=$overrides WINEDEBUG=-all,+loaddll \
        "$WINE" "$@" </dev/null >/dev/null 2>"$log")
}

echo "== the control: a program importing dwmapi.dll loads the planted copy"
start_planted "$work/control.log" ./planted_dll_importer.exe || true
[ "$(markers)" = "dwmapi.dll.loaded " ] || fail "control: markers '$(markers)', not dwmapi's alone"
grep -q 'dwmapi.dll' <<<"$(planted_loads "$work/control.log")" ||
    fail "control: the trace shows no planted dwmapi.dll"
rm -f "$folder"/*.loaded

for program in Snapkeep.exe SnapkeepSim.exe; do
    echo "== $program started from the folder loads none of them"
    log="$work/$program.log"
    start_planted "$log" "./$program" &
    started=$!
    "$WINE" "$build/snapdrive.exe" wait "$caption" </dev/null >/dev/null 2>&1 ||
        fail "$program showed no window (its trace: $log)"
    "$WINE" "$build/snapdrive.exe" close "$caption" </dev/null >/dev/null 2>&1 ||
        fail "$program did not close"
    status=0
    wait "$started" || status=$?
    [ "$status" = 0 ] || fail "$program exited with $status"
    [ -z "$(markers)" ] || fail "$program loaded planted DLLs: $(markers)"
    loads=$(planted_loads "$log")
    [ -z "$loads" ] || fail "$program: planted DLLs in the trace: $loads"
    grep -q "Loaded L\"Z:.*$program\"" "$log" || fail "$program: no loader trace"
done
echo "planted-dll-test: passed"
