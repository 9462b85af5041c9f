#!/usr/bin/env bash
# Installs everything the build, the tests and the benchmark need; skips what is already there.
set -euo pipefail

packages=(
    cmake make ninja-build g++ clang libclang-rt-14-dev
    googletest libcli11-dev
    g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-tools
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine32:i386 wine64 fonts-wine
    xvfb xdotool x11-apps imagemagick icoutils
    genisoimage xorriso libarchive-tools 7zip time python3-pefile bchunk cdrdao iat ccd2iso mdf2iso nrg2iso libcdio-utils
    help2man dpkg-dev zip unzip zsh fish
    g++-aarch64-linux-gnu qemu-user-static debootstrap
    zlib1g-dev liblzma-dev libbz2-dev libflac-dev libzstd-dev mame-tools innoextract
    curl xz-utils bzip2  # the Windows builds' codecs, fetched and unpacked from Debian's sources
    zlib1g-dev:arm64 liblzma-dev:arm64 libbz2-dev:arm64 libflac-dev:arm64 libogg-dev:arm64 libzstd-dev:arm64
)

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# npm fetches Inno Setup's own compiler for the installer fixtures: Debian's where the
# machine has none of its own.
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
for arch in i386 arm64; do  # Wine's 32-bit half; the arm64 build's libraries
    dpkg --print-foreign-architectures | grep -qx "$arch" || sudo_if_needed dpkg --add-architecture "$arch"
done
export DEBIAN_FRONTEND=noninteractive
sudo_if_needed apt-get update -qq
sudo_if_needed apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
