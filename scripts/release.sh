#!/usr/bin/env bash
# Sets everything up and builds, from this checkout, what a release offers, into DIR/dist
# (default build/release/dist):
#   MarrowgateImporter-VERSION-win32.zip            the program, the player's README, notices
#   marrowgate-import_VERSION_ARCH.deb              the command-line importer, its manual page
#   marrowgate-import-VERSION-linux-MACHINE.tar.gz  the same, as a plain archive
#   SHA256SUMS
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
rm -rf "$out/native" "$out/win" "$out/stage" "$out/dist"
build() {
    local dir="$1"; shift
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMG_RELEASE=ON \
          -DBUILD_TESTING=OFF "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)" >/dev/null
}
echo "release: building (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
build "$out/native"
build "$out/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/native/CMakeCache.txt")"
arch="$(dpkg --print-architecture)"
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
cp "$out/win/MarrowgateImporter.exe" "$stage/zip/$win_name/"
for text in README.txt NOTICES.txt; do
    sed 's/$/\r/' "$root/release/$text" > "$stage/zip/$win_name/$text"
done
chmod 644 "$stage/zip/$win_name"/*
settle "$stage/zip"
(cd "$stage/zip" && zip -X -D -9 -q "$dist/$win_name-win32.zip" \
    "$win_name/MarrowgateImporter.exe" "$win_name/README.txt" "$win_name/NOTICES.txt")

# --- the command-line importer as a Debian package
deb="$stage/deb"
DESTDIR="$deb" cmake --install "$out/native" --prefix /usr >/dev/null
mkdir -p "$stage/shlibs/debian" "$deb/DEBIAN"
printf 'Source: marrowgate-import\n\nPackage: marrowgate-import\nArchitecture: any\n' > "$stage/shlibs/debian/control"
depends="$(cd "$stage/shlibs" && dpkg-shlibdeps -O "$deb/usr/bin/marrowgate-import" |
           sed -n 's/^shlibs:Depends=//p')"
installed_kib="$(find "$deb" -path "$deb/DEBIAN" -prune -o -type f -printf '%s\n' |
                 awk '{ kib += int(($1 + 1023) / 1024) } END { print kib }')"
cat > "$deb/DEBIAN/control" <<EOF
Package: marrowgate-import
Version: $version
Architecture: $arch
Maintainer: The Marrowgate Importer team <team@marrowgate-importer.invalid>
Installed-Size: $installed_kib
Depends: $depends
Section: games
Priority: optional
Description: import the level files of Marrowgate for Brindlecast
 marrowgate-import copies the DATA and FMV folders of the game Marrowgate,
 which the Brindlecast engine needs, into the current folder. It reads them
 from the raw-sector disc image (GAME.GOG) of the GOG or Steam edition, or
 from the game disc; without arguments it finds Steam's copy or a mounted
 disc by itself.
EOF
settle "$deb"
dpkg-deb --root-owner-group -Zxz --build "$deb" "$dist/marrowgate-import_${version}_$arch.deb" >/dev/null

# --- the same files as a plain archive, laid out as under /usr/local
tar_name="marrowgate-import-$version-linux-$(uname -m)"
cmake --install "$out/native" --prefix "$stage/tar/$tar_name" >/dev/null
settle "$stage/tar"
tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner --format=gnu \
    -C "$stage/tar" -cf - "$tar_name" | gzip -9n > "$dist/$tar_name.tar.gz"

(cd "$dist" && sha256sum -- *.zip *.deb *.tar.gz > SHA256SUMS)
echo "release: $version in $dist"
(cd "$dist" && stat -c '%9s  %n' -- * && cat SHA256SUMS)
