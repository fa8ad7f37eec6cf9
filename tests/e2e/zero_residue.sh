#!/usr/bin/env bash
# End-to-end zero-residue check. In a fresh prefix copy where another archiver holds .zip and
# .7z: snapshot the prefix, stage the product folder, set it up silently, check that setup
# left its footprint (so that a setup doing nothing cannot pass), uninstall silently, and
# compare the prefix with the first snapshot: both registry views, the profile folders, the
# program folders. Only the lines of tests/e2e/residue.sh's allow-list and the scenario's own
# named leftovers may differ.
#   tests/e2e/zero_residue.sh <build dir> <scenario>
# Scenarios: default, all-boxes (/init text), ini and ini-no-integration (Talvex.ini beside
# the program with Global\Integration 1 and 0), msi (/msi for setup and uninstall).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../tools/standin/product.sh"
source "$here/residue.sh"
build=$(cd "$1" && pwd)
scenario=$2
work=$build/e2e/$scenario
rm -rf "$work"
mkdir -p "$work"

failures=0
check() {  # check <what it shows> <command...>
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
has() { grep -qxF -- "$2" "$1"; }
lacks() { ! grep -qF -- "$2" "$1"; }
value_is() { [ "$(tvx_value "$1" "$2" "$3")" = "$4" ]; }
ini_has() { iconv -f UTF-16 -t UTF-8 "$(tvx_product_dir)/Talvex.ini" | tr -d '\r' | grep -qxF -- "$1"; }

tvx_fresh_prefix "$build/wineprefix" "$work/prefix"
tvx_start_display
trap 'wineserver -k 2>/dev/null || true; tvx_stop_display' EXIT

setup_args=(/setup /S)
uninstall_args=(/S)
list_extra=()
allowed=()
case $scenario in
    default) ;;
    all-boxes) setup_args+=(/initA11111111111111111D1M1P1S1C1I1) ;;
    ini | ini-no-integration) list_extra=(Talvex.ini) ;;
    msi)
        setup_args+=(/msi)
        uninstall_args+=(/msi)
        # An installer package owns the application path and the files: uninstalling with
        # /msi removes the integration and leaves both to the package.
        allowed=('^reg HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex\.exe\|'
                 '^file [df] Program Files/Talvex(/|$)')
        ;;
    *) echo "unknown scenario: $scenario" >&2; exit 2 ;;
esac

check "another archiver's handlers registered" tvx_register_other_handler
tvx_snapshot "$work/before"
tvx_stage_product "$build" "${list_extra[@]}"
case $scenario in
    ini) printf 'Global\\Integration=1\r\n' >"$(tvx_product_dir)/Talvex.ini" ;;
    ini-no-integration) printf 'Global\\Integration=0\r\n' >"$(tvx_product_dir)/Talvex.ini" ;;
esac

check "setup ${setup_args[*]} ends with exit code 0" tvx_run 300 "${setup_args[@]}"
tvx_snapshot "$work/setup"
s=$work/setup
classes='HKLM\Software\Classes'
group='file f ProgramData/Microsoft/Windows/Start Menu/Programs/Talvex/Talvex.lnk'
entry='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Talvex archiver'
case $scenario in
    default)
        check ".zip taken, its former handler saved" value_is "$s" 'HKCU\Software\Talvex\Setup\.zip' Type '"OtherArc.Archive"'
        check ".zip opens with Talvex" value_is "$s" "$classes\\.zip" @ '"Talvex.ZIP"'
        check ".jar left alone by default" lacks "$s" "reg $classes\\.jar|"
        check "program group made" has "$s" "$group"
        check "uninstall entry written" value_is "$s" "$entry" DisplayName '"Talvex 6.02 (32-bit)"'
        ;;
    all-boxes)
        check ".jar taken" value_is "$s" "$classes\\.jar" @ '"Talvex"'
        check "desktop shortcut made" has "$s" 'file f users/Public/Desktop/Talvex.lnk'
        check "Start menu shortcut made" has "$s" 'file f ProgramData/Microsoft/Windows/Start Menu/Talvex.lnk'
        check "cascaded menu stored" value_is "$s" 'HKCU\Software\Talvex\Setup' CascadedMenu 'dword:00000001'
        ;;
    ini)
        check ".zip opens with Talvex" value_is "$s" "$classes\\.zip" @ '"Talvex.ZIP"'
        check "former handler saved in Talvex.ini" ini_has 'HKCU\Setup\.zip\Type="OtherArc.Archive"'
        check "no settings in the registry" lacks "$s" 'reg HKCU\Software\Talvex'
        check "program group made" has "$s" "$group"
        ;;
    ini-no-integration)
        check "choices saved in Talvex.ini" ini_has 'HKCU\Setup\Links\Programs=1'
        check ".zip left with the other archiver" value_is "$s" "$classes\\.zip" @ '"OtherArc.Archive"'
        check "no shortcut made" lacks "$s" 'Start Menu/Programs/Talvex'
        check "no uninstall entry" lacks "$s" "reg $entry|"
        ;;
    msi)
        check ".zip opens with Talvex" value_is "$s" "$classes\\.zip" @ '"Talvex.ZIP"'
        check "no uninstall entry under an installer package" lacks "$s" "reg $entry|"
        check "application path registered" has "$s" 'reg HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\Talvex.exe|"Path"="C:\\Program Files\\Talvex"'
        ;;
esac

check "uninstall ${uninstall_args[*]} ends with exit code 0" tvx_run 300 "${uninstall_args[@]}"
tvx_snapshot "$work/after"
if [ "$scenario" = msi ]; then
    for name in "${TVX_PRODUCT_LIST[@]}"; do
        check "$name kept under an installer package" test -e "$(tvx_product_dir)/${name//\\//}"
    done
    check "application path kept" has "$work/after" 'reg HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\Talvex.exe|@="C:\\Program Files\\Talvex\\Talvex.exe"'
fi
echo "residue against the prefix before the product came:"
check "nothing left but the named leftovers" tvx_residue "$work/before" "$work/after" "${allowed[@]}"

if [ "$failures" -ne 0 ]; then
    echo "zero residue, $scenario: FAILED ($failures check(s)); snapshots and prefix kept in $work"
    exit 1
fi
echo "zero residue, $scenario: PASSED"
rm -rf "$work"
