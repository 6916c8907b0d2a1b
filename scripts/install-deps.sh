#!/usr/bin/env bash
# Installs the Debian 12 packages Tarabo needs, only what is missing. Needs nothing but bash and
# the base system: it runs apt-get as root, or through sudo when that is installed.
#   scripts/install-deps.sh [--windows] [--windows32] [--fuzz] [--package-tools]
set -euo pipefail

# Building, testing and running the console on Linux.
packages=(
  make build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6test6
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-liberation fonts-dejavu-core
  xvfb xauth valgrind locales
  libcpp-httplib-dev chromium prometheus curl
)
need_i386=false
for group in "$@"; do
  case "$group" in
    # The native 32-bit Windows build and its tests under Wine (64-bit compiler and Wine for kernels
    # that run no 32-bit programs).
    --windows) packages+=(g++-mingw-w64-i686-posix wine wine32:i386 xvfb xauth fonts-wine
                        g++-mingw-w64-x86-64-posix wine64 nsis); need_i386=true ;;
    # The same, and qemu-i386 user-mode emulation to run the 32-bit build's tests where the
    # kernel runs no 32-bit programs (scripts/test-windows32.sh registers it for the run).
    --windows32) packages+=(g++-mingw-w64-i686-posix wine wine32:i386 wine64 xvfb xauth fonts-wine
                          nsis qemu-user-static); need_i386=true ;;
    # Fuzz targets (libFuzzer with the address and undefined-behaviour sanitizers).
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    # The Debian package and its checks.
    --package-tools) packages+=(dpkg-dev file imagemagick appstream lintian) ;;
    *) echo "install-deps: unknown group $group" >&2; exit 2 ;;
  esac
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root, or install sudo" >&2; exit 1; }
  sudo="sudo"
fi

if $need_i386 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The test suite also runs under a locale whose decimal separator is a comma.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  echo "install-deps: generating the de_DE.UTF-8 locale"
  $sudo localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
