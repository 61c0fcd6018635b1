#!/bin/bash
# Wine-server requests per copied file: the worker's copy pass of 10,000 files of 4 KiB against
# a CopyFileW + SetFileTime loop over the same files. Unlike the timings this count does not move
# with the machine's load. The program runs under a wineserver of its own that traces every
# request into one file with the program's markers; only the thread that copies is counted.
#
#   bench/request-count.sh [build/windows/snapkeep_worker_bench.exe]
# No other Wine program may be running in the prefix (stop_wine first).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=../scripts/wine-env.sh
source "$ROOT/scripts/wine-env.sh"
BENCH="${1:-$ROOT/build/windows/snapkeep_worker_bench.exe}"
TRACE="$(mktemp /tmp/snapkeep-requests.XXXXXX)"
[ -n "${KEEP_TRACE:-}" ] || trap 'rm -f "$TRACE"' EXIT; echo "trace: $TRACE" >&2

ensure_prefix
# Both the server's trace and the program's debug strings are appended to the one file, so
# the markers stand between the requests they enclose.
"$WINESERVER" -f -d1 </dev/null >>"$TRACE" 2>&1 &
SERVER=$!
WINEDEBUG=-all,+debugstr "$WINE" "$BENCH" --copy </dev/null 2>>"$TRACE"
"$WINESERVER" -k 2>/dev/null || true
wait "$SERVER" 2>/dev/null || true

# Request lines read "0024: create_file( ... )"; replies "0024: create_file() = 0 { ... }".
for stretch in worker loop; do
    awk -v stretch="$stretch" '
        index($0, "snapkeep-bench begin " stretch " ") {
            match($0, /thread=[0-9a-f]+/); thread = substr($0, RSTART + 7, RLENGTH - 7)
            counting = 1; next
        }
        index($0, "snapkeep-bench end " stretch " ") {
            match($0, /files=[0-9]+/); files = substr($0, RSTART + 6, RLENGTH - 6)
            counting = 0; next
        }
        counting && $1 == thread ":" && $2 ~ /^[a-z_]+\($/ { ++requests }
        END {
            if (files > 0)
                printf "   %-6s %8d requests for %5d files: %6.2f per file\n", stretch, requests,
                       files, requests / files
        }' "$TRACE"
done
