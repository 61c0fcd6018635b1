#!/usr/bin/env bash
# Builds Snapkeep for Windows (the windows preset, a release build) and writes, under
# build/dist/, the installer Snapkeep-<version>-setup.exe and the portable
# Snapkeep-<version>-portable.zip.
#
#   scripts/package.sh [--config FILE --caption TEXT]
#
# A product maker's scrambled qconfig.inis (FILE) replaces the sample one; TEXT, normally its
# MainFormCaption, names the install folder, the shortcuts and the Apps & features entry.
set -euo pipefail
cd "$(dirname "$0")/.."

args=()
while (($#)); do
    case $1 in
    --config | --caption) args+=("$1" "${2?"$1 needs a value"}") && shift 2 ;;
    *) echo "usage: $0 [--config FILE --caption TEXT]" >&2 && exit 2 ;;
    esac
done
# A configuration names its own product, so it does not ship under the sample's caption.
config=no caption=no
for a in "${args[@]}"; do
    [ "$a" = --config ] && config=yes
    [ "$a" = --caption ] && caption=yes
done
if [ "$config" = yes ] && [ "$caption" = no ]; then
    echo "package: --config needs --caption (the configuration's MainFormCaption)" >&2
    exit 2
fi

scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target Snapkeep
scripts/make-dist.sh build/windows build/dist "${args[@]}"
