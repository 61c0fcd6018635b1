#!/usr/bin/env bash
# The demo: installs what is missing, builds the program, and runs it under Wine (on a private
# Xvfb when there is no display) on a simulated enclosure: SnapkeepSim.exe, the same program
# with a simulated enclosure in place of the USB hardware. The enclosure's volume is drive E:,
# a folder of the demo. The demo plugs the enclosure in by writing SnapData\Enclosure.ini,
# waits until the program has found it, saves a screenshot as demo-main.png, and closes the
# program as a user would, which writes the folder lists and settings into the demo's copy of
# the data folder.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
start_program_session keep

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp -r data/SnapData "$demo/"
map_drive e "$demo/enclosure"
trap 'unmap_drive e; stop_wine' EXIT

caption="Velmora Snapkeep"
(cd "$demo" && run_wine "$ROOT/build/windows/SnapkeepSim.exe" </dev/null >/dev/null 2>&1) &
program=$!
rect=$(run_wine build/windows/snapdrive.exe wait "$caption" </dev/null | tr -d '\r')

# Plug the enclosure in: written whole and renamed into place, as a test would.
printf '[Enclosure]\r\nProfile=inquiry-785\r\nLetters=E\r\nAttached=1\r\n' \
    >"$demo/SnapData/Enclosure.ini.new"
mv "$demo/SnapData/Enclosure.ini.new" "$demo/SnapData/Enclosure.ini"
drives=$(run_wine build/windows/snapdrive.exe drives "$caption" </dev/null | tr -d '\r')
shoot "$rect" demo-main.png
echo "demo: the program found the enclosure on ${drives//$'\n'/ }; screenshot demo-main.png"

run_wine build/windows/snapdrive.exe close "$caption" </dev/null
wait "$program"
echo "demo: closed; the program wrote:"
ls -l "$demo/SnapData"
