#!/usr/bin/env bash
# End-to-end runs of the built uninstall.exe in awkward real environments, each in a fresh
# prefix copy, asserting what the user is left with: the files, folders, registry values and
# texts that must be there and those that must not.
#   tests/e2e/awkward.sh <build dir> <scenario>
# Scenarios:
#   names  two product folders whose names hold %, &, ^, !, blanks and (the second) Greek,
#          Cyrillic and CJK letters, with listed entries of such names and entries deep
#          enough for paths past 260 characters; both run with confirmation through the
#          window driver, with language files filled to their limit: UTF-16 data of exactly
#          2 MiB, and an ANSI file of more than 2 MiB whose last key crosses the limit of
#          1,048,576 characters. The long paths are those of entries deep inside the
#          folder: a product folder of more than 260 characters cannot run under Wine, which
#          aborts on a corrupted heap when a process with so long a current folder starts
#          another, so the program dies at the shell's first notification or at the script.
#   big    setup and uninstall with a Talvex.ini of 10,000 entries and an Uninstall.lst of
#          100,000 lines, with read-only and hidden files, a file held open and a library
#          loaded by another process, a listed folder that is a link out of the product
#          folder, and lines that try to reach outside it.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../tools/standin/product.sh"
build=$(cd "$1" && pwd)
scenario=$2
work=$build/e2e/awkward-$scenario
rm -rf "$work"
mkdir -p "$work"
# File names go between Linux and Wine as UTF-8 whatever the caller's locale.
export LC_ALL=C.UTF-8

failures=0
check() {  # check <what it shows> <command...>
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
gone() { [ ! -e "$1" ] && [ ! -L "$1" ]; }
kept_with() { [ -f "$1" ] && [ "$(cat "$1")" = "$2" ]; }
has_line() { grep -qxF -- "$2" "$1"; }

# The product folder of the current step: tools/standin/product.sh stages into and runs from
# whatever this names.
product=""
tvx_product_dir() { echo "$product"; }
win_path() { echo "C:${1#"$WINEPREFIX/drive_c"}" | tr / '\\'; }
temp_script() { compgen -G "$WINEPREFIX/drive_c/users/*/Temp/Uninstall_Tvx.Bat" >/dev/null; }

# list_lines <line...>: appends entries to the staged Uninstall.lst in the ANSI code page.
list_lines() { printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP1252 >>"$product/Uninstall.lst"; }

# make_file <path> [content]: a file with its own path as content unless told otherwise.
make_file() { mkdir -p "$(dirname "$1")" && printf '%s' "${2:-$1}" >"$1"; }

# drive <output> <switches...>: runs the staged program through the window driver from the
# product folder, answering its confirmation with Yes, as a person starting it from the list
# of installed programs would; the driver prints the box's caption and texts.
drive() {
    local output=$1
    shift
    # By its full name: a bare name would find the uninstall.exe beside the driver first.
    (cd "$product" && timeout -k 5 120 wine "$build/tvxdrive.exe" --timeout 60 --press Yes \
        --run "$(win_path "$product")\\uninstall.exe" "$@" 2>/dev/null | tr -d '\r' >"$output")
}

# The language data is read up to 2,097,152 bytes from the first byte of its marker, and of
# what that converts to at most 1,048,576 characters are parsed: the limit that bites is the
# byte count in UTF-16 and the character count in a one-byte ANSI code page. A key line that
# crosses the limit keeps only its first part; nothing beyond it is read.
lng_limit() { if [ "$1" = UTF-16LE ]; then echo 2097152; else echo 1048576; fi; }

# lng_file <encoding> <file> <text before the padding> <last text up to the limit> [beyond]:
# a language file whose data from the marker on reaches the limit exactly with the end of
# the last text, padded with comment lines, followed by [beyond] (UTF-8 arguments).
lng_file() {
    local encoding=$1 file=$2 head="***messages***"$'\r\n'":STRINGS"$'\r\n'$3 last=$4 beyond=${5:-}
    local width=1 limit
    [ "$encoding" = UTF-16LE ] && width=2
    limit=$(lng_limit "$encoding")
    local used=$(( $(printf '%s%s' "$head" "$last" | iconv -t "$encoding" | wc -c) + 2 * width ))
    {
        printf 'Language file at its size limit\r\n'
        printf '%s' "$head"
        lng_padding $(( (limit - used) / width ))
        printf '\r\n%s%s' "$last" "$beyond"
    } | iconv -f UTF-8 -t "$encoding" >"$file"
}

lng_padding() { { yes '; padding that brings the language data up to its size limit' || true; } | head -c "$1"; }

# stage_named <name> [list entries...]: the product folder C:\Program Files\<name>, staged as
# the installer leaves it, with the listed files and folders made.
stage_named() {
    product="$WINEPREFIX/drive_c/Program Files/$1"
    shift
    tvx_stage_product "$build"
    local entry path
    for entry in "$@"; do
        path=$product/$(printf '%s' "${entry%/}" | sed 's/[ \t]*$//; s|\\|/|g')
        case $entry in
            */) mkdir -p "$path" ;;
            *) make_file "$path" ;;
        esac
        list_lines "${entry%/}"
    done
}

# decoy <folder name>: a sibling product folder of the same look that no step may touch.
decoy() {
    make_file "$WINEPREFIX/drive_c/Program Files/$1/uninstall.exe" decoy
}

# check_removed <label>: the run of the product folder in $product has ended with its script.
check_removed() {
    tvx_settle
    check "$1: every listed entry, the program and the product folder are gone" gone "$product"
    [ -e "$product" ] && find "$product" -printf '  left: %P\n'
    check "$1: the self-removal script deleted itself" eval '! temp_script'
}

names_scenario() {
    local seg='A folder name of about a hundred characters, so that three of them and a file make a path past 260'
    local deep="deep\\$seg 1\\$seg 2\\$seg 3"

    # 1. %, &, ^, !, blanks and letters of the OEM code page: the script names the folder in
    # full, with every % doubled.
    decoy 'Talvex 100'
    decoy 'Talvex 100% & ^ !x! (copy) é 2'
    stage_named 'Talvex 100% & ^ !x! (copy) é' '100% & ^ !x!.txt' '%OS% and %%.txt' \
        ' leading blank.txt' 'Größe – €.txt' $'trailing blanks.txt  \t' 'sub & ^ %PATH% !/' \
        'sub & ^ %PATH% !\file ! ^.txt' 'deep/' "deep\\$seg 1/" "deep\\$seg 1\\$seg 2/" \
        "$deep/" "$deep\\the file at the end of a path of more than 260 characters.txt"
    local longest
    longest=$(win_path "$product\\$deep\\the file at the end of a path of more than 260 characters.txt")
    check "a listed file's path has ${#longest} characters (more than 260)" test "${#longest}" -gt 260
    lng_file CP1252 "$product/uninstall.lng" '' 'IDS_CONTINUEUNINSTALL Entfernen – Größe ok [the limit]' \
        $'BEYOND THE LIMIT\r\nIDS_UNINSTALLTVX Caption beyond the limit\r\n'
    lng_padding 1100000 >>"$product/uninstall.lng"
    check "ANSI language file larger than the 2 MiB read limit" test "$(stat -c %s "$product/uninstall.lng")" -gt 2097152
    check "confirmation answered Yes through the window driver" drive "$work/names1.out"
    check "run ends with exit code 0" has_line "$work/names1.out" 'exit code: 0'
    check "caption beyond the limit not read: the built-in one" has_line "$work/names1.out" 'caption: Uninstall Talvex'
    check "question cut exactly at the 1,048,576th character, ANSI letters right" has_line "$work/names1.out" \
        'text: Entfernen – Größe ok [the limit]'
    check_removed "folder of %, &, ^, ! and blanks"
    check "sibling 'Talvex 100' untouched" kept_with "$WINEPREFIX/drive_c/Program Files/Talvex 100/uninstall.exe" decoy
    check "sibling of a longer name untouched" \
        kept_with "$WINEPREFIX/drive_c/Program Files/Talvex 100% & ^ !x! (copy) é 2/uninstall.exe" decoy

    # 2. Greek, Cyrillic and CJK letters too: no OEM spelling exists, so the script names the
    # folder by its short form.
    decoy 'Talvex xxxxx xxxxx xx %OS% & ^ !'
    stage_named 'Talvex Ωμέγα Жизнь 中文 %OS% & ^ !' 'Ärger & Co.txt' '50%.txt' 'Ordner ^ !/' \
        'Ordner ^ !\x!.txt'
    lng_file UTF-16LE "$product/uninstall.lng" $'IDS_UNINSTALLTVX Удаление Talvex Ωμέγα\r\n' \
        'IDS_CONTINUEUNINSTALL Удалить Talvex? 中文 [the limit]'
    check "UTF-16 language file ends exactly at the limit" \
        test "$(( $(stat -c %s "$product/uninstall.lng") - $(printf 'Language file at its size limit\r\n' | wc -c) * 2 ))" -eq 2097152
    check "confirmation answered Yes through the window driver" drive "$work/names2.out"
    check "run ends with exit code 0" has_line "$work/names2.out" 'exit code: 0'
    check "caption from the UTF-16 file" has_line "$work/names2.out" 'caption: Удаление Talvex Ωμέγα'
    check "question from the last line up to the limit" has_line "$work/names2.out" \
        'text: Удалить Talvex? 中文 [the limit]'
    check_removed "folder of Greek, Cyrillic and CJK letters"
    check "sibling spelled with x for those letters untouched" \
        kept_with "$WINEPREFIX/drive_c/Program Files/Talvex xxxxx xxxxx xx %OS% & ^ !/uninstall.exe" decoy
}

# ini_lines: 10,000 settings of every kind the file holds, for both hives and none, some with
# letters of no ANSI code page.
ini_lines() {
    awk 'BEGIN {
        for (i = 0; i < 4000; i++) printf "HKCU\\History\\Item%04d=\"C:\\Archives\\archive %d.zip\"\n", i, i
        for (i = 0; i < 3000; i++) printf "Paths\\Folder%04d=%d\n", i, i * 7
        for (i = 0; i < 2000; i++) printf "HKLM\\Shared\\Value%04d=bin:00ff%04d\n", i, i
        for (i = 0; i < 1000; i++) printf "Misc\\Ωmega %04d=\"Жизнь %d\"\n", i, i
    }'
}
ini_text() { iconv -f UTF-16 -t UTF-8 "$product/Talvex.ini" | tr -d '\r' | LC_ALL=C sort; }
ini_keeps_all() { [ -z "$(LC_ALL=C comm -23 "$1" <(ini_text))" ]; }
ini_lacks() { ! ini_text | grep -q "$1"; }

# big_list: the 100,000 lines of Uninstall.lst: the product's files; 20 folders named before
# their 2,000 files; entries that do not exist, in existing folders and in missing ones;
# blank lines and trailing blanks; the files below, lines that try to leave the folder, and
# a name in UTF-8.
big_list() {
    printf '%s\r\n' "${TVX_PRODUCT_LIST[@]}" files 'files\d'{00..19} attrs held.txt Data \
        'Data\shared.txt' 'Data\sub' 'Data\sub\inner.txt' '*.keep' '?.keep' \
        '..\Talvex sibling.txt' 'files\d01\..\..\..\Talvex sibling.txt' 'C:\outside.txt' \
        '\outside.txt' 'attrs\read-only.txt' 'attrs\hidden.txt' 'attrs\all three.txt'
    # A name outside the ANSI code page cannot be listed: its UTF-8 bytes read as ANSI name
    # something else, which does not exist, and the file stays.
    printf 'Жизнь.txt\r\n'
    awk 'BEGIN {
        for (d = 0; d < 20; d++) {
            for (f = 0; f < 100; f++) printf "files\\d%02d\\f%03d.txt%s\r\n", d, f, f % 10 ? "" : " \t"
            for (f = 0; f < 100; f++) printf "files\\d%02d\\gone%03d.txt\r\n", d, f
            printf "\r\n   \r\n"
        }
    }'
}

# pad_list <file> <lines>: entries in a folder that does not exist, up to the line count.
pad_list() {
    awk -v from="$(wc -l <"$1")" -v to="$2" \
        'BEGIN { for (n = from; n < to; n++) printf "no such folder\\x%05d.txt\r\n", n }' >>"$1"
}

make_big_files() {
    local d
    mkdir -p "$product/files" "$product/attrs"
    for d in {00..19}; do
        mkdir "$product/files/d$d"
        (cd "$product/files/d$d" && touch f{000..099}.txt)
    done
    make_file "$product/files/d00/user file.txt"
    make_file "$product/attrs/read-only.txt"
    make_file "$product/attrs/hidden.txt"
    make_file "$product/attrs/all three.txt"
    make_file "$product/held.txt"
    make_file "$product/tvxext.dll.0.tmp" 'left by an earlier run'
    make_file "$product/keep.txt"
    make_file "$product/a.keep"
    make_file "$product/b.keep"
    make_file "$product/Жизнь.txt"
    make_file "$WINEPREFIX/drive_c/Program Files/Talvex sibling.txt" sibling
    make_file "$WINEPREFIX/drive_c/outside.txt" outside
    make_file "$shared/shared.txt" shared
    make_file "$shared/sub/inner.txt" inner
    ln -s "$shared" "$product/Data"
}

# set_attributes: read-only, hidden and system set the Windows way; prints what attrib shows.
set_attributes() {
    local in='C:\Program Files\Talvex\attrs'
    printf '@echo off\r\nattrib +r "%s\\read-only.txt"\r\nattrib +h "%s\\hidden.txt"\r\n' "$in" "$in" \
        >"$WINEPREFIX/drive_c/attrs.bat"
    printf 'attrib +%s "%s\\all three.txt"\r\n' r "$in" h "$in" s "$in" >>"$WINEPREFIX/drive_c/attrs.bat"
    printf 'attrib "%s\\*"\r\n' "$in" >>"$WINEPREFIX/drive_c/attrs.bat"
    timeout -k 5 60 wine cmd /c 'C:\attrs.bat' 2>/dev/null | tr -d '\r' >"$work/attrib.out"
    cat "$work/attrib.out"
}
attribute_shown() { grep -F -- "$2" "$work/attrib.out" | cut -c1-12 | grep -q "$1"; }

# hold_files: another process holds held.txt open and has tvxext.dll loaded until released.
hold_files() {
    (cd "$work" && timeout -k 5 200 wine "$build/tests/holdfile.exe" 'C:\hold-ready' 'C:\hold-release' 180 \
        --open 'C:\Program Files\Talvex\held.txt' --load 'C:\Program Files\Talvex\tvxext.dll' \
        >/dev/null 2>&1) &
    holder=$!
    for _ in $(seq 600); do
        [ -e "$WINEPREFIX/drive_c/hold-ready" ] && return 0
        kill -0 "$holder" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# pending_renames: the names in PendingFileRenameOperations, one a line (the empty new name
# after each, which means "delete", as an empty line).
pending_renames() {
    tvx_flatten_registry HKLM "$WINEPREFIX/system.reg" |
        grep -F 'reg HKLM\System\CurrentControlSet\Control\Session Manager|"PendingFileRenameOperations"=' |
        perl -ne 'if (/=str\(7\):"(.*)"$/) { ($v = $1) =~ s/\\(.)/$1 eq "0" ? "\n" : $1/ge; print $v }'
}

big_scenario() {
    product=$WINEPREFIX/drive_c/Program\ Files/Talvex
    local shared="$WINEPREFIX/drive_c/users/Public/Shared data"
    tvx_stage_product "$build"

    # Setup and the end of its run with a settings file of 10,000 entries.
    ini_lines | LC_ALL=C sort >"$work/ini.txt"
    { printf '\xff\xfe'; ini_lines | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$product/Talvex.ini"
    local started=$SECONDS
    check "setup /setup /S with 10,000 INI entries ends with exit code 0" tvx_run 300 /setup /S
    echo "  setup took $((SECONDS - started)) s"
    tvx_settle
    check "every one of the 10,000 entries survives the save" ini_keeps_all "$work/ini.txt"
    ini_text | LC_ALL=C comm -13 "$work/ini.txt" - >"$work/ini-setup.txt"
    echo "  setup added: $(tr '\n' ' ' <"$work/ini-setup.txt" | cut -c1-300)"
    check "setup's own choices saved beside them" grep -q '^HKCU\\Setup\\' "$work/ini-setup.txt"

    # The uninstall run over a list of 100,000 lines.
    make_big_files
    big_list >"$product/Uninstall.lst"
    pad_list "$product/Uninstall.lst" 100000
    check "Uninstall.lst has 100,000 lines" test "$(wc -l <"$product/Uninstall.lst")" -eq 100000
    set_attributes
    check "read-only file shown read-only" attribute_shown R 'read-only.txt'
    check "hidden file shown hidden" attribute_shown H 'hidden.txt'
    check "third file read-only, hidden and system" attribute_shown 'S.*H.*R' 'all three.txt'
    check "another process holds held.txt open and tvxext.dll loaded" hold_files
    started=$SECONDS
    check "uninstall /S over 100,000 lines ends with exit code 0" tvx_run 300 /S
    echo "  uninstall took $((SECONDS - started)) s"
    touch "$WINEPREFIX/drive_c/hold-release"
    wait "$holder" || true
    tvx_settle

    printf '%s\n' Data Talvex.ini a.keep b.keep files 'files/d00' 'files/d00/user file.txt' \
        held.txt keep.txt tvxext.dll.0.tmp tvxext.dll.1.tmp Жизнь.txt | LC_ALL=C sort >"$work/expected"
    (cd "$product" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort) >"$work/left"
    check "exactly the unlisted, held and linked entries are left in the product folder" \
        diff "$work/expected" "$work/left"
    check "program deleted by the script" gone "$product/uninstall.exe"
    check "read-only file deleted" gone "$product/attrs/read-only.txt"
    check "hidden file deleted" gone "$product/attrs/hidden.txt"
    check "read-only, hidden and system file deleted" gone "$product/attrs/all three.txt"
    check "the 2,000 listed files and their folders deleted" eval '! compgen -G "$product/files/d*/f*.txt" >/dev/null'
    check "the unlisted file outside the ANSI code page kept" test -f "$product/Жизнь.txt"
    check "the link stays a link" test -L "$product/Data"
    check "the link's target keeps its files" kept_with "$shared/shared.txt" shared
    check "the link's target keeps its folder and the file in it" kept_with "$shared/sub/inner.txt" inner
    check "..\\ lines leave the sibling file alone" kept_with "$WINEPREFIX/drive_c/Program Files/Talvex sibling.txt" sibling
    check "absolute and rooted lines leave C:\\outside.txt alone" kept_with "$WINEPREFIX/drive_c/outside.txt" outside
    check "the earlier run's leftover kept" kept_with "$product/tvxext.dll.0.tmp" 'left by an earlier run'

    pending_renames >"$work/pending"
    echo "  pending renames:"; sed 's/^/    /' "$work/pending"
    check "held.txt, which could not be renamed, scheduled under its own name" \
        has_line "$work/pending" '\??\C:\Program Files\Talvex\held.txt'
    check "loaded tvxext.dll renamed to the next free name and scheduled" \
        has_line "$work/pending" '\??\C:\Program Files\Talvex\tvxext.dll.1.tmp'
    check "silent run: the product folder not scheduled" eval '! has_line "$work/pending" "\\??\\C:\\Program Files\\Talvex"'

    check "INI after uninstall: no HKCU entry" ini_lacks '^HKCU\\'
    check "INI after uninstall: no HKLM entry" ini_lacks '^HKLM\\'
    grep -v '^HK' "$work/ini.txt" >"$work/ini-kept.txt"
    check "INI after uninstall: all 4,000 entries outside the hives kept" ini_keeps_all "$work/ini-kept.txt"
}

tvx_fresh_prefix "$build/wineprefix" "$work/prefix"
tvx_start_display
trap 'wineserver -k 2>/dev/null || true; tvx_stop_display' EXIT
case $scenario in
    names) names_scenario ;;
    big) big_scenario ;;
    *) echo "unknown scenario: $scenario" >&2; exit 2 ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "awkward environments, $scenario: FAILED ($failures check(s)); prefix kept in $work"
    exit 1
fi
echo "awkward environments, $scenario: PASSED"
rm -rf "$work"
