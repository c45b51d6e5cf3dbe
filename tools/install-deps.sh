#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks. Safe to run again: it only asks apt for missing packages.
set -euo pipefail

PACKAGES=(
  make cmake g++ clang libclang-rt-14-dev       # native build, sanitizers, libFuzzer
  git                                           # the version (git describe), make dist-check's clones
  googletest libgtest-dev libbenchmark-dev      # test and benchmark frameworks
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64   # the Windows program
  wine64 wine                                   # running it
  xvfb x11-utils imagemagick fonts-wqy-microhei # a screen for the window, screenshots
  socat locales procps                          # pseudo-terminal pairs, zh_CN locale
  python3 python3-serial                        # the latency peer of make bench
  strace                                        # the CLI test sees how the audit log is written
  libcli11-dev nlohmann-json3-dev               # command line and JSON of quorvane-cli
  qemu-system-x86 busybox-static kmod           # the real-kernel test (tools/qemu); depmod
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: need root to install packages" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine needs the zh_CN.UTF-8 locale to give programs the GBK code page 936.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "install-deps: generating zh_CN.UTF-8"
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# The real-kernel test boots Debian's current kernel image, unpacked into
# build/kernel (downloaded once; never installed on this machine).
bash "$(dirname "$0")/qemu/fetch-kernel.sh"
