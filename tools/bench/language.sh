#!/usr/bin/env bash
# Language-file loading against one plain read of the same 2 MiB file (ANSI and UTF-16).
#   tools/bench/language.sh [runs]
set -euo pipefail
exec "$(dirname "${BASH_SOURCE[0]}")/run.sh" bench_language "${1:-9}"
