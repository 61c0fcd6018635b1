#!/usr/bin/env bash
# The demo: installs what is missing, builds the Windows program, and runs it under Wine with a
# copy of the repository's data folder (on a private Xvfb when there is no display). It waits
# for the main window, saves a screenshot as demo-main.png, and closes the program as a user
# would, which writes the folder lists and settings into the copy.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
start_program_session keep

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp -r data/SnapData "$demo/"

caption="Velmora Snapkeep"
(cd "$demo" && run_wine "$ROOT/build/windows/Snapkeep.exe" </dev/null >/dev/null 2>&1) &
program=$!
rect=$(run_wine build/windows/snapdrive.exe wait "$caption" </dev/null | tr -d '\r')
shoot "$rect" demo-main.png
echo "demo: main window at $rect, screenshot demo-main.png"
run_wine build/windows/snapdrive.exe close "$caption" </dev/null
wait "$program"
echo "demo: closed; the program wrote:"
ls -l "$demo/SnapData"
