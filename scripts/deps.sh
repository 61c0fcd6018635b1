#!/usr/bin/env bash
# Installs whatever of the build and test packages is missing (Debian 12). A second run on the
# same machine finds everything present and returns at once.
set -euo pipefail

packages=(
    cmake g++ make googletest
    # The readers' fuzz harnesses: clang, and libFuzzer with the sanitizer runtimes.
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64 mingw-w64-tools
    wine64 xvfb xauth imagemagick xdotool
    # The installer (scripts/make-dist.sh), and the locales its test runs it in.
    nsis locales
    # Real FAT and exFAT volumes for the comparison's end-to-end tests (mounted through FUSE).
    fusefat exfat-fuse dosfstools exfatprogs
    # Wine draws captions with these: Latin/Cyrillic serif and sans faces, and CJK.
    fonts-wine fonts-liberation fonts-dejavu-core fonts-noto-cjk
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]} == 0)); then
    echo "deps: all ${#packages[@]} packages present"
    exit 0
fi

echo "deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
