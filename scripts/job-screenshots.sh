#!/usr/bin/env bash
# Screenshots of the job window during a real backup on the simulated enclosure, for the README:
# docs/screenshots/en-job-scanning.png, -copying.png, -failures.png, -finished.png and the
# notice after the failures, -notice.png.
# SnapkeepSim.exe runs on a data folder whose Enclosure.ini puts the enclosure on drive E:, a
# folder of this run; the host folders live in the Wine prefix's C: drive.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
"$ROOT/scripts/deps.sh"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target SnapkeepSim snapdrive
# A wineserver of an earlier run would keep its own display: start afresh on ours.
"$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
start_display
trap stop_wine EXIT
start_wine

work=$ROOT/build/job-shots
rm -rf "$work"
mkdir -p "$work/enclosure" docs/screenshots
cp -r data/SnapData "$work/"
# The enclosure's drive letter: Wine reads its drive links when the wineserver starts.
ln -sfn "$work/enclosure" "$WINEPREFIX/dosdevices/e:"
"$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
"$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
start_wine
printf '[Enclosure]\r\nProfile=inquiry-785\r\nLetters=E\r\n' >"$work/SnapData/Enclosure.ini"

users="$WINEPREFIX/drive_c/Users/Anna"
rm -rf "$users"
python3 - "$users" <<'PY'
import os, sys
root = sys.argv[1]
def write(path, size):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(os.urandom(size))
for i in range(4000):
    write(f"{root}/Pictures/{2019 + i // 1000}/IMG_{i:04}.jpg", 4096 + (i % 7) * 3000)
for i in range(40):
    write(f"{root}/Documents/Letters/letter-{i:02}.docx", 20000 + i * 100)
write(f"{root}/Documents/Taxes/return-2024.pdf", 8 << 20)
PY
printf '1\r\nC:\\Users\\Anna\\Pictures\\\r\n1\r\nC:\\Users\\Anna\\Documents\\\r\n' \
    >"$work/SnapData/Host.txt"

caption="Velmora Snapkeep"
# One shot at once, for a window that changes ten times a second.
snap() {
    local x y w h
    read -r x y w h <<<"$1"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$2"
}
drive() { run_wine build/windows/snapdrive.exe "$@" </dev/null | tr -d '\r'; }
start_sim() {
    (cd "$work" && run_wine "$ROOT/build/windows/SnapkeepSim.exe" </dev/null >/dev/null 2>&1) &
    program=$!
    drive wait "$caption" >/dev/null
}

# First backup: scanning, copying part-way, finished.
start_sim
drive backup "$caption"
snap "$(drive job "$caption" scanning)" docs/screenshots/en-job-scanning.png
snap "$(drive job "$caption" copying)" docs/screenshots/en-job-copying.png
shoot "$(drive job "$caption" finished)" docs/screenshots/en-job-finished.png
sleep 4 # the window closes itself
drive close "$caption" >/dev/null
wait "$program"

# Second backup, with files that cannot be written: a folder stands where each must go.
for i in 1 2 3; do
    head -c 5000 /dev/urandom >"$users/Documents/Letters/new-$i.docx"
    mkdir -p "$work/enclosure/Backup/C/Users/Anna/Documents/Letters/new-$i.docx"
done
start_sim
drive backup "$caption"
shoot "$(drive job "$caption" failures)" docs/screenshots/en-job-failures.png
sleep 5 # the window closes itself; the tray icon's notice then says how the job ended
# The notice above the notification area, at the bottom right of the 1024x768 desktop.
import -window root -crop 470x170+554+598 +repage docs/screenshots/en-job-notice.png
drive close "$caption" >/dev/null
wait "$program"

rm -f "$WINEPREFIX/dosdevices/e:"
ls -l docs/screenshots/en-job-*.png
