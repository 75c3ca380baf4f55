#!/usr/bin/env bash
# Installs what the build, the tests, the demo, the package check, the
# pictures and the fuzzing harnesses need (Debian).
set -euo pipefail
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev pkg-config
          libmodbus-dev python3 python3-pymodbus python3-serial python3-serial-asyncio
          python3-pyte tmux socat procps
          man-db groff-base dpkg-dev file
          python3-pil fonts-dejavu-core clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
