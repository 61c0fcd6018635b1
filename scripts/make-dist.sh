#!/usr/bin/env bash
# Makes the installer and the portable zip from a Windows build that is already built:
#
#   scripts/make-dist.sh BUILD_DIR OUT_DIR [--config FILE --caption TEXT]
#
# writes OUT_DIR/Snapkeep-<version>-setup.exe and OUT_DIR/Snapkeep-<version>-portable.zip.
# The version is the CMake project version, read from the build's Product.nsh. FILE, a
# scrambled product configuration (README, "The product configuration"), replaces the sample
# qconfig.inis in both; TEXT names the install folder, the shortcuts and the Apps & features
# entry, and should be the configuration's MainFormCaption. scripts/package.sh builds first and
# then runs this; the package test runs it on the test build.
set -euo pipefail

usage() {
    echo "usage: $0 BUILD_DIR OUT_DIR [--config FILE --caption TEXT]" >&2
    exit 2
}
(($# >= 2)) || usage
build=$(cd "$1" && pwd)
out=$2
shift 2
config="" caption="Velmora Snapkeep"
while (($#)); do
    case $1 in
    --config) config=$(realpath "${2:?}") && shift 2 ;;
    --caption) caption=${2?} && shift 2 ;;
    *) usage ;;
    esac
done
root=$(cd "$(dirname "$0")/.." && pwd)

# The caption becomes a folder name and an NSIS string: no characters that either forbids,
# and what the program accepts for a caption (at most 63 characters, no comma).
forbidden='[\/:*?"<>|$,[:cntrl:]]|^[[:space:]]|[[:space:].]$'
if [ -z "$caption" ] || ((${#caption} > 63)) || [[ $caption =~ $forbidden ]]; then
    echo "make-dist: '$caption' cannot name a folder or a shortcut" >&2
    exit 2
fi

version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' "$build/Product.nsh")
[ -n "$version" ] || { echo "make-dist: no version in $build/Product.nsh" >&2; exit 1; }
[ -f "$build/Snapkeep.exe" ] || { echo "make-dist: $build/Snapkeep.exe is not built" >&2; exit 1; }

# What ships, laid out as it lands on the user's disk.
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage/SnapData/Language"
x86_64-w64-mingw32-strip -o "$stage/Snapkeep.exe" "$build/Snapkeep.exe"
cp "$root"/data/SnapData/Language/*.ini "$stage/SnapData/Language/"
cp "${config:-$root/data/SnapData/qconfig.inis}" "$stage/SnapData/qconfig.inis"
# Notepad on older Windows shows a file without CR LF as one line.
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$root/packaging/Readme.txt" >"$stage/Readme.txt"

zip="$out/Snapkeep-$version-portable.zip"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip Snapkeep.exe SnapData Readme.txt)

setup="$out/Snapkeep-$version-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 -NOCD \
    "-DPRODUCT_NSH=$build/Product.nsh" "-DCAPTION=$caption" "-DSTAGE=$stage" \
    "-DSOURCE=$root" "-DOUTFILE=$setup" "$root/packaging/Snapkeep.nsi"
rm -rf "$stage"
echo "make-dist: $setup"
echo "make-dist: $zip"
