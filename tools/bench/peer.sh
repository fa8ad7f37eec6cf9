#!/usr/bin/env bash
# The silent uninstall of a product of 1,000 and of 10,000 files in nested folders, side by
# side under one Wine with: a peer uninstaller made by NSIS that deletes the same files and
# folders and the same kind of registry keys and shortcuts; a bare program that only deletes
# each entry; and one that makes the uninstall run's calls per entry in a single pass. Prints
# the medians, the ratios and the program sizes, and draws docs/bench-peer.png with gnuplot.
#   tools/bench/peer [runs]     (default 5; the median of that many alternating runs)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
runs=${1:-5}
"$root/tools/setup" --all
source "$root/tools/standin/product.sh"

build=${TVX_BENCH_BUILD:-$root/build/bench}
kit=$build/peer-kit
rm -rf "$kit"
mkdir -p "$kit"
cp "$root/src/resources/lang/english/uninstall.lng" "$kit/"
sizes=(1000 10000)

# Files first, then the folders deepest first: 10 x 10 folders, the files spread over them.
write_list() {
    awk -v per=$(($1 / 100)) 'BEGIN {
        for (d = 1; d <= 10; d++) for (s = 1; s <= 10; s++) for (f = 1; f <= per; f++)
            printf "d%02d\\s%02d\\f%04d.txt\r\n", d, s, f
        for (d = 1; d <= 10; d++) { for (s = 1; s <= 10; s++) printf "d%02d\\s%02d\r\n", d, s; printf "d%02d\r\n", d }
    }' >"$kit/list-$1.lst"
}

# The peer: its installer writes registry keys of the kinds Talvex setup writes (extensions,
# a file type, per-user settings, the uninstall entry, the application path) and a program
# group, then the uninstaller; the uninstaller deletes all of it and every listed entry.
write_peer_script() {
    local files=$1 n
    {
        echo 'Unicode true'
        echo 'Name "PeerArc"'
        echo "OutFile \"peer-setup-$files.exe\""
        echo 'InstallDir "C:\bench\peer"'
        echo 'SilentInstall silent'
        echo 'SilentUnInstall silent'
        echo 'Section'
        echo '  SetOutPath $INSTDIR'
        echo '  WriteUninstaller "$INSTDIR\peer-uninst.exe"'
        for n in $(seq -w 1 26); do
            echo "  WriteRegStr HKCR \".pa$n\" \"\" \"PeerArc\""
            echo "  WriteRegStr HKCU \"Software\\PeerArc\\Setup\\.pa$n\" \"Type\" \"\""
            echo "  WriteRegDWORD HKCU \"Software\\PeerArc\\Setup\\.pa$n\" \"Exist\" 0"
        done
        echo '  WriteRegStr HKCR "PeerArc" "" "PeerArc archive"'
        echo '  WriteRegStr HKCR "PeerArc\shell\open\command" "" "$\"$INSTDIR\PeerArc.exe$\" $\"%1$\""'
        echo '  WriteRegStr HKCR "PeerArc\DefaultIcon" "" "$INSTDIR\PeerArc.exe,0"'
        echo '  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\PeerArc.exe" "" "$INSTDIR\PeerArc.exe"'
        for value in DisplayName DisplayVersion Publisher UninstallString DisplayIcon InstallLocation; do
            echo "  WriteRegStr HKLM \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PeerArc\" \"$value\" \"\$INSTDIR\""
        done
        echo '  CreateDirectory "$SMPROGRAMS\PeerArc"'
        echo '  CreateShortcut "$SMPROGRAMS\PeerArc\PeerArc.lnk" "$INSTDIR\PeerArc.exe"'
        echo '  CreateShortcut "$SMPROGRAMS\PeerArc\Readme.lnk" "$INSTDIR\readme.txt"'
        echo 'SectionEnd'
        echo 'Section "Uninstall"'
        for n in $(seq -w 1 26); do echo "  DeleteRegKey HKCR \".pa$n\""; done
        echo '  DeleteRegKey HKCR "PeerArc"'
        echo '  DeleteRegKey HKCU "Software\PeerArc"'
        echo '  DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\PeerArc.exe"'
        echo '  DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\PeerArc"'
        echo '  Delete "$SMPROGRAMS\PeerArc\PeerArc.lnk"'
        echo '  Delete "$SMPROGRAMS\PeerArc\Readme.lnk"'
        echo '  RMDir "$SMPROGRAMS\PeerArc"'
        tr -d '\r' <"$kit/list-$files.lst" | awk '/\.txt$/ { print "  Delete \"$INSTDIR\\" $0 "\""; next }
                                                  { print "  RMDir \"$INSTDIR\\" $0 "\"" }'
        echo '  RMDir "$INSTDIR"'
        echo 'SectionEnd'
    } >"$kit/peer-$files.nsi"
    (cd "$kit" && makensis -V1 "peer-$files.nsi" >/dev/null)
}

echo "== lists and the NSIS peer (makensis $(makensis -VERSION))"
for files in "${sizes[@]}"; do
    write_list "$files"
    write_peer_script "$files"
done

echo "== building the optimised configuration in ${build#"$root"/} and a fresh Wine prefix"
prefix=$build/peer-prefix
tvx_fresh_prefix "$build/wineprefix" "$prefix"
raw=$build/peer-raw.txt
kit_windows="Z:${kit//\//\\}"
echo "== $runs alternating runs of each contender per size (a few minutes)"
TVX_PREFIX=$prefix TVX_TIMEOUT=3000 "$root/tools/bench/run.sh" bench_peer "$runs" "$kit_windows" 'C:\bench' "${sizes[@]}" |
    tr -d '\r' | tee "$raw" | grep -E '^(warning|error)' || true
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true

median() { awk -v f="$1" -v c="$2" '$1 == "median" && $2 == f && $3 == c { print $4 }' "$raw"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo
printf '%-8s %10s %10s %10s %12s   %9s %9s %15s\n' files ours peer bare same-calls ours/peer ours/bare ours/same-calls
data=$build/peer-chart.dat
: >"$data"
for files in "${sizes[@]}"; do
    ours=$(median "$files" ours) peer=$(median "$files" peer) bare=$(median "$files" bare) same=$(median "$files" samecalls)
    if [ -z "$ours" ] || [ -z "$peer" ] || [ -z "$bare" ] || [ -z "$same" ]; then
        echo "no figures for $files files (see $raw)" >&2
        exit 1
    fi
    printf '%-8s %9ss %9ss %9ss %11ss   %9s %9s %15s\n' "$files" "$ours" "$peer" "$bare" "$same" \
        "$(ratio "$ours" "$peer")" "$(ratio "$ours" "$bare")" "$(ratio "$ours" "$same")"
    echo "\"$files files\" $ours $peer $bare $same" >>"$data"
done
echo "(seconds from process start to end, median of $runs alternating runs; the uninstall's self-removal script runs after it and is not counted, as the peer's copy in the temporary folder is not started)"
echo
stub=/usr/share/nsis/Stubs/zlib-x86-unicode
echo "uninstall.exe: $(stat -c %s "$build/uninstall.exe") bytes ($(($(stat -c %s "$build/uninstall.exe") / 1024)) KiB)"
echo "NSIS uninstaller stub ($(basename "$stub")): $(stat -c %s "$stub") bytes; the peer's uninstallers with their scripts:" \
     "$(awk '$1 == "size" { s[$2] = $4 } END { for (f in s) printf "%s bytes for %s files  ", s[f], f }' "$raw")"

chart=$root/docs/bench-peer.png
mkdir -p "$(dirname "$chart")"
gnuplot <<EOF
set terminal pngcairo size 820,440 font "DejaVu Sans,10"
set output "$chart"
set title "Silent uninstall under Wine: seconds from start to end (median of $runs runs)"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set boxwidth 0.9
set ylabel "seconds"
set yrange [0:*]
set grid ytics
set key top left
plot "$data" using 2:xtic(1) title "uninstall.exe /S" lc rgb "#2b6cb0", \
     "" using 3 title "NSIS uninstaller" lc rgb "#c05621", \
     "" using 4 title "bare: delete only" lc rgb "#718096", \
     "" using 5 title "bare: same calls, one pass" lc rgb "#a0aec0"
EOF
echo "chart: ${chart#"$root"/}"
