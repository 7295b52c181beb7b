#!/usr/bin/env bash
# Installs everything Orvane needs to build, test and benchmark on a Debian machine.
# Idempotent: packages already present are skipped by apt-get; safe to run again.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive

BASE=(build-essential cmake ninja-build pkg-config git ca-certificates
      libgtest-dev libgmock-dev libbenchmark-dev
      clang clang-format libclang-rt-14-dev
      libboost-dev libgoogle-perftools-dev
      qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev libgl-dev
      xvfb xauth fonts-wqy-microhei
      zlib1g-dev libbrotli-dev libzstd-dev libdeflate-dev brotli zstd python3-brotli python3-zstandard
      curl python3 iproute2 libssl-dev openssl groff-base adduser)
WINDOWS=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64)
BENCH=(libvectorscan-dev nginx-light wrk gimp-help-zh-cn python3-jieba debian-reference-zh-cn
  debian-faq-zh-cn maint-guide-zh-cn manpages-zh)

missing() {
  local out=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
  done
  echo "${out[@]:-}"
}

want=("${BASE[@]}" "${WINDOWS[@]}")
if [ "${ORV_WITH_BENCH:-1}" = 1 ]; then want+=("${BENCH[@]}"); fi

# The 32-bit Wine runs the i686 DLL, the product's main Windows target.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  NEED_UPDATE=1
fi
todo="$(missing "${want[@]}" wine32:i386)"
if [ -n "$todo" ]; then
  if [ -n "${NEED_UPDATE:-}" ] || [ ! -f /var/lib/apt/periodic/orvane-updated ]; then
    $SUDO apt-get update -qq
    $SUDO mkdir -p /var/lib/apt/periodic && $SUDO touch /var/lib/apt/periodic/orvane-updated
  fi
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $todo
fi
echo "install-deps: all packages present"
