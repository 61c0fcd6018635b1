#!/usr/bin/env bash
# Points a linked exe's load-configuration directory at its `_load_config_used` structure:
#
#   set-load-config.sh EXE
#
# The loader reads the program's load configuration (here: the dependent-load flag) only
# through that directory entry, and GNU ld 2.40 does not fill it in. The entry is the 11th of
# the PE32+ optional header's data directories: the structure's address relative to the image
# base, then its size (the structure's own first field).
set -euo pipefail
exe=${1:?usage: set-load-config.sh EXE}
tools=x86_64-w64-mingw32

address=$($tools-nm "$exe" | sed -n 's/^\([0-9a-f]*\) R _load_config_used$/\1/p')
base=$($tools-objdump -p "$exe" | sed -n 's/^ImageBase[[:space:]]*\([0-9a-f]*\)$/\1/p')
[ -n "$address" ] && [ -n "$base" ] || { echo "set-load-config: no _load_config_used in $exe" >&2; exit 1; }
rva=$((16#$address - 16#$base))

# Little-endian bytes of a 32-bit number, for printf.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
read_le32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

pe=$(read_le32 "$exe" 60)
# Signature (4) + file header (20), then the PE32+ optional header: data directories at 112.
optional=$((pe + 24))
[ "$(od -An -tx2 -j "$optional" -N2 "$exe" | tr -d ' ')" = "020b" ] ||
    { echo "set-load-config: $exe is not a PE32+ image" >&2; exit 1; }
entry=$((optional + 112 + 10 * 8))
# The size is the structure's first field, read from the file where the structure lies.
section_of() {
    local index name size vma lma off rest
    while read -r index name size vma lma off rest; do
        [[ $index =~ ^[0-9]+$ ]] || continue
        local start=$((16#$vma - 16#$base))
        if ((rva >= start && rva < start + 16#$size)); then
            echo $((16#$off + rva - start))
            return
        fi
    done < <($tools-objdump -h "$exe")
}
offset=$(section_of)
[ -n "$offset" ] || { echo "set-load-config: _load_config_used lies in no section" >&2; exit 1; }
size=$(read_le32 "$exe" "$offset")
printf "$(le32 $rva)$(le32 "$size")" | dd of="$exe" bs=1 seek="$entry" conv=notrunc status=none
