#!/usr/bin/env bash
# A silent uninstall of 10,000 listed files in nested folders (list naming files first, then
# folders first) against a plain program that deletes the same entries once.
#   tools/bench/uninstall.sh [runs]
set -euo pipefail
exec "$(dirname "${BASH_SOURCE[0]}")/run.sh" bench_uninstall "${1:-5}"
