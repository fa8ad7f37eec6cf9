#!/usr/bin/env bash
# Builds one benchmark in an optimised build of its own (the test build's traps would distort
# the figures) and runs it under Wine with the arguments given.
#   tools/bench/run.sh <target> [arguments...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
target=$1
shift
build=${TVX_BENCH_BUILD:-$root/build/bench}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DTVX_SANITIZE=OFF -DTVX_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target "$target" >/dev/null
TVX_TIMEOUT=${TVX_TIMEOUT:-300} "$root/tools/winerun" "$build/tools/bench/$target.exe" "$@"
