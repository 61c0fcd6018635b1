#!/usr/bin/env bash
# Screenshots of the installer's first page, for the README: docs/screenshots/setup-en.png,
# and the same page in the installer's other languages (setup-<language>.png), each under the
# matching system language. Packages first (scripts/package.sh); installs nothing: each
# installer is ended on its first page.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/package.sh
version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' build/windows/Product.nsh)
setup="$PWD/build/dist/Snapkeep-$version-setup.exe"

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
(cmake --build --preset windows -j "$(nproc)" --target snapdrive)
start_display
trap stop_wine EXIT
start_wine

# The system's language under Wine is the Unix locale's (compiled here, as the package test
# does).
locales=build/windows/package-test-locales
mkdir -p "$locales" docs/screenshots
caption="Velmora Snapkeep"
while read -r name locale title; do
    if [ "$locale" != C ] && [ ! -d "$locales/$locale" ]; then
        localedef -i "${locale%.UTF-8}" -f UTF-8 "$locales/$locale"
    fi
    LOCPATH="$PWD/$locales" LC_ALL=$locale "$WINE" "$setup" </dev/null >/dev/null 2>&1 &
    installer=$!
    rect=$(run_wine build/windows/snapdrive.exe window '#32770' "${title//_/ }" </dev/null |
        tr -d '\r')
    shoot "$rect" "docs/screenshots/setup-$name.png"
    kill "$installer"
    wait "$installer" || true
done <<EOF
en C ${caption// /_}_Setup
zh-TW zh_TW.UTF-8 ${caption// /_}_安裝
zh-CN zh_CN.UTF-8 ${caption// /_}_安装
ja ja_JP.UTF-8 ${caption// /_}_セットアップ
ru ru_RU.UTF-8 Установка_${caption// /_}
de de_DE.UTF-8 Installation_von_${caption// /_}
EOF
ls docs/screenshots/setup-*.png
