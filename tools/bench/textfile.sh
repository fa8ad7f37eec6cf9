#!/usr/bin/env bash
# Text-file reading (LoadTextLines) against one plain whole-file read of the same 10 MB file.
#   tools/bench/textfile.sh [runs]
set -euo pipefail
exec "$(dirname "${BASH_SOURCE[0]}")/run.sh" bench_textfile "${1:-7}"
