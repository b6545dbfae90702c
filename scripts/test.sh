#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the default preset and runs
# the suite with ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default -j2
