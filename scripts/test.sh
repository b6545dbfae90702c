#!/usr/bin/env bash
# Runs every test: installs what is missing, configures and builds a preset and
# runs its tests with ctest.
#
#   scripts/test.sh                        the default preset (RelWithDebInfo)
#   scripts/test.sh asan                   under AddressSanitizer and UBSan
#   scripts/test.sh tsan                   the tests that run threads, under ThreadSanitizer
#   scripts/test.sh fuzz                   the fuzz targets replaying fuzz/corpus (clang)
#   scripts/test.sh asan -DCORDAVEX_WERROR=ON   further arguments go to cmake
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
[[ $# -gt 0 ]] && shift
if [[ "$preset" == "fuzz" ]]; then
  scripts/setup.sh --fuzz
else
  scripts/setup.sh
fi
cmake --preset "$preset" "$@" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j2
