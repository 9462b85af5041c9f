#!/usr/bin/env bash
# marrowgate-import as a user meets it: exit statuses, messages, --list, --all, -C and
# progress on a terminal, on images made by genisoimage (see fixtures/).
set -uo pipefail
importer="$1" make_raw="$2" testdata="$3" version="$4" make_rip="$5"
source "$(dirname "$0")/checks.sh"

"$make_raw" "$testdata/genisoimage.iso" "$work/GAME.GOG" || fail "make-raw-image"
tree="$testdata/tree"

# Usage and information
expect 0 "help" -- "$importer" --help
contains "$work/out" "Exit status:" "help"
contains "$work/out" "11  cannot write" "help"
# README's table of exit statuses is the one --help prints, row for row.
sed -n '/^Exit status:$/,/^$/s/^  \([0-9]*\) *\(.*\)$/\1 \2/p' "$work/out" >"$work/statuses.help"
sed -n '/^Exit status, one per cause:$/,/^From 6 on/s/^| \([0-9]*\) | \(.*\) |$/\1 \2/p' \
    "$(dirname "$0")/../../README.md" >"$work/statuses.readme"
[ -s "$work/statuses.help" ] && diff "$work/statuses.help" "$work/statuses.readme" >"$work/statuses.diff" ||
    fail "README's exit statuses differ from --help's: $(cat "$work/statuses.diff")"
# IMAGE is any rip now, not only raw sectors.
! grep -q "raw-sector" "$work/out" || fail "help: still calls IMAGE the raw-sector image: $(grep raw-sector "$work/out")"
expect 0 "version" -- "$importer" --version
contains "$work/out" "marrowgate-import $version" "version"
expect 2 "two images" -- "$importer" "$work/GAME.GOG" "$work/GAME.GOG"
contains "$work/err" "marrowgate-import:" "two images"
expect 2 "unknown option" -- "$importer" --bogus "$work/GAME.GOG"

# A complete import, off a terminal: silent, DATA and FMV byte for byte, nothing else.
mkdir "$work/a"
expect 0 "import" -- "$importer" -C "$work/a" "$work/GAME.GOG"
empty "$work/out" "import"; empty "$work/err" "import"
diff -r "$tree/DATA" "$work/a/DATA" >/dev/null || fail "import: DATA differs from the source tree"
diff -r "$tree/FMV" "$work/a/FMV" >/dev/null || fail "import: FMV differs from the source tree"
[ "$(ls "$work/a")" = "$(printf 'DATA\nFMV')" ] || fail "import: wrote more than DATA and FMV: $(ls "$work/a")"

# Into the current folder, twice (the second import overwrites).
mkdir "$work/b"
(cd "$work/b" && "$importer" "$work/GAME.GOG" && "$importer" --quiet "$work/GAME.GOG") || fail "import into the current folder"
diff -r "$tree/DATA" "$work/b/DATA" >/dev/null || fail "import into the current folder: DATA differs"

# The output folder may be a symbolic link of the user's.
mkdir "$work/real" && ln -s "$work/real" "$work/link"
expect 0 "output folder behind a link" -- "$importer" -C "$work/link" "$work/GAME.GOG"
[ -f "$work/real/FMV/INTRO.AVI" ] || fail "output folder behind a link: nothing imported"
# ... and so may any folder on the way to a new one, as mkdir -p follows them.
expect 0 "new output folder below a link" -- "$importer" -C "$work/link/new/deeper" "$work/GAME.GOG"
[ -f "$work/real/new/deeper/FMV/INTRO.AVI" ] || fail "new output folder below a link: nothing imported"

# --list writes nothing and names every path
expect 0 "list" -- "$importer" --list -C "$work/none" "$work/GAME.GOG"
[ ! -e "$work/none" ] || fail "list: created the output folder"
contains "$work/out" "DATA/" "list"
contains "$work/out" "DATA/README" "list"
contains "$work/out" "FMV/INTRO.AVI" "list"
[ "$(wc -l <"$work/out")" -eq "$(cd "$tree" && find DATA FMV | wc -l)" ] || fail "list: $(wc -l <"$work/out") lines"

# --test: reads what an import would write, checks each raw sector's EDC, writes nothing
expect 0 "test: sound" -- "$importer" --test "$work/GAME.GOG"
contains "$work/out" "GAME.GOG: sound: 310 files read" "test: sound"
# Damage one byte of CRED1.PCX's first sector (its user data starts 16 bytes in)
offset="$(python3 - "$testdata/genisoimage.iso" "$tree/DATA/CRED1.PCX" <<'PY'
import sys
iso, content = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
at = iso.find(content[:256])
print(at // 2048 * 2352 + 16 + at % 2048 if at >= 0 else -1)
PY
)"
if [ "$offset" -ge 0 ]; then
    cp "$work/GAME.GOG" "$work/damaged.gog"
    printf 'X' | dd of="$work/damaged.gog" bs=1 seek="$offset" conv=notrunc status=none
    expect 17 "test: a damaged sector" -- "$importer" --test "$work/damaged.gog"
    contains "$work/err" "damaged.gog: DATA/CRED1.PCX;1: damaged sector: its EDC does not match: sector " "test: a damaged sector"
    expect 0 "an import does not check codes" -- "$importer" -C "$work/from-damaged" "$work/damaged.gog"
else
    fail "test: CRED1.PCX's content not found in the fixture"
fi
# Sectors without codes (all EDC and ECC bytes zero) are counted and said once
python3 - "$work/GAME.GOG" "$work/uncoded.gog" <<'PY'
import sys
raw = bytearray(open(sys.argv[1], "rb").read())
for start in range(0, len(raw), 2352):
    raw[start + 2064:start + 2352] = bytes(288)
open(sys.argv[2], "wb").write(raw)
PY
expect 0 "test: no codes" -- "$importer" --test "$work/uncoded.gog"
[ "$(grep -c "sectors carry no EDC or ECC" "$work/err")" -eq 1 ] || fail "test: no codes: not said once: $(cat "$work/err")"
expect 0 "test: a cooked image" -- "$importer" --test "$testdata/genisoimage.iso"
contains "$work/err" "no sector codes in this image" "test: a cooked image"
expect 2 "test and list" -- "$importer" --test --list "$work/GAME.GOG"

# A cooked image (an .iso as the authoring tools write it) imports as its raw form does
expect 0 "cooked image" -- "$importer" -C "$work/cooked" "$testdata/genisoimage.iso"
diff -r "$tree/DATA" "$work/cooked/DATA" >/dev/null && diff -r "$tree/FMV" "$work/cooked/FMV" >/dev/null ||
    fail "cooked image: differs from the source tree"

# A block device holding the disc, cooked or raw: a read-only loop device (raw images
# padded to a whole number of 512-byte device sectors)
loop_import() {  # loop_import WHAT IMAGE
    local device
    if ! device="$(losetup -f --show -r "$2" 2>"$work/losetup.err")"; then
        echo "SKIP: $1 on a loop device: $(cat "$work/losetup.err")"
        return
    fi
    expect 0 "$1 on $device" -- "$importer" -C "$work/loop-$1" "$device"
    losetup -d "$device"
    diff -r "$tree/DATA" "$work/loop-$1/DATA" >/dev/null || fail "$1 on a loop device: DATA differs"
}
loop_import cooked "$testdata/genisoimage.iso"
cp "$work/GAME.GOG" "$work/padded.gog"
truncate -s $(( ($(stat -c %s "$work/padded.gog") + 511) / 512 * 512 )) "$work/padded.gog"
loop_import raw "$work/padded.gog"

# --all takes the whole file system
expect 0 "all" -- "$importer" --all -C "$work/all" "$work/GAME.GOG"
diff -r "$tree" "$work/all" >/dev/null || fail "all: differs from the source tree"

# Disc rips: a cue sheet with its .bin, imported named by either; bchunk reads the same
# sheet back to the authored ISO, a cross-check of what we wrote.
mkdir "$work/rip"
cp "$work/GAME.GOG" "$work/rip/Game.bin"
printf 'FILE "Game.bin" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n' >"$work/rip/Game.cue"
(cd "$work/rip" && bchunk Game.bin Game.cue check >/dev/null) || fail "bchunk cannot read the sheet"
cmp -s "$work/rip/check01.iso" "$testdata/genisoimage.iso" || fail "bchunk: the sheet's track is not the authored image"
for named in Game.cue Game.bin; do
    expect 0 "rip named by $named" -- "$importer" -C "$work/rip-$named" "$work/rip/$named"
    diff -r "$tree/DATA" "$work/rip-$named/DATA" >/dev/null || fail "rip named by $named: DATA differs"
done
# A cdrdao TOC of the same file, which cdrdao itself reads as one track of the disc's length
# (cdrdao finds data files from the current folder).
printf 'CD_ROM\n// by hand\nTRACK MODE1_RAW\nDATAFILE "Game.bin"\n' >"$work/rip/Game.toc"
sectors=$(( $(stat -c %s "$work/rip/Game.bin") / 2352 ))
toc=$(cd "$work/rip" && cdrdao show-toc Game.toc 2>&1)
grep -qE "END .*\( *$sectors\)" <<<"$toc" || fail "cdrdao does not read the toc as one track of $sectors sectors: $toc"
expect 0 "rip named by its toc" -- "$importer" -C "$work/rip-toc" "$work/rip/Game.toc"
diff -r "$tree/FMV" "$work/rip-toc/FMV" >/dev/null || fail "rip named by its toc: FMV differs"
# A data track stored in two files: cdrdao reads the TOC's two DATAFILE statements as one
# track of the disc's length; a cue sheet goes on in the next FILE with INDEX 02.
half=$(( sectors / 2 ))
head -c $(( half * 2352 )) "$work/rip/Game.bin" >"$work/rip/Split1.bin"
tail -c +$(( half * 2352 + 1 )) "$work/rip/Game.bin" >"$work/rip/Split2.bin"
printf 'CD_ROM
TRACK MODE1_RAW
DATAFILE "Split1.bin"
DATAFILE "Split2.bin"
' >"$work/rip/Split.toc"
toc=$(cd "$work/rip" && cdrdao show-toc Split.toc 2>&1)
grep -qE "END .*\( *$sectors\)" <<<"$toc" || fail "cdrdao does not read the split toc as one track of $sectors sectors: $toc"
printf 'FILE "Split1.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\nFILE "Split2.bin" BINARY\n    INDEX 02 00:00:00\n' \
    >"$work/rip/Split.cue"
for named in Split.toc Split.cue; do
    expect 0 "a track in two files, named by $named" -- "$importer" -C "$work/split-$named" "$work/rip/$named"
    diff -r "$tree/DATA" "$work/split-$named/DATA" >/dev/null || fail "a track in two files, named by $named: DATA differs"
    diff -r "$tree/FMV" "$work/split-$named/FMV" >/dev/null || fail "a track in two files, named by $named: FMV differs"
done
# The same sectors as iat and ccd2iso read them, and as a CloneCD rip and a CHD; chdman
# gives its CHD back as the .bin it was made from.
iat "$work/rip/Game.bin" "$work/rip/iat.iso" >/dev/null 2>&1
cmp -s "$work/rip/iat.iso" "$testdata/genisoimage.iso" || fail "iat: the raw sectors are not the authored image"
sectors=$(( $(stat -c %s "$work/rip/Game.bin") / 2352 ))
printf '[CloneCD]\nVersion=3\n[Disc]\nTocEntries=2\n[Entry 0]\nPoint=0xa2\nControl=0x04\nPLBA=%d\n[Entry 1]\nPoint=0x01\nControl=0x04\nPLBA=0\n[TRACK 1]\nMODE=1\nINDEX 1=0\n' \
    "$sectors" >"$work/rip/Clone.ccd"
cp "$work/rip/Game.bin" "$work/rip/Clone.img"
head -c $(( sectors * 96 )) /dev/zero >"$work/rip/Clone.sub"
ccd2iso "$work/rip/Clone.img" "$work/rip/ccd2iso.iso" >/dev/null 2>&1
cmp -s "$work/rip/ccd2iso.iso" "$testdata/genisoimage.iso" || fail "ccd2iso: the CloneCD image is not the authored image"
chdman createcd -i "$work/rip/Game.cue" -o "$work/rip/Game.chd" >/dev/null 2>&1 || fail "chdman createcd"
chdman extractcd -i "$work/rip/Game.chd" -o "$work/rip/back.cue" -ob "$work/rip/back.bin" >/dev/null 2>&1
cmp -s "$work/rip/back.bin" "$work/rip/Game.bin" || fail "chdman does not give its CHD back as the .bin"
# Alcohol and Nero rips, written by our own writer, read back by mdf2iso and nrg2iso (which
# copies from byte 307200 to the end, the chunks included) as the authored image.
"$make_rip" mds "$testdata/genisoimage.iso" "$work/rip/Alcohol"
mdf2iso "$work/rip/Alcohol.mdf" "$work/rip/mdf2iso.iso" >/dev/null 2>&1
cmp -s "$work/rip/mdf2iso.iso" "$testdata/genisoimage.iso" || fail "mdf2iso: the Alcohol image is not the authored image"
"$make_rip" nrg "$testdata/genisoimage.iso" "$work/rip/Nero"
nrg2iso "$work/rip/Nero.nrg" "$work/rip/nrg2iso.iso" >/dev/null 2>&1
cmp -s -n "$(stat -c %s "$testdata/genisoimage.iso")" "$work/rip/nrg2iso.iso" "$testdata/genisoimage.iso" ||
    fail "nrg2iso: the Nero image is not the authored image"
# (Its output is taken whole first: grep -q stops reading at a match, and pipefail would
# count the SIGPIPE that cd-info then gets as a failure.)
tracks=$(cd-info --no-header -N "$work/rip/Nero.nrg" 2>/dev/null)
grep -qE "^ +1: 00:02:00 +000000 data" <<<"$tracks" || fail "cd-info does not list the Nero image's track 1 as data at address 0: $tracks"
for named in Clone.ccd Clone.img Clone.sub Game.chd Alcohol.mds Alcohol.mdf Nero.nrg; do
    expect 0 "rip named by $named" -- "$importer" -C "$work/rip-$named" "$work/rip/$named"
    diff -r "$tree/DATA" "$work/rip-$named/DATA" >/dev/null || fail "rip named by $named: DATA differs"
done
expect 0 "test: a CHD" -- "$importer" --test "$work/rip/Game.chd"
printf 'FILE "Game.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n' >"$work/rip/audio.cue"
expect 4 "audio-only disc" -- "$importer" -C "$work/c" "$work/rip/audio.cue"
contains "$work/err" "audio.cue: not a CD image with an ISO 9660 file system: a disc with no data track (1 audio tracks)" "audio-only disc"
printf 'FILE "Game.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:99\n' >"$work/rip/bad.cue"
expect 19 "malformed sheet" -- "$importer" -C "$work/c" "$work/rip/bad.cue"
contains "$work/err" "bad.cue: cannot read the disc's sheet or container: line 3: bad time 00:00:99" "malformed sheet"
printf 'FILE "Track 01.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n' >"$work/rip/lost.cue"
expect 3 "a sheet's missing file" -- "$importer" -C "$work/c" "$work/rip/lost.cue"
contains "$work/err" "rip/Track 01.bin: cannot open the image: No such file or directory" "a sheet's missing file"

# Failures: one line naming the image or path and the cause, and the status of the cause
expect 3 "missing image" -- "$importer" -C "$work/c" "$work/NOPE.GOG"
contains "$work/err" "$work/NOPE.GOG: cannot open the image: No such file or directory" "missing image"
head -c 100000 /dev/zero >"$work/zero.gog"
expect 4 "not an image" -- "$importer" -C "$work/c" "$work/zero.gog"
contains "$work/err" "zero.gog: not a CD image with an ISO 9660 file system" "not an image"
: >"$work/empty.gog"
expect 4 "empty file" -- "$importer" -C "$work/c" "$work/empty.gog"
contains "$work/err" "empty.gog: not a CD image with an ISO 9660 file system: an empty file" "empty file"
expect 3 "a folder as the image" -- "$importer" -C "$work/c" "$work/c"
contains "$work/err" "cannot open the image: Is a directory" "a folder as the image"
mkfifo "$work/fifo.gog"
expect 3 "a FIFO as the image" -- timeout 10 "$importer" -C "$work/c" "$work/fifo.gog"
contains "$work/err" "fifo.gog: cannot open the image: not a regular file or block device" "a FIFO as the image"
head -c 3000000 "$work/GAME.GOG" >"$work/cut.gog"
expect 6 "truncated image" -- "$importer" -C "$work/cut" "$work/cut.gog"
contains "$work/err" "the image ends inside a folder or file" "truncated image"
[ -f "$work/cut/DATA/CRED1.PCX" ] || fail "truncated image: good files are not there"
mkdir -p "$work/d" && echo x >"$work/d/FMV"
expect 11 "output blocked" -- "$importer" -C "$work/d" "$work/GAME.GOG"
contains "$work/err" "$work/d/FMV: cannot write: Not a directory" "output blocked"
[ "$(grep -c . "$work/err")" -eq 1 ] || fail "output blocked: more than one line"
diff -r "$tree/DATA" "$work/d/DATA" >/dev/null || fail "output blocked: DATA not imported"
expect 0 "-C makes every missing folder" -- "$importer" -C "$work/no/such/dir" "$work/GAME.GOG"
[ -f "$work/no/such/dir/DATA/CRED1.PCX" ] || fail "-C makes every missing folder: nothing imported"
echo x > "$work/a-file"
expect 11 "-C naming a file" -- "$importer" -C "$work/a-file/sub" "$work/GAME.GOG"
contains "$work/err" "$work/a-file: cannot write: Not a directory" "-C naming a file"

# Files keep the times the disc records (genisoimage took them from the source tree)
[ "$(stat -c %Y "$tree/DATA/CRED1.PCX")" = "$(stat -c %Y "$work/a/DATA/CRED1.PCX")" ] ||
    fail "times: CRED1.PCX does not keep the disc's time"

# --list prints the list alone on stdout; a write error on stdout is a failure
expect 0 "list alone" -- "$importer" --list "$work/GAME.GOG"
! grep -qv '^\(DATA\|FMV\)' "$work/out" || fail "list alone: other lines on stdout: $(grep -v '^\(DATA\|FMV\)' "$work/out" | head -3)"
if [ -w /dev/full ]; then
    expect 15 "list into a full disk" -- sh -c "'$importer' --list '$work/GAME.GOG' > /dev/full"
    contains "$work/err" "standard output: cannot write: No space left on device" "list into a full disk"
fi

# Not enough free space: refused before anything is written, with both figures
mkdir -p "$work/small"
if mount -t tmpfs -o size=256k tmpfs "$work/small" 2>/dev/null; then
    expect 14 "not enough free space" -- "$importer" -C "$work/small" "$work/GAME.GOG"
    contains "$work/err" "$work/small: not enough free space: " "not enough free space"
    contains "$work/err" " MB to write, 0.3 MB free" "not enough free space"
    [ -z "$(ls -A "$work/small")" ] || fail "not enough free space: something was written"
    umount "$work/small"
else
    echo "SKIP: not enough free space: no tmpfs mount here"
fi

# SIGINT and SIGTERM: the file being written is dropped, "interrupted" said once, and the
# status is the shells' (130, 143). An image with one large file keeps the import busy.
mkdir -p "$work/big/DATA"
head -c 300000000 /dev/zero > "$work/big/DATA/BIG.DAT"
genisoimage -quiet -o "$work/big.iso" "$work/big" 2>/dev/null
rm -rf "$work/big"
for signal in INT TERM; do
    out="$work/stopped-$signal"
    "$importer" -C "$out" "$work/big.iso" 2>"$work/err" &
    pid=$!
    for _ in $(seq 2000); do  # until the large file is being written
        compgen -G "$out/DATA/.*.mg-partial" >/dev/null && break
        sleep 0.005
    done
    if ! compgen -G "$out/DATA/.*.mg-partial" >/dev/null; then
        wait "$pid"
        echo "SKIP: SIG$signal: the import ended before it could be interrupted"
        continue
    fi
    kill -"$signal" "$pid"
    wait "$pid"
    status=$?
    want=$([ "$signal" = INT ] && echo 130 || echo 143)
    [ "$status" -eq "$want" ] || fail "SIG$signal: exit status $status, expected $want"
    [ "$(grep -c interrupted "$work/err")" -eq 1 ] || fail "SIG$signal: 'interrupted' not said once: $(cat "$work/err")"
    [ -z "$(find "$out" -name '*.mg-partial' -o -name BIG.DAT)" ] || fail "SIG$signal: the file being written was left"
done
rm -f "$work/big.iso"

# A stop is looked at between records too: --list of 6,000 empty files into a pipe that
# is read slowly takes SIGTERM and ends with 143 before the list does.
mkdir -p "$work/many/DATA"
(cd "$work/many/DATA" && for i in $(seq 1 6000); do : >"F$i.DAT"; done)
genisoimage -quiet -o "$work/many.iso" "$work/many" 2>/dev/null
rm -rf "$work/many"
mkfifo "$work/slow"
"$importer" --list "$work/many.iso" >"$work/slow" 2>"$work/err" &
pid=$!
exec 7<"$work/slow"
head -c 1000 <&7 >/dev/null  # the pipe fills and the listing waits on it
sleep 0.2
kill -TERM "$pid"
cat <&7 >"$work/listed"
exec 7<&-
wait "$pid"
status=$?
[ "$status" -eq 143 ] || fail "SIGTERM during --list: exit status $status, expected 143"
[ "$(wc -l <"$work/listed")" -lt 5000 ] || fail "SIGTERM during --list: the whole list was printed ($(wc -l <"$work/listed") lines)"
rm -f "$work/many.iso" "$work/slow"

# A disc copied from its files goes as deep as an image's walk, and says so of a folder
# nested deeper: status 9, naming it; what lies above is copied.
deep="$work/mounted/DATA"
for i in $(seq 1 70); do deep="$deep/D$i"; done
mkdir -p "$deep" && echo top >"$work/mounted/DATA/TOP.TXT" && echo deep >"$deep/DEEP.TXT"
mkdir -p "$work/mounted/FMV"
expect 9 "a disc folder nested too deeply" -- "$importer" --disc "$work/mounted" -C "$work/deep-out"
contains "$work/err" "folders nested too deeply" "a disc folder nested too deeply"
contains "$work/err" "/D62/D63" "a disc folder nested too deeply"
[ -f "$work/deep-out/DATA/TOP.TXT" ] || fail "a disc folder nested too deeply: what lies above was not copied"

# On a terminal: a progress line, then a summary
if command -v script >/dev/null; then
    script -qec "'$importer' -C '$work/tty' '$work/GAME.GOG'" /dev/null >"$work/tty.log" 2>&1 || fail "terminal import"
    contains "$work/tty.log" "files" "terminal progress"
    contains "$work/tty.log" "Imported 310 files" "terminal summary"
    script -qec "'$importer' --quiet -C '$work/tty2' '$work/GAME.GOG'" /dev/null >"$work/tty2.log" 2>&1
    empty "$work/tty2.log" "terminal --quiet"
fi

finish command-line
