#!/usr/bin/env bash
# The demo: the product's whole job on a simulated enclosure, as a user would see it.
#
# It installs what is missing and builds SnapkeepSim.exe (Snapkeep with a simulated enclosure in
# place of the USB hardware), makes build/demo/ with a host drive H: holding a folder of a few
# hundred files of mixed types and sizes, the enclosure's drive E:, a data folder with the
# shipped languages and configuration, a host list with that folder ticked, and Enclosure.ini.
# Then it starts the program (on a private X server when there is no display), waits until the
# enclosure is found, presses the enclosure's button, watches the backup run in the job window,
# changes and deletes some host files, restores them from the device list, closes the program
# as a user would, and reports. It ends with status 0 only if the backup and the restore both
# matched the host folder.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
start_program_session keep

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo/host/Documents" "$demo/enclosure" "$demo/shots"
cp -r data/SnapData "$demo/"
data="$demo/SnapData"
folder="$demo/host/Documents"

# A host folder of mixed types and sizes in a small tree: mostly small files, some of a few
# hundred KiB, a few of 30 MiB, and some empty ones.
types=(jpg png mp3 wav mp4 avi doc docx xls pdf txt zip rar iso bmp)
for i in $(seq 1 500); do
    dir="$folder/$(printf 'set%02d' $((i % 12)))"
    [ $((i % 5)) -eq 0 ] && dir="$dir/nested/deeper"
    mkdir -p "$dir"
    ext=${types[$((i % ${#types[@]}))]}
    if [ $((i % 100)) -eq 0 ]; then size=$((30 * 1024 * 1024 + i * 1000))
    elif [ $((i % 10)) -eq 0 ]; then size=$((200 * 1024 + i * 300))
    elif [ $((i % 37)) -eq 0 ]; then size=0
    else size=$((1000 + i * 97))
    fi
    head -c "$size" /dev/urandom >"$dir/file$i.$ext"
done
cp -a "$folder" "$demo/original"

# The host list with the sample folder ticked; the enclosure attached, its button released. Its
# disk is as fast as a USB 2.0 enclosure: 25 MB/s writing, 30 MB/s reading, 6 ms for each file
# it creates, so that the backup takes some seconds to watch.
speed=$'WriteMBps=25\r\nReadMBps=30\r\nFileOpenMs=6\r\n'
printf '1\r\nH:\\Documents\\\r\n' >"$data/Host.txt"
enclosure() {
    printf '[Enclosure]\r\nProfile=inquiry-785\r\nLetters=E\r\nAttached=1\r\nButtonPressed=%s\r\n%s' \
        "$1" "$speed" >"$data/Enclosure.ini.new"
    mv "$data/Enclosure.ini.new" "$data/Enclosure.ini"
}
enclosure 0

map_drive e "$demo/enclosure" h "$demo/host"
trap 'unmap_drive e h; stop_wine' EXIT

caption="Velmora Snapkeep"
drive() { run_wine build/windows/snapdrive.exe "$@" </dev/null | tr -d '\r'; }
(cd "$demo" && run_wine "$ROOT/build/windows/SnapkeepSim.exe" </dev/null >/dev/null 2>&1) &
program=$!
rect=$(drive wait "$caption")
drive drives "$caption" >/dev/null
shoot "$rect" "$demo/shots/main.png"
echo "demo: the program found the enclosure on E:\\"

# Two trees hold the same files: bytes, sizes and modification times. Windows keeps times in
# 100 ns steps, so the times are compared to the 100 ns.
# A restore keeps each host file it replaces, as "name (before restore YYYY-MM-DD hhmm).ext"
# beside the restored one (under Windows in the Recycle Bin where that is sure): those are not
# part of the comparison, and the report counts them.
kept_name='* (before restore *'
listing() {
    (cd "$1" && find . -type f ! -name "$kept_name" -printf '%P %s %T@\n' |
        awk '{ split($3, t, "."); print $1, $2, t[1] "." substr(t[2] "0000000", 1, 7) }' | sort)
}
same_tree() {
    diff -r -x "$kept_name" "$1" "$2" >/dev/null && diff <(listing "$1") <(listing "$2") >/dev/null
}

# The button: pressed until the job window shows, then released.
shot() { import -window root -crop "$(awk '{print $3"x"$4"+"$1"+"$2}' <<<"$1")" +repage "$2"; }
started=$(date +%s%N)
enclosure 1
jobrect=$(drive job "$caption")
enclosure 0
# The job starts with the speed probe and the scan; the copy pass follows within a second or two,
# and the finished window closes itself 3 s after the end. A watcher notes the gauge and the time
# left through the whole copy pass.
drive watch "$caption" >"$demo/watch.txt" 2>/dev/null &
watcher=$!
sleep 0.3 # let the window paint its first state
shot "$jobrect" "$demo/shots/job-scanning.png"
if rect=$(drive job "$caption" midfile 60000 2>/dev/null); then
    shot "$rect" "$demo/shots/job-copying.png"
fi
if rect=$(drive job "$caption" finished 10000 2>/dev/null); then
    shoot "$rect" "$demo/shots/job-finished.png" # the window holds still until it closes
    drive jobtext "$caption" >"$demo/job.txt" 2>/dev/null || true
fi
drive jobdone "$caption"
finished=$(date +%s%N)
wait "$watcher" || true
# What the time left said when the gauge first reached 25, 50 and 75 %, against the time the
# rest of the copy pass really took from then.
estimates=$(awk '$1 == "end" { end = $2; next }
    { t[NR] = $1; g[NR] = $2; left[NR] = $3; n = NR }
    END {
        split("25 50 75", at, " ")
        for (k = 1; k <= 3; k++) {
            for (i = 1; i <= n; i++) if (g[i] >= at[k]) break
            if (i > n || !end) { printf "at %d %%: not seen; ", at[k]; continue }
            printf "at %d %%: said %d s, took %.1f s; ", at[k], left[i], (end - t[i]) / 1000
        }
    }' "$demo/watch.txt")
backup_ok=no
same_tree "$demo/original" "$demo/enclosure/Backup/H/Documents" && backup_ok=yes
rows=$(drive rows "$caption" device)

# Change some host files and delete others, then restore the folder from the device list.
for f in $(find "$folder" -type f -name '*.txt' | sort | head -5); do echo changed >>"$f"; done
find "$folder" -type f -name '*.mp3' | sort | head -8 | xargs rm -f
drive tick "$caption" device 0
drive click "$caption" restore
drive job "$caption" >/dev/null
drive jobdone "$caption"
restore_ok=no
same_tree "$demo/original" "$folder" && restore_ok=yes
kept=$(find "$folder" -type f -name "$kept_name" | wc -l)

drive close "$caption" >/dev/null
wait "$program" || true

files=$(find "$demo/enclosure/Backup/H/Documents" -type f | wc -l)
bytes=$(find "$demo/enclosure/Backup/H/Documents" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')
cat <<REPORT

== Snapkeep demo report
backed up:        $files files, $bytes bytes, to E:\\Backup\\H\\Documents
time taken:       $(( (finished - started) / 1000000 )) ms from the button press to the job window closing
time left:        ${estimates%; }
device list:      ${rows//$'\n'/; }
backup matched:   $backup_ok (bytes, sizes and modification times of every file)
restore matched:  $restore_ok (after changing 5 files and deleting 8; $kept changed host files kept beside)
screenshots:      $(ls "$demo"/shots/*.png | tr '\n' ' ')
REPORT
[ "$backup_ok" = yes ] && [ "$restore_ok" = yes ]
