#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking Cordavex
# need, and only those that are missing. Safe to run again and again: when
# everything is present it changes nothing and needs no network.
#
#   scripts/setup.sh          build, tests, benchmarks
#   scripts/setup.sh --fuzz   also clang and its fuzzing runtime
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config make
  flex bison libfl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libjpeg62-turbo-dev
  libcli11-dev nlohmann-json3-dev
  libssl-dev libsqlite3-dev
  libqrencode-dev libdmtx-dev libzxing-dev
)
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
