#!/usr/bin/env bash
# Runs every libFuzzer harness of the readers (fuzz/) for SECONDS each (default 600), one after
# the other, on a copy of its seed corpus (fuzz/corpus/<harness>). Prints the executions of each
# and fails on the first finding; the input that caused it is kept in build/fuzz/findings/.
#
#     scripts/fuzz.sh [SECONDS] [HARNESS...]
#
# A finding becomes a fixture of the normal tests once it is mended.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${FUZZ_BUILD_JOBS:-2}" >/dev/null

harnesses=("$@")
if ((${#harnesses[@]} == 0)); then
    harnesses=(KeyLookupFuzz FolderListFuzz SettingsFuzz ProductConfigFuzz LanguageFileFuzz
               EnclosureFileFuzz IdentifyChipFuzz HistoryFileFuzz EnclosureIndexFuzz)
fi

mkdir -p build/fuzz/findings
status=0
for harness in "${harnesses[@]}"; do
    work="build/fuzz/corpus/${harness}"
    mkdir -p "$work"
    log="build/fuzz/${harness}.log"
    # New inputs go to the working corpus; the seeds in the repository stay as they are.
    if ! "build/fuzz/${harness}" -max_total_time="$seconds" -print_final_stats=1 \
        -timeout=10 -rss_limit_mb=2048 -artifact_prefix="build/fuzz/findings/${harness}-" \
        "$work" "fuzz/corpus/${harness}" >"$log" 2>&1; then
        echo "fuzz: ${harness} FOUND A FAULT (see ${log} and build/fuzz/findings/)"
        grep -E 'ERROR|SUMMARY|==[0-9]+==' "$log" | head -n 5 || true
        status=1
        continue
    fi
    runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$')
    echo "fuzz: ${harness}: ${runs} executions in ${seconds} s, no finding"
done
exit "$status"
