#!/usr/bin/env bash
# The codecs GOG's installers need (zlib, liblzma, bzip2), built once as static libraries
# for a Windows target with mingw-w64, from Debian's own source tarballs (each checked
# against its SHA-256): Debian packages no mingw-w64 build of them. The tarballs are kept
# in build/deps/src; the libraries and headers go to OUT/lib and OUT/include.
#   windows-codecs.sh TRIPLET OUT        TRIPLET: i686-w64-mingw32 or x86_64-w64-mingw32
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
triplet="$1" out="$2"
[ -f "$out/lib/liblzma.a" ] && [ -f "$out/lib/libz.a" ] && [ -f "$out/lib/libbz2.a" ] && exit 0
src="$root/build/deps/src"
pool=http://deb.debian.org/debian/pool/main
tarballs=(
    "x/xz-utils/xz-utils_5.4.1.orig.tar.xz 5d9827aa1875b21c288f78864bb26d2650b436ea8d2cad364e4921eb6266a5a5"
    "z/zlib/zlib_1.2.13.dfsg.orig.tar.bz2 71feb7947e3c00ef125f83b79a4e529bde31171e5babe48b391f06758d1ab0a1"
    "b/bzip2/bzip2_1.0.8.orig.tar.gz ab5a03176ee106d3f0fa90e381da478ddae405918153cca248e682cd0c4a2269"
)
mkdir -p "$src" "$out/lib" "$out/include"
for row in "${tarballs[@]}"; do
    read -r path sum <<<"$row"
    file="$src/$(basename "$path")"
    if [ ! -f "$file" ]; then
        curl -sSfL -o "$file.part" "$pool/$path" || { echo "windows-codecs: cannot fetch $pool/$path" >&2; exit 1; }
        mv "$file.part" "$file"
    fi
    echo "$sum  $file" | sha256sum -c --quiet - || { echo "windows-codecs: $file is not the tarball expected" >&2; rm -f "$file"; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cc="$triplet-gcc" ar="$triplet-ar"
flags=(-O2 -DNDEBUG)
library() {  # library NAME SOURCES...: compiled and archived as OUT/lib/libNAME.a
    local name="$1" objects=(); shift
    for source in "$@"; do
        "$cc" "${flags[@]}" "${includes[@]}" -c "$source" -o "$work/$name-$(basename "${source%.c}").o"
        objects+=("$work/$name-$(basename "${source%.c}").o")
    done
    "$ar" rcs "$out/lib/lib$name.a" "${objects[@]}"
}

tar -xf "$src/zlib_1.2.13.dfsg.orig.tar.bz2" -C "$work"
z="$(echo "$work"/zlib-1.2.13*)"
includes=(-I"$z")
library z "$z"/{adler32,crc32,inffast,inflate,inftrees,zutil}.c
cp "$z/zlib.h" "$z/zconf.h" "$out/include/"

tar -xf "$src/bzip2_1.0.8.orig.tar.gz" -C "$work"
b="$work/bzip2-1.0.8"
includes=(-I"$b")
library bz2 "$b"/{blocksort,huffman,crctable,randtable,compress,decompress,bzlib}.c
cp "$b/bzlib.h" "$out/include/"

# liblzma's decoders only, as its own build would compile them with these options.
tar -xf "$src/xz-utils_5.4.1.orig.tar.xz" -C "$work"
x="$work/xz-5.4.1/src"
includes=(-I"$x/liblzma/api" -I"$x/liblzma/common" -I"$x/liblzma/check" -I"$x/liblzma/lz" -I"$x/liblzma/rangecoder"
    -I"$x/liblzma/lzma" -I"$x/liblzma/delta" -I"$x/liblzma/simple" -I"$x/common")
flags+=(-std=gnu99 -DHAVE_STDINT_H -DHAVE_STDBOOL_H -DHAVE_INTTYPES_H -DHAVE_DECODERS -DHAVE_DECODER_LZMA1 -DHAVE_DECODER_LZMA2
    -DHAVE_CHECK_CRC32 -DHAVE_CHECK_CRC64 -DSIZEOF_SIZE_T=__SIZEOF_SIZE_T__ -DMYTHREAD_VISTA -DTUKLIB_SYMBOL_PREFIX=lzma_
    -DLZMA_API_STATIC -DHAVE_VISIBILITY=0)
library lzma "$x"/liblzma/common/{common,filter_common,filter_decoder}.c \
    "$x"/liblzma/lz/lz_decoder.c "$x"/liblzma/lzma/{lzma_decoder,lzma2_decoder}.c
cp -r "$x/liblzma/api/lzma.h" "$x/liblzma/api/lzma" "$out/include/"
