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
  libcpp-httplib-dev fonts-noto-cjk chromium nodejs
)
# The browser tests' driver comes from npm; Debian's npm only where node came
# without one.
command -v npm >/dev/null 2>&1 || packages+=(npm)
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-14-dev)
fi

# playwright-core at the version web/tests/package-lock.json pins, once.
install_web_test_driver() {
  local folder
  folder="$(cd "$(dirname "$0")/.." && pwd)/web/tests"
  if [[ ! -f "$folder/node_modules/playwright-core/package.json" ]] ||
     ! grep -q "\"version\": \"$(sed -n 's/.*"playwright-core": "\([^"]*\)".*/\1/p' "$folder/package.json")\"" \
       "$folder/node_modules/playwright-core/package.json"; then
    echo "setup: installing the browser tests' driver (npm ci in web/tests)" >&2
    (cd "$folder" && npm ci --no-audit --no-fund --loglevel=error)
  fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
  install_web_test_driver
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
install_web_test_driver
