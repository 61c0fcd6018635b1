#!/usr/bin/env bash
# Screenshots of the main window's three pages in each of the six languages, for the README and
# for checking that every caption fits: docs/screenshots/<language>-<page>.png; and the first
# page once the (simulated) enclosure has been found: docs/screenshots/en-backup-found.png.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
start_program_session

work=build/screenshots
rm -rf "$work"
mkdir -p "$work" docs/screenshots
cp -r data/SnapData "$work/"
# A few folders, so that the lists show what they are for.
printf '1\r\nC:\\Users\\Anna\\Pictures\\\r\n1\r\nC:\\Users\\Anna\\Documents\\\r\n0\r\nD:\\Music\\\r\n' \
    >"$work/SnapData/Host.txt"
printf '0\r\nE:\\Backup\\C\\Users\\Anna\\Pictures\\\r\n' >"$work/SnapData/Device.txt"

caption="Velmora Snapkeep"
# The simulated program, with no enclosure plugged in until the last picture.
(cd "$work" && run_wine "$ROOT/build/windows/SnapkeepSim.exe" </dev/null >/dev/null 2>&1) &
program=$!
drive() { run_wine build/windows/snapdrive.exe "$@" </dev/null | tr -d '\r'; }
rect=$(drive wait "$caption")

languages=(en zh-TW zh-CN ja ru de)
pages=(backup settings about)
for index in "${!languages[@]}"; do
    drive tab "$caption" 1 >/dev/null
    drive language "$caption" "$index" >/dev/null
    for page in "${!pages[@]}"; do
        drive tab "$caption" "$page" >/dev/null
        shoot "$rect" "docs/screenshots/${languages[$index]}-${pages[$page]}.png"
    done
done
# Leave the settings as they were: English.
drive language "$caption" 0 >/dev/null
drive tab "$caption" 0 >/dev/null
printf '[Enclosure]\r\nProfile=inquiry-785\r\nLetters=E\r\n' >"$work/SnapData/Enclosure.ini.new"
mv "$work/SnapData/Enclosure.ini.new" "$work/SnapData/Enclosure.ini"
drive drives "$caption" >/dev/null
shoot "$rect" docs/screenshots/en-backup-found.png
drive close "$caption" >/dev/null
wait "$program"
ls docs/screenshots
