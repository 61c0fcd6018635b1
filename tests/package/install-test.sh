#!/usr/bin/env bash
# The installer and the portable zip, as a user meets them, under Wine:
#
#   install-test.sh BUILD_DIR
#
# Packages the Windows build with a product configuration of the test's own (caption
# "Snapkeep Package Test"), then, in a fresh Wine prefix made for this run (the build's prefix
# is shared with the other tests and must not gain an installed program):
#   - installs an older version silently without starting with Windows (/NOSTARTUP): no logon
#     task;
#   - checks the installed files, the Start-menu shortcut and its working folder, and the Apps &
#     features entry;
#   - opens the Start-menu shortcut from another folder: the program's window shows the
#     product's caption and, on closing, it writes its lists and settings in the install folder;
#   - while that program runs, a silent install ends with an error and changes nothing;
#   - installs the current version over it: the user's files are kept, the entry is updated,
#     the choice not to start with Windows is kept, and a Startup-folder shortcut of an earlier
#     version is removed; /STARTUP then registers the logon task (trigger, run level, the tray
#     switch, the exe's path, the install folder), and a reinstall keeps it;
#   - starts the installer and the uninstaller under each of the six languages' locales (and
#     one they lack) and sees each window's title in that language (English for the other);
#   - uninstalls answering the question about the user's files No (they stay), then Yes;
#   - uninstalls silently: the program's files and the task go, the user's files stay; a
#     default silent install then registers the task again, and /PURGE takes everything;
#   - unpacks the portable zip into a new folder and runs the program from there.
# Needs an X display (DISPLAY), as every Windows window test does.
set -euo pipefail
build=$(cd "${1:?usage: install-test.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
work="$build/package-test"
caption="Snapkeep Package Test"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
export WINEPREFIX="$work/prefix"
[ -n "${DISPLAY:-}" ] || { echo "install-test: needs an X display (DISPLAY)" >&2; exit 1; }

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "== $*"; }
# Runs "$@" until it succeeds, for at most $1 seconds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}
# A Windows program of this build, its output without CRs. GUI programs and the installers
# run with every stream on /dev/null instead (quiet).
win() { "$WINE" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
quiet() { "$WINE" "$@" </dev/null >/dev/null 2>&1; }
tool() { win "$build/$1" "${@:2}"; }

# The prefix takes 700 MB: it goes at the end, unless KEEP_PACKAGE_TEST=1 keeps it for a look.
cleanup() {
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    [ -n "${KEEP_PACKAGE_TEST:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
"$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
rm -rf "$work"

step "package with the test's product configuration"
mkdir -p "$work/older"
printf 'Model=ALL\r\nMainFormCaption=%s\r\n' "$caption" >"$work/product.txt"
# The fresh prefix: its own wineserver, started with every stream on /dev/null so that neither
# it nor Wine's services hold the test's output open.
mkdir -p "$WINEPREFIX"
"$WINESERVER" -p </dev/null >/dev/null 2>&1
quiet wineboot --init
# Wine stores a registered task without its trigger, principal and action: a stand-in for
# schtasks records what the installer asks for, then runs Wine's own.
sys32="$WINEPREFIX/drive_c/windows/system32"
cp "$sys32/schtasks.exe" "$sys32/schtasks-wine.exe"
cp "$build/schtasks_recorder.exe" "$sys32/schtasks.exe"
# Wine runs its own programs in place of a file of theirs in the system folder unless told not
# to; the installer's schtasks inherits this.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;schtasks.exe=n"
# The services that the first start of a new prefix runs do not know the task scheduler yet
# (it is registered during that start), so a request to it fails until the wineserver and its
# services start again.
"$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
"$WINESERVER" -p </dev/null >/dev/null 2>&1
quiet cmd /c exit || true
scheduler_running() {
    quiet net start schedule || true
    win sc query schedule | grep -q RUNNING
}
wait_for 120 scheduler_running || fail "the task scheduler service does not start"
quiet "$build/qconfig.exe" scramble "$work/product.txt" "$work/qconfig.inis"
"$root/scripts/make-dist.sh" "$build" "$work/dist" --config "$work/qconfig.inis" \
    --caption "$caption" >/dev/null
setup="$work/dist/Snapkeep-$version-setup.exe"
zip="$work/dist/Snapkeep-$version-portable.zip"
if [ ! -f "$setup" ] || [ ! -f "$zip" ]; then
    fail "no Snapkeep-$version-setup.exe and -portable.zip"
fi
# Per-machine: Windows starts both with administrator rights, as it does the program.
asks_for_administrator() { grep -aq 'requestedExecutionLevel level="requireAdministrator"' "$1"; }
asks_for_administrator "$setup" || fail "the installer does not ask for administrator rights"
# The same program under an older version number, to install over.
ln -s "$build/Snapkeep.exe" "$work/older/Snapkeep.exe"
sed 's/^!define VERSION .*/!define VERSION "0.9.0.0"/' "$build/Product.nsh" >"$work/older/Product.nsh"
"$root/scripts/make-dist.sh" "$work/older" "$work/older" --config "$work/qconfig.inis" \
    --caption "$caption" >/dev/null

c="$WINEPREFIX/drive_c"
inst="$c/Program Files/$caption"
inst_win="C:\\Program Files\\$caption"
menu_lnk="C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\$caption.lnk"
startup_lnk="C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\$caption.lnk"
key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$caption"
unix_path() { win winepath -u "$1"; }
# A folder's files, or a list of names, as one sorted line.
files_in() { [ -d "$1" ] && (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' '); }
sorted() { printf '%s\n' "$@" | LC_ALL=C sort | tr '\n' ' '; }
languages=(SnapData/Language/{Chinese_BIG5,Chinese_GB,English,German,Japenese,Russian}.ini)
program_files=("${languages[@]}" SnapData/qconfig.inis Snapkeep.exe uninstall.exe)
user_files=(SnapData/Device.txt SnapData/Host.txt SnapData/Setting.txt)
reg_value() {
    win reg query "$key" /v "$1" | sed -n "s/^    $1    REG_[A-Z_]*    //p"
}
entry_gone() { ! "$WINE" reg query "$key" </dev/null >/dev/null 2>&1; }
# The logon task: registered with Wine (its file), and what the installer asked for (the task
# file the last /create was given, as the stand-in recorded it).
task_file="$sys32/tasks/$caption"
task_registered() { [ -f "$task_file" ]; }
last_task_xml() {
    local last
    last=$(find "$WINEPREFIX/drive_c/schtasks-calls" -name '*.xml' 2>/dev/null | sort -V | tail -n 1)
    [ -n "$last" ] || fail "the installer gave schtasks no task file"
    # UTF-16 with its byte-order mark, as schtasks reads it.
    [ "$(head -c 2 "$last" | od -An -tx1 | tr -d ' ')" = "fffe" ] || fail "$last is not UTF-16LE"
    iconv -f UTF-16 -t UTF-8 "$last" | tr -d '\r\n' | sed 's/>[[:space:]]*</></g'
}
expect_task() {
    task_registered || fail "no logon task registered"
    local xml
    xml=$(last_task_xml)
    for element in \
        '<LogonTrigger><Enabled>true</Enabled></LogonTrigger>' \
        '<GroupId>S-1-5-32-545</GroupId>' \
        '<RunLevel>HighestAvailable</RunLevel>' \
        "<Command>$inst_win\\Snapkeep.exe</Command>" \
        '<Arguments>/tray</Arguments>' \
        "<WorkingDirectory>$inst_win</WorkingDirectory>" \
        '<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>' \
        '<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>' \
        '<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>'; do
        grep -qF -- "$element" <<<"$xml" || fail "the logon task lacks $element: $xml"
    done
    # A logon trigger naming no user fires for every user; the principal is the Users group.
    ! grep -q '<UserId>' <<<"$xml" || fail "the logon task names a user: $xml"
}
no_task() { ! task_registered || fail "a logon task is registered"; }
expect() { # NAME ACTUAL WANTED
    [ "$2" = "$3" ] || fail "$1 is '$2', not '$3'"
}

step "install the older version silently, not starting with Windows"
quiet "$work/older/Snapkeep-0.9.0.0-setup.exe" /S /NOSTARTUP || fail "the older installer failed"
expect "DisplayVersion" "$(reg_value DisplayVersion)" "0.9.0.0"
no_task
expect "the kept choice" "$(reg_value StartWithWindows)" "0x0"

step "open the Start-menu shortcut from another folder"
open_from_menu() {
    # The test's own folder holds no SnapData: the program finds its data only through the
    # shortcut's working folder.
    (cd "$work" && quiet "$build/shortcut.exe" open "$menu_lnk") || fail "the shortcut did not open"
    tool snapdrive.exe wait "$caption" >/dev/null ||
        fail "no main window titled '$caption': the program did not read the installed configuration"
}
close_program() { tool snapdrive.exe close "$caption" >/dev/null || fail "the window did not close"; }
start_from_menu() {
    open_from_menu
    close_program
}
open_from_menu

step "an install while the program runs ends without touching it"
status=0
quiet "$setup" /S || status=$?
expect "the installer's exit code while the program runs" "$status" 5
expect "DisplayVersion" "$(reg_value DisplayVersion)" "0.9.0.0"
close_program
for f in "${user_files[@]}"; do
    wait_for 20 test -f "$inst/$f" || fail "closing did not write $f in the install folder"
done
printf '1\r\nC:\\Users\\Anna\\Pictures\\\r\n0\r\nD:\\Music\\\r\n' >"$inst/SnapData/Host.txt"
before=$(cd "$inst" && md5sum "${user_files[@]}")
# A version before the logon task could start the program from the Startup folder.
startup_unix=$(unix_path "$startup_lnk")
mkdir -p "$(dirname "$startup_unix")"
cp "$(unix_path "$menu_lnk")" "$startup_unix"

step "install the current version over it"
quiet "$setup" /S || fail "the installer failed"
no_task
[ ! -e "$startup_unix" ] || fail "the earlier version's Startup shortcut stayed"
expect "user files after installing over the older version" "$(cd "$inst" && md5sum "${user_files[@]}")" "$before"
expect "installed files" "$(files_in "$inst")" "$(sorted "${program_files[@]}" "${user_files[@]}")"
cmp -s "$inst/SnapData/qconfig.inis" "$work/qconfig.inis" || fail "qconfig.inis is not the product's"
asks_for_administrator "$inst/uninstall.exe" ||
    fail "the uninstaller does not ask for administrator rights"

step "start with Windows: /STARTUP registers the logon task, a reinstall keeps it"
quiet "$setup" /S /STARTUP || fail "the installer failed"
expect_task
expect "the kept choice" "$(reg_value StartWithWindows)" "0x1"
quiet "$setup" /S || fail "the installer failed"
expect_task

step "the Start-menu shortcut and its working folder"
[ -f "$(unix_path "$menu_lnk")" ] || fail "no shortcut $menu_lnk"
fields=$(tool shortcut.exe show "$menu_lnk")
expect "$menu_lnk target" "$(sed -n 's/^Target=//p' <<<"$fields")" "$inst_win\\Snapkeep.exe"
expect "$menu_lnk working folder" "$(sed -n 's/^WorkingDirectory=//p' <<<"$fields")" "$inst_win"
[ ! -e "$startup_unix" ] || fail "a Startup-folder shortcut"

step "Apps & features entry"
expect DisplayName "$(reg_value DisplayName)" "$caption"
expect DisplayVersion "$(reg_value DisplayVersion)" "$version"
expect Publisher "$(reg_value Publisher)" "Velmora"
expect DisplayIcon "$(reg_value DisplayIcon)" "$inst_win\\Snapkeep.exe,0"
expect InstallLocation "$(reg_value InstallLocation)" "$inst_win"
expect UninstallString "$(reg_value UninstallString)" "\"$inst_win\\uninstall.exe\""
expect QuietUninstallString "$(reg_value QuietUninstallString)" "\"$inst_win\\uninstall.exe\" /S"
size=$(($(reg_value EstimatedSize)))
exe_kib=$(($(stat -c %s "$inst/Snapkeep.exe") / 1024))
((size >= exe_kib && size < exe_kib + 1024)) || fail "EstimatedSize $size KiB for a $exe_kib KiB program"

step "the installer and the uninstaller speak the system's language"
# The system's language under Wine is the Unix locale's; the locales are compiled once per
# build, into a folder of their own (localedef takes seconds each).
locales="$build/package-test-locales"
# A window of that title (the uninstaller's pages add a space).
window_titled() { xdotool search --name "^$1 ?\$" 2>/dev/null | head -n 1; }
shows_title() { [ -n "$(window_titled "$1")" ]; }
expect_title() { # LOCALE TITLE PROGRAM [ARGUMENTS]
    local locale=$1 title=$2 program
    shift 2
    [ -d "$locales/$locale.UTF-8" ] || localedef -i "$locale" -f UTF-8 "$locales/$locale.UTF-8"
    LOCPATH=$locales LC_ALL=$locale.UTF-8 "$WINE" "$@" </dev/null >/dev/null 2>&1 &
    program=$!
    wait_for 30 shows_title "$title" || fail "$locale: no window titled '$title'"
    # The uninstaller runs a copy of itself from the temporary folder: the process to end is
    # the window's.
    kill "$(xdotool getwindowpid "$(window_titled "$title")")"
    wait "$program" || true
}
mkdir -p "$locales"
# French is not among the program's languages: English stands in.
while read -r locale setup_title uninstall_title; do
    expect_title "$locale" "${setup_title//_/ }" "$setup"
    expect_title "$locale" "${uninstall_title//_/ }" "$inst/uninstall.exe"
done <<EOF
fr_FR ${caption// /_}_Setup ${caption// /_}_Uninstall
zh_TW ${caption// /_}_安裝 ${caption// /_}_解除安裝
zh_CN ${caption// /_}_安装 ${caption// /_}_卸载
ja_JP ${caption// /_}_セットアップ ${caption// /_}_アンインストール
ru_RU Установка_${caption// /_} Удаление_${caption// /_}
de_DE Installation_von_${caption// /_} Deinstallation_von_${caption// /_}
EOF

step "the program runs again from the new version with the user's lists"
start_from_menu
# Closing writes the list back in the program's own form (UTF-16): the kept one was read.
rewritten() { head -c 2 "$inst/SnapData/Host.txt" | cmp -s - <(printf '\xff\xfe') &&
    tr -d '\000' <"$inst/SnapData/Host.txt" | grep -q 'Anna.Pictures'; }
wait_for 20 rewritten ||
    fail "the program did not read the kept Host.txt"

step "the uninstaller asks before removing the user's files"
# Answered No, then Yes, as a user clicks the uninstaller's button and the question's.
uninstall_answering() { # BUTTON (6 yes, 7 no)
    local question="" deadline=$((SECONDS + 120))
    quiet "$inst/uninstall.exe" &
    tool snapdrive.exe press '#32770' "$caption Uninstall" 1 || fail "no uninstaller window"
    # The wizard now and then drops the click on its first page (see snapdrive): click again
    # until the question comes. A click past the first page finds the button disabled.
    until question=$(tool snapdrive.exe answer "$caption Uninstall" "$1" 10); do
        ((SECONDS < deadline)) || fail "the uninstaller did not ask about the user's files"
        tool snapdrive.exe press '#32770' "$caption Uninstall" 1 || true
    done
    grep -q 'Host.txt, Device.txt, Setting.txt' <<<"$question" || fail "the question was: $question"
    wait_for 60 entry_gone || fail "the Apps & features entry stayed"
    wait "$!" || true
}
uninstall_answering 7
expect "files left after answering No" "$(files_in "$inst")" "$(sorted "${user_files[@]}")"
quiet "$setup" /S || fail "the installer failed"
uninstall_answering 6
[ ! -e "$inst" ] || fail "the install folder stayed after answering Yes: $(files_in "$inst")"
quiet "$setup" /S || fail "the installer failed"
printf '1\r\nC:\\Users\\Anna\\Pictures\\\r\n' >"$inst/SnapData/Host.txt"
printf '' >"$inst/SnapData/Device.txt"
printf '[LanguageType]\r\nLanguage=0\r\n' >"$inst/SnapData/Setting.txt"

step "uninstall silently: the program goes, the user's files stay"
uninstall() {
    # The uninstaller runs a copy of itself from the temporary folder and returns at once; the
    # entry is the last thing it removes.
    quiet "$inst/uninstall.exe" /S "$@" || fail "the uninstaller did not start"
    wait_for 60 entry_gone || fail "the Apps & features entry stayed"
}
uninstall
expect "files left" "$(files_in "$inst")" "$(sorted "${user_files[@]}")"
no_task
for lnk in "$menu_lnk" "$startup_lnk"; do
    [ ! -e "$(unix_path "$lnk")" ] || fail "the shortcut $lnk stayed"
done

step "a default silent install starts with Windows; uninstalling with /PURGE leaves nothing"
quiet "$setup" /S || fail "the installer failed"
expect_task
uninstall /PURGE
[ ! -e "$inst" ] || fail "the install folder stayed: $(files_in "$inst")"
no_task

step "the portable zip runs from wherever it is unpacked"
portable="$work/Unpacked here"
mkdir -p "$portable"
(cd "$portable" && cmake -E tar xf "$zip")
expect "portable files" "$(files_in "$portable")" "$(sorted Readme.txt "${languages[@]}" SnapData/qconfig.inis Snapkeep.exe)"
(cd "$portable" && quiet ./Snapkeep.exe) &
program=$!
tool snapdrive.exe wait "$caption" >/dev/null || fail "the portable program showed no window"
tool snapdrive.exe close "$caption" >/dev/null || fail "the portable program did not close"
wait "$program" || fail "the portable program exited with $?"
for f in "${user_files[@]}"; do
    [ -f "$portable/$f" ] || fail "the portable program did not write $f beside itself"
done
step "the installer started from a folder of planted DLLs loads none of them"
# As tests/app/planted-dll-test.sh does for the program: a DLL that leaves a marker when
# loaded, under names the installer's stub uses and which are not known DLLs, preferred by
# Wine as Windows prefers any DLL beside the program. (version and uxtheme: Wine's own DLLs
# load planted copies of those themselves, docs/wine.md.)
downloads="$work/Downloads"
mkdir -p "$downloads"
cp "$setup" "$downloads/"
planted=(dwmapi cryptbase userenv propsys apphelp oleacc ntmarta shfolder msimg32 riched20)
for name in "${planted[@]}"; do cp "$build/planted_marker.dll" "$downloads/$name.dll"; done
(cd "$downloads" && WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$(IFS=,; echo "${planted[*]}")=n,b" \
    WINEDEBUG=-all,+loaddll "$WINE" "./$(basename "$setup")" /S /NOSTARTUP \
    </dev/null >/dev/null 2>"$work/planted.log") || fail "the installer failed beside planted DLLs"
expect "DisplayVersion" "$(reg_value DisplayVersion)" "$version"
markers=$(cd "$downloads" && find . -name '*.loaded')
[ -z "$markers" ] || fail "the installer loaded planted DLLs: $markers"
! grep 'Loaded L"[^"]*Downloads\\\\[^"]*\.dll" at [0-9A-F]*: native' "$work/planted.log" ||
    fail "the installer's trace shows planted DLLs"
# The stub loads these from the system folder itself, before anything could ask for them.
grep -qi 'Loaded L"C:\\\\windows\\\\system32\\\\dwmapi.dll"' "$work/planted.log" ||
    fail "the installer did not load dwmapi.dll from the system folder"
uninstall /PURGE

echo "install-test: passed"
