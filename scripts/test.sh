#!/usr/bin/env bash
# Installs what is missing, builds the native and the Windows presets and runs every test:
# the portable library natively (ASan + UBSan), then every Windows test under Wine on Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

scripts/deps.sh

echo "== native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs" 2>&1 | tee build/native-ctest.log | tail -n 40

echo "== fuzz harnesses of the readers, 10 s each"
# A reader that regresses on odd input is caught here; scripts/fuzz.sh alone runs them longer.
scripts/fuzz.sh 10

echo "== windows build and tests (Wine)"
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
start_display
trap stop_wine EXIT
start_wine
# A test that fails is run once more: a Wine process now and then dies before main() under
# load (no output, 0.01 s). A real fault fails twice, and every first failure stays in the log.
ctest --preset windows -j "$jobs" --repeat until-pass:2 2>&1 | tee build/windows-ctest.log |
    tail -n 40

native=$(grep -Eo 'tests failed out of [0-9]+' build/native-ctest.log | grep -Eo '[0-9]+$')
windows=$(grep -Eo 'tests failed out of [0-9]+' build/windows-ctest.log | grep -Eo '[0-9]+$')
echo "== ran ${native} native tests and ${windows} Windows tests under Wine"
grep -q '100% tests passed' build/native-ctest.log
grep -q '100% tests passed' build/windows-ctest.log
