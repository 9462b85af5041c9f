#!/usr/bin/env bash
# Sets everything up and builds, from this checkout, what a release offers, into DIR/dist
# (default build/release/dist):
#   MarrowgateImporter-VERSION-win32.zip            the program, marrowgate-import.exe, the player's
#                                                   README, notices
#   marrowgate-import_VERSION_amd64.deb             the command-line importer, its manual page and
#                                                   completions for bash, zsh and fish
#   marrowgate-import_VERSION_arm64.deb             the same for 64-bit ARM
#   marrowgate-import-VERSION-linux-x86_64.tar.gz   the same two as plain archives
#   marrowgate-import-VERSION-linux-aarch64.tar.gz
#   SHA256SUMS
# Each marrowgate-import is fully static, so it runs on any Linux of its processor.
# The same commit gives the same bytes: every timestamp is the commit's (SOURCE_DATE_EPOCH),
# and no path of the checkout or the build folder is kept.
#   release.sh [DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/release}"
mkdir -p "$out" && out="$(cd "$out" && pwd)"
bash "$root/scripts/setup.sh"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct 2>/dev/null)" || {
        echo "release: not a git checkout; set SOURCE_DATE_EPOCH to the release's time" >&2; exit 2; }
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C.UTF-8
umask 022
if [ -n "$(git -C "$root" status --porcelain 2>/dev/null)" ]; then
    echo "release: note: the checkout has uncommitted changes, and the artifacts hold them" >&2
fi

# --- build: both configurations afresh, for release
rm -rf "$out/native" "$out/aarch64" "$out/win" "$out/stage" "$out/dist"
build() {
    local dir="$1"; shift
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMG_RELEASE=ON \
          -DBUILD_TESTING=OFF "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)" >/dev/null
}
echo "release: building (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
build "$out/native"
build "$out/aarch64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-linux-aarch64.cmake"
build "$out/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/native/CMakeCache.txt")"
stage="$out/stage" dist="$out/dist"
mkdir -p "$stage" "$dist"

# Every staged entry gets the commit's time and plain permissions.
settle() {
    find "$1" -type d -exec chmod 755 {} +
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# --- the Windows program: one folder in a zip, its text files with Windows line ends
win_name="MarrowgateImporter-$version"
mkdir -p "$stage/zip/$win_name"
cp "$out/win/MarrowgateImporter.exe" "$out/win/cli/marrowgate-import.exe" "$stage/zip/$win_name/"
for text in README.txt NOTICES.txt; do
    sed 's/$/\r/' "$root/release/$text" > "$stage/zip/$win_name/$text"
done
chmod 644 "$stage/zip/$win_name"/*
settle "$stage/zip"
(cd "$stage/zip" && zip -X -D -9 -q "$dist/$win_name-win32.zip" \
    "$win_name/MarrowgateImporter.exe" "$win_name/marrowgate-import.exe" "$win_name/README.txt" "$win_name/NOTICES.txt")

# --- the command-line importer, for each processor: a Debian package and a plain archive
package() {  # package BUILD DEBIAN_ARCH MACHINE
    local build="$1" arch="$2" machine="$3"
    local deb="$stage/deb-$arch"
    DESTDIR="$deb" cmake --install "$build" --prefix /usr >/dev/null
    mv "$deb/usr/share/zsh/site-functions" "$deb/usr/share/zsh/vendor-completions"  # Debian's place for packages
    mkdir -p "$deb/DEBIAN"
    # A static program needs no library; a dynamic one gets what dpkg-shlibdeps finds.
    local depends=""
    if readelf -d "$deb/usr/bin/marrowgate-import" 2>/dev/null | grep -q NEEDED; then
        mkdir -p "$stage/shlibs-$arch/debian"
        printf 'Source: marrowgate-import\n\nPackage: marrowgate-import\nArchitecture: any\n' \
            > "$stage/shlibs-$arch/debian/control"
        depends="$(cd "$stage/shlibs-$arch" && dpkg-shlibdeps -O "$deb/usr/bin/marrowgate-import" |
                   sed -n 's/^shlibs:Depends=//p')"
    fi
    local installed_kib
    installed_kib="$(find "$deb" -path "$deb/DEBIAN" -prune -o -type f -printf '%s\n' |
                     awk '{ kib += int(($1 + 1023) / 1024) } END { print kib }')"
    {
        echo "Package: marrowgate-import"
        echo "Version: $version"
        echo "Architecture: $arch"
        echo "Maintainer: The Marrowgate Importer team <team@marrowgate-importer.invalid>"
        echo "Installed-Size: $installed_kib"
        [ -z "$depends" ] || echo "Depends: $depends"
        cat <<EOF
Section: games
Priority: optional
Description: import the level files of Marrowgate for Brindlecast
 marrowgate-import copies the DATA and FMV folders of the game Marrowgate,
 which the Brindlecast engine needs, into the current folder. It reads them
 from the raw-sector disc image (GAME.GOG) of the GOG or Steam edition, or
 from the game disc; without arguments it finds Steam's copy or a mounted
 disc by itself.
EOF
    } > "$deb/DEBIAN/control"
    settle "$deb"
    dpkg-deb --root-owner-group -Zxz --build "$deb" "$dist/marrowgate-import_${version}_$arch.deb" >/dev/null

    # The same files as a plain archive, laid out as under /usr/local
    local tar_name="marrowgate-import-$version-linux-$machine"
    cmake --install "$build" --prefix "$stage/tar-$machine/$tar_name" >/dev/null
    settle "$stage/tar-$machine"
    tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner --format=gnu \
        -C "$stage/tar-$machine" -cf - "$tar_name" | gzip -9n > "$dist/$tar_name.tar.gz"
}
package "$out/native" amd64 x86_64
package "$out/aarch64" arm64 aarch64

(cd "$dist" && sha256sum -- *.zip *.deb *.tar.gz > SHA256SUMS)
echo "release: $version in $dist"
(cd "$dist" && stat -c '%9s  %n' -- * && cat SHA256SUMS)
