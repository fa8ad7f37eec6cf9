# Shared steps of the demo, the end-to-end residue checks and the peer benchmark: a fresh Wine
# prefix, the Talvex product folder staged in it beside a third-party archive handler, runs of
# uninstall.exe from that folder, and flat snapshots of the prefix's registry and profile
# folders that compare line by line.
#   source tools/standin/product.sh
# The functions work on the prefix in WINEPREFIX.

TVX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TVX_PRODUCT_WIN='C:\Program Files\Talvex'
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

tvx_product_dir() { echo "$WINEPREFIX/drive_c/Program Files/Talvex"; }

# tvx_fresh_prefix <template> <copy>: makes <copy> a fresh copy of the template and the
# current prefix.
tvx_fresh_prefix() {
    "$TVX_ROOT/tools/wineprefix" "$1" "$2"
    export WINEPREFIX=$2
    # Wine links the profile's Desktop, Documents and the like to the Linux home folder, where
    # shortcuts and the stand-in's files would land for real: real folders keep them inside.
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
    done
}

# tvx_start_display: an Xvfb server of our own when there is no display (windows and message
# boxes fail without one, even in silent runs). tvx_stop_display ends it.
TVX_XVFB_PID=""
tvx_start_display() {
    [ -n "${DISPLAY:-}" ] && return
    local display=$(( 90 + RANDOM % 400 ))
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    TVX_XVFB_PID=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
}
tvx_stop_display() {
    if [ -n "$TVX_XVFB_PID" ]; then kill "$TVX_XVFB_PID" 2>/dev/null || true; fi
    TVX_XVFB_PID=""
}

# The files of the staged product as Uninstall.lst names them: a folder before the file in
# it, as installers write them (the uninstall run's passes take care of the order), and the
# two "New" templates that setup writes.
TVX_PRODUCT_LIST=(Formats 'Formats\readme.txt' uninstall.exe Talvex.exe tvxext.dll tvxext64.dll
                  license.txt Tvx.txt WhatsNew.txt uninstall.lng tvxnew.dat zipnew.dat Uninstall.lst)

# tvx_stage_product <build dir> [more list entries...]: the product folder with uninstall.exe
# and the stand-ins of <build dir>, documents, the English language file and Uninstall.lst.
tvx_stage_product() {
    local build=$1 dir entry
    shift
    dir=$(tvx_product_dir)
    mkdir -p "$dir/Formats"
    cp "$build/uninstall.exe" "$build/tools/standin/Talvex.exe" "$build/tools/standin/tvxext.dll" "$dir/"
    # Only registered by its path, never loaded: there is no 64-bit compiler in the build.
    printf 'Stand-in for the 64-bit shell extension\r\n' >"$dir/tvxext64.dll"
    cp "$TVX_ROOT/src/resources/lang/english/uninstall.lng" "$dir/"
    printf 'Talvex licence (demonstration copy)\r\n' >"$dir/license.txt"
    printf 'Notes on the TVX archive format\r\n' >"$dir/Tvx.txt"
    printf 'What is new in Talvex 6.02\r\n' >"$dir/WhatsNew.txt"
    printf 'Archive formats Talvex reads\r\n' >"$dir/Formats/readme.txt"
    for entry in "${TVX_PRODUCT_LIST[@]}" "$@"; do printf '%s\r\n' "$entry"; done >"$dir/Uninstall.lst"
}

# tvx_register_other_handler: another archiver holds .zip (with a "New" entry that makes an
# empty file) and .7z (with a "New" entry that copies a template), as a user's machine would.
tvx_register_other_handler() {
    local scratch
    scratch=$(mktemp -d)
    cat >"$scratch/other.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\OtherArc.Archive]
@="OtherArc archive"

[HKEY_CLASSES_ROOT\OtherArc.Archive\shell\open\command]
@="\"C:\\Program Files\\OtherArc\\OtherArc.exe\" \"%1\""

[HKEY_CLASSES_ROOT\.zip]
@="OtherArc.Archive"
"Content Type"="application/zip"

[HKEY_CLASSES_ROOT\.zip\ShellNew]
"NullFile"=""

[HKEY_CLASSES_ROOT\.7z]
@="OtherArc.Archive"

[HKEY_CLASSES_ROOT\.7z\ShellNew]
"FileName"="C:\\Program Files\\OtherArc\\empty.7z"
EOF
    (cd "$scratch" && timeout -k 5 60 wine reg import other.reg >/dev/null 2>&1)
    local status=$?
    rm -rf "$scratch"
    return $status
}

# tvx_run <seconds> <arguments...>: runs the staged uninstall.exe from the product folder, as
# the list of installed programs does; the exit status is the program's.
tvx_run() {
    local seconds=$1
    shift
    (cd "$(tvx_product_dir)" && timeout -k 5 "$seconds" wine uninstall.exe "$@")
}

# tvx_settle: waits until every process of the prefix has ended (the self-removal script
# too) and the server has written the registry files.
tvx_settle() { timeout -k 5 180 wineserver -w; }

# tvx_snapshot <file>: the prefix's state, one sorted line per registry key ("reg KEY|"),
# registry value ("reg KEY|NAME=DATA", as the .reg files spell them) and file or folder
# ("file TYPE PATH" below drive_c). Both registry views are in it: the prefix's files hold
# the 32-bit view under Wow6432Node. Modification times are left out.
tvx_snapshot() {
    tvx_settle
    {
        tvx_flatten_registry HKLM "$WINEPREFIX/system.reg"
        tvx_flatten_registry HKCU "$WINEPREFIX/user.reg"
        (cd "$WINEPREFIX/drive_c" && find users ProgramData "Program Files" "Program Files (x86)" windows/temp \
            -mindepth 1 -printf 'file %y %p\n' 2>/dev/null)
    } | LC_ALL=C sort -u >"$1"
}

tvx_flatten_registry() {
    awk -v hive="$1" '
        /^\[/ {
            key = $0
            sub(/^\[/, "", key); sub(/\] [0-9]+$/, "", key); gsub(/\\\\/, "\\", key)
            print "reg " hive "\\" key "|"
            next
        }
        /^#/ || /^;;/ || /^WINE REGISTRY/ || /^$/ { next }
        {
            line = $0
            while (line ~ /\\$/ && (getline more) > 0) {
                sub(/\\$/, "", line); sub(/^ +/, "", more); line = line more
            }
            print "reg " hive "\\" key "|" line
        }' "$2"
}

# tvx_value <snapshot> <key> <name>: the data of one value as the .reg file spells it ("@"
# names the default value); nothing when it is absent.
tvx_value() {
    local name
    if [ "$3" = "@" ]; then name="@="; else name="\"$3\"="; fi
    { grep -F -- "reg $2|$name" "$1" || true; } | head -n 1 | cut -d'|' -f2- | cut -c$((${#name} + 1))-
}

# tvx_open <unix path>: opens a file through the shell's association, as a double click does.
tvx_open() { timeout -k 5 60 wine start /wait /unix "$1" >/dev/null 2>&1; }
