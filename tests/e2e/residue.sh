# The zero-residue judge of the end-to-end checks and the demo: the difference between two
# snapshots of a prefix (tvx_snapshot of tools/standin/product.sh), less the lines that the
# allow-list below names, each with the reason it may differ.
#   source tests/e2e/residue.sh
#   tvx_residue <before> <after> [more allowed patterns...]
# Prints every other differing line, "-" for a line that was there before and is gone, "+"
# for one that is new (a changed value shows as both); the status is 1 when it printed any.

# Extended regular expressions, matched against a snapshot line.
TVX_ALLOWED_RESIDUE=(
    # Wine's own: console defaults that its console host writes the first time a console
    # program runs in the prefix, here the command interpreter of the self-removal script.
    '^reg HKCU\\Console[\\|]'
    # Wine's own: the display driver records the adapter and monitor of the X display (a
    # driver date, monitor properties) whenever a process connects to it.
    '^reg HKLM\\System\\CurrentControlSet\\(Control\\Class|Enum\\DISPLAY|Control\\Video)\\'
    # Wine's own: the shell remembers window and folder view state of its dialogs.
    '^reg HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\'
    # The shell's shared handler lists. Setup adds the program's handler key below each
    # list; removing deletes exactly that key and leaves the list, which every Windows has
    # from the start (a fresh Wine prefix lacks some of them, so there the emptied list is
    # new). Only the bare list key may remain: a handler left inside it is residue.
    '^reg HKLM\\Software\\Classes\\(\*|Directory|Drive|exefile|folder|lnkfile)\\shellex\\(ContextMenuHandlers|DragDropHandlers|PropertySheetHandlers)\|$'
    # The system's list of registered applications, for the same reason: the program's own
    # value "Talvex" goes, the list itself stays.
    '^reg HKLM\\Software\\(Wow6432Node\\)?RegisteredApplications\|$'
)

tvx_residue() {
    local before=$1 after=$2
    shift 2
    # Through the environment: awk -v would take the backslashes as escapes.
    local patterns
    patterns=$(printf '%s\n' "${TVX_ALLOWED_RESIDUE[@]}" "$@")
    { LC_ALL=C diff "$before" "$after" || true; } | sed -n 's/^< /- /p; s/^> /+ /p' |
        TVX_PATTERNS=$patterns awk '
            BEGIN { count = split(ENVIRON["TVX_PATTERNS"], allowed, "\n") }
            {
                line = substr($0, 3)
                for (i = 1; i <= count; i++) if (line ~ allowed[i]) next
                print; found = 1
            }
            END { exit found }'
}
