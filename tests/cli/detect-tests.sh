#!/usr/bin/env bash
# marrowgate-import finding the game by itself: the GOG edition in a real Wine prefix (made
# by wineboot here) and through Heroic's and minigalaxy's files; fake homes (Steam folders
# with library lists of both formats, a library elsewhere, Flatpak) and fake media in a
# scratch folder, reached through MARROWGATE_HOME and MARROWGATE_MEDIA_ROOT; and --disc
# with the disc job's rules.
set -uo pipefail
importer="$1" make_raw="$2" testdata="$3" make_installer="$4"
source "$(dirname "$0")/checks.sh"
run() {  # run STATUS WHAT HOME -- args...: the importer with that home and the fake media
    local want="$1" what="$2" home="$3"; shift 4
    expect "$want" "$what" -- env MARROWGATE_HOME="$home" MARROWGATE_MEDIA_ROOT="$work/root" USER=tester \
        XDG_DATA_HOME= XDG_CONFIG_HOME= WINEPREFIX="${prefix_for_run:-}" "$importer" "$@"
}
output_is() { [ "$(cat "$work/out")" = "$1" ] || fail "$2: printed '$(cat "$work/out")', expected '$1'"; }

tree="$testdata/tree"
image="$work/GAME.GOG"
"$make_raw" "$testdata/genisoimage.iso" "$image" || fail "make-raw-image"
game="steamapps/common/Marrowgate (I)/GAME.GOG"
place_game() { mkdir -p "$(dirname "$1/$game")" && cp "$image" "$1/$game"; }
mkdir -p "$work/root"

# Nothing anywhere
mkdir -p "$work/empty-home"
run 13 "nothing found" "$work/empty-home" -- --detect
contains "$work/err" "no source of the game found" "nothing found"
for kind in "GOG in Wine prefixes: $work/empty-home/.wine, $work/empty-home/Games/*" \
    "GOG in launchers' lists: $work/empty-home/.config/heroic/gog_store/installed.json" \
    "Steam, and the libraries it lists, in: $work/empty-home/.steam/steam/steamapps" \
    "a game disc (DATA/CRED1.PCX) mounted in: $work/root/media/tester" "Give the image's path (GAME.GOG), or --disc DIR"; do
    contains "$work/err" "$kind" "nothing found: where it looked"
done

# GOG through Wine: a real prefix, the key written as GOG's 32-bit installer writes it,
# the folder outside ASCII and on disk in other letters' case than the key says (Wine
# matches it so); found through WINEPREFIX, and as ~/Games/* (Lutris) and ~/.wine.
source "$(dirname "$0")/../../scripts/wine-lib.sh"
MG_WIN_BITS=64  # 64-bit Wine starts on every machine
prefix="$work/wine-prefix"
(export WINEPREFIX="$prefix"; wine wineboot -i && wine reg add 'HKLM\Software\GOG.com\Games\1207663463' /v path \
    /t REG_SZ /d 'C:\GOG Games\Łódź Marrowgate' /reg:32 && wineserver -k; wineserver -w) >/dev/null 2>&1
grep -q 'Wow6432Node\\\\GOG.com' "$prefix/system.reg" 2>/dev/null || fail "the Wine prefix holds no GOG key"
gog_folder="$prefix/drive_c/GOG GAMES/ŁÓDŹ MARROWGATE"
mkdir -p "$gog_folder" && cp "$image" "$gog_folder/game.gog"
prefix_for_run="$prefix" run 0 "GOG in WINEPREFIX" "$work/empty-home" -- --detect
output_is "GOG: $gog_folder/game.gog" "GOG in WINEPREFIX"
mkdir -p "$work/lutris-home/Games" && cp -a "$prefix" "$work/lutris-home/Games/marrowgate"
run 0 "GOG in a Lutris prefix" "$work/lutris-home" -- --detect
output_is "GOG: $work/lutris-home/Games/marrowgate/drive_c/GOG GAMES/ŁÓDŹ MARROWGATE/game.gog" "GOG in a Lutris prefix"
mkdir -p "$work/wine-home" && cp -a "$prefix" "$work/wine-home/.wine"
run 0 "GOG in ~/.wine" "$work/wine-home" -- --quiet -C "$work/out-gog"
diff -r "$tree/DATA" "$work/out-gog/DATA" >/dev/null || fail "import from GOG: DATA differs"

# GOG through Heroic's list (native and Flatpak) and minigalaxy's install folder
heroic_game="$work/Heroic Games/Marrowgate"
mkdir -p "$heroic_game" && cp "$image" "$heroic_game/GAME.GOG"
for list in .config/heroic/gog_store .var/app/com.heroicgameslauncher.hgl/config/heroic/gog_store; do
    h="$work/heroic-home-${list%%/*}"
    mkdir -p "$h/$list"
    printf '{"installed": [{"appName": "1", "install_path": "/nowhere"}, {"platform": "windows", "appName": "1207663463", "install_path": "%s", "is_dlc": false}]}' \
        "$heroic_game" > "$h/$list/installed.json"
    run 0 "GOG through Heroic ($list)" "$h" -- --detect
    output_is "GOG: $heroic_game/GAME.GOG" "GOG through Heroic ($list)"
done
h="$work/minigalaxy-home"
mkdir -p "$h/GOG Games/Marrowgate" && cp "$image" "$h/GOG Games/Marrowgate/GAME.GOG"
run 0 "GOG in minigalaxy's default folder" "$h" -- --detect
output_is "GOG: $h/GOG Games/Marrowgate/GAME.GOG" "GOG in minigalaxy's default folder"
mkdir -p "$h/.config/minigalaxy" "$work/mg-games/Marrowgate"
cp "$image" "$work/mg-games/Marrowgate/GAME.GOG"
printf '{"lang": "en", "install_dir": "%s", "keep_installers": false}' "$work/mg-games" > "$h/.config/minigalaxy/config.json"
run 0 "GOG in minigalaxy's install_dir" "$h" -- --detect
output_is "GOG: $work/mg-games/Marrowgate/GAME.GOG" "GOG in minigalaxy's install_dir"

# Current-format list in ~/.local/share/Steam (reached twice, through ~/.steam/steam too)
# naming a library on another path
h1="$work/home1"
mkdir -p "$h1/.local/share/Steam/steamapps" "$h1/.steam"
ln -s "$h1/.local/share/Steam" "$h1/.steam/steam"
place_game "$work/Library Two"
printf '"libraryfolders"\n{\n\t"0"\n\t{\n\t\t"path"\t\t"%s"\n\t\t"apps"\n\t\t{\n\t\t}\n\t}\n\t"1"\n\t{\n\t\t"path"\t\t"%s"\n\t}\n}\n' \
    "$h1/.local/share/Steam" "$work/Library Two" > "$h1/.local/share/Steam/steamapps/libraryfolders.vdf"
run 0 "current-format library" "$h1" -- --detect
output_is "Steam: $work/Library Two/$game" "current-format library"

# Old-format list in ~/.steam/steam/steamapps
h2="$work/home2"
mkdir -p "$h2/.steam/steam/steamapps"
place_game "$work/lib3"
printf '"LibraryFolders"\n{\n\t"TimeNextStatsReport"\t\t"1625097600"\n\t"1"\t\t"%s"\n}\n' "$work/lib3" \
    > "$h2/.steam/steam/steamapps/libraryfolders.vdf"
run 0 "old-format library" "$h2" -- --detect
output_is "Steam: $work/lib3/$game" "old-format library"

# Flatpak: the game in Steam's own folder
h3="$work/home3"
place_game "$h3/.var/app/com.valvesoftware.Steam/.local/share/Steam"
run 0 "Flatpak" "$h3" -- --detect
output_is "Steam: $h3/.var/app/com.valvesoftware.Steam/.local/share/Steam/$game" "Flatpak"

# A disc on mounted media, its names in lower case as an ISO 9660 mount shows them; a
# stick without the game beside it.
disc="$work/root/media/tester/MARROWGATE"
mkdir -p "$disc" "$work/root/media/tester/AAA-STICK/data" "$work/root/mnt/empty"
cp -r "$tree/DATA" "$disc/data" && cp -r "$tree/FMV" "$disc/fmv"
mv "$disc/data/CRED1.PCX" "$disc/data/cred1.pcx"
run 0 "Steam and disc" "$h2" -- --detect
output_is "$(printf 'Steam: %s\nDisc: %s' "$work/lib3/$game" "$disc")" "Steam and disc, in order"
cp -a "$prefix" "$h2/.wine"
run 0 "GOG, Steam and disc" "$h2" -- --detect
output_is "$(printf 'GOG: %s\nSteam: %s\nDisc: %s' "$h2/.wine/drive_c/GOG GAMES/ŁÓDŹ MARROWGATE/game.gog" "$work/lib3/$game" "$disc")" \
    "GOG, Steam and disc, in order"
run 0 "import from the first: GOG" "$h2" -- -C "$work/out-first"
contains "$work/err" "Importing from GOG." "import from the first: GOG"
run 0 "import from the chosen: Steam" "$h2" -- --from steam --quiet -C "$work/out-steam"
rm -rf "$h2/.wine" "$work/out-steam"
run 0 "disc only" "$work/empty-home" -- --detect
output_is "Disc: $disc" "disc only"

# Importing: from the first source, then from the chosen one
run 0 "import from Steam" "$h2" -- --quiet -C "$work/out-steam"
diff -r "$tree/DATA" "$work/out-steam/DATA" >/dev/null || fail "import from Steam: DATA differs"
diff -r "$tree/FMV" "$work/out-steam/FMV" >/dev/null || fail "import from Steam: FMV differs"
run 0 "import from the disc" "$h2" -- --from disc -C "$work/out-disc"
contains "$work/err" "Disc: $disc" "import from the disc"
contains "$work/err" "Importing from the disc." "import from the disc"
empty "$work/out" "import from the disc: nothing on stdout"
# Not in the mount table: copied from the folder, subfolders too, names as shown
expected="$(cd "$disc" && { find data -type f | sed 's|^data/|DATA/|'; find fmv -type f | sed 's|^fmv/|FMV/|'; } | sort)"
actual="$(cd "$work/out-disc" && find DATA FMV -type f | sort)"
[ "$expected" = "$actual" ] || fail "import from the disc: files differ: $actual"
cmp -s "$disc/data/cred1.pcx" "$work/out-disc/DATA/cred1.pcx" || fail "import from the disc: content differs"
[ "$(find "$work/out-disc/DATA" -mindepth 1 -type d | wc -l)" -gt 0 ] || fail "import from the disc: no subfolder was copied"
run 13 "--from steam without Steam" "$work/empty-home" -- --from steam -C "$work/none"
[ ! -e "$work/none" ] || fail "--from steam without Steam: wrote something"

# --disc: the disc job's rules
mkdir -p "$work/out-exists/DATA"
run 11 "disc: DATA exists" "$work/empty-home" -- --disc "$disc" -C "$work/out-exists"
contains "$work/err" "$work/out-exists/DATA: cannot write: File exists" "disc: DATA exists"
[ -z "$(ls "$work/out-exists/DATA")" ] && [ ! -e "$work/out-exists/FMV" ] || fail "disc: DATA exists: something was copied"
half="$work/half-disc"; mkdir -p "$half/DATA"; echo c > "$half/DATA/CRED1.PCX"
run 12 "disc: FMV unreadable" "$work/empty-home" -- --disc "$half" -C "$work/out-half"
contains "$work/err" "$half/FMV: cannot read: No such file or directory" "disc: FMV unreadable"
[ -f "$work/out-half/DATA/CRED1.PCX" ] && [ ! -e "$work/out-half/FMV" ] || fail "disc: FMV unreadable: DATA not copied, or FMV made"
bad="$work/bad-disc"; mkdir -p "$bad/DATA" "$bad/FMV"; echo c > "$bad/DATA/CRED1.PCX"
# A file that cannot be read, like a scratched sector: a process's memory file bound over
# it (links on the disc are not followed, so a link would not do).
touch "$bad/DATA/DAMAGED.BIN"
if mount --bind /proc/self/mem "$bad/DATA/DAMAGED.BIN" 2>/dev/null; then
    run 12 "disc: a file that cannot be read" "$work/empty-home" -- --disc "$bad" -C "$work/out-bad"
    umount "$bad/DATA/DAMAGED.BIN"
    contains "$work/err" "$bad/DATA/DAMAGED.BIN: cannot read: " "disc: a file that cannot be read"
    [ -f "$work/out-bad/DATA/CRED1.PCX" ] || fail "disc: a file that cannot be read: the good file is missing"
else
    echo "SKIP: disc: a file that cannot be read: no bind mount here"
fi
ln -s /etc/passwd "$bad/FMV/LINK.AVI"
run 0 "disc: links are not followed" "$work/empty-home" -- --disc "$bad" -C "$work/out-links"
[ ! -e "$work/out-links/FMV/LINK.AVI" ] || fail "disc: a link on the disc was followed"

# A disc found in the mount table (a stand-in for /proc/self/mountinfo): its folder shows
# the lower-case names Linux gives a plain ISO 9660 disc.
lower_copy() {  # lower_copy DEST: the tree's DATA and FMV, every name in lower case
    mkdir -p "$1" && cp -r "$tree/DATA" "$1/data" && cp -r "$tree/FMV" "$1/fmv"
    find "$1" -depth -mindepth 2 | while read -r path; do
        lower="$(dirname "$path")/$(basename "$path" | tr 'A-Z' 'a-z')"
        [ "$path" = "$lower" ] || mv "$path" "$lower"
    done
}
same_as_tree() {  # same_as_tree WHAT DIR: DATA and FMV as the image records them
    diff -r "$tree/DATA" "$1/DATA" >/dev/null && diff -r "$tree/FMV" "$2/FMV" >/dev/null || fail "$3: differs from the disc's tree"
}
mounted="$work/mnt/Marrowgate Disc"
lower_copy "$mounted"
mountinfo() {  # mountinfo TYPE SOURCE: a table with the disc mounted at $mounted
    printf '22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n36 22 7:0 / %s ro,relatime - %s %s ro,check=s,map=n\n' \
        "$(printf '%s' "$mounted" | sed 's/ /\\040/g')" "$1" "$2" > "$work/mountinfo"
}
# The device cannot be read: copied from the folder, the names as the disc records them
mountinfo iso9660 /nonexistent/sr9
MARROWGATE_MOUNTINFO="$work/mountinfo" run 0 "mounted disc, device unreadable" "$work/empty-home" -- --disc "$mounted" -C "$work/out-mnt1"
contains "$work/err" "/nonexistent/sr9: cannot read the disc's device (No such file or directory); copying from $mounted instead" \
    "mounted disc, device unreadable"
same_as_tree "$work/out-mnt1" "$work/out-mnt1" "mounted disc, device unreadable"
# Not an ISO 9660 mount: names as shown
mountinfo ext4 /nonexistent/sdz1
MARROWGATE_MOUNTINFO="$work/mountinfo" run 0 "a mount of another file system" "$work/empty-home" -- --disc "$mounted" -C "$work/out-mnt2"
[ -f "$work/out-mnt2/DATA/cred1.pcx" ] || fail "a mount of another file system: names were changed"
# The device can be read (a loop device): the disc imports as its image does
if device="$(losetup -f --show -r "$testdata/genisoimage.iso" 2>"$work/losetup.err")"; then
    mountinfo iso9660 "$device"
    mkdir -p "$work/out-mnt3/DATA" && echo old > "$work/out-mnt3/DATA/CRED1.PCX"
    MARROWGATE_MOUNTINFO="$work/mountinfo" run 0 "mounted disc read from its device" "$work/empty-home" -- \
        --disc "$mounted" -C "$work/out-mnt3"
    same_as_tree "$work/out-mnt3" "$work/out-mnt3" "mounted disc read from its device (an existing file replaced)"
    mkdir -p "$work/root/media/tester" && ln -s "$mounted" "$work/root/media/tester/DISC"
    MARROWGATE_MOUNTINFO="$work/mountinfo" run 0 "detected disc read from its device" "$work/empty-home" -- \
        --from disc -C "$work/out-mnt4"
    same_as_tree "$work/out-mnt4" "$work/out-mnt4" "detected disc read from its device"
    rm "$work/root/media/tester/DISC"
    losetup -d "$device"
else
    echo "SKIP: a mounted disc read from its device: no loop device ($(cat "$work/losetup.err"))"
fi

# GOG's offline installers in the download folder: ~/Downloads, or where user-dirs.dirs
# says; the newest version first; another game's installer and one without GAME.GOG are
# not listed, and the other game's is refused when named.
ih="$work/installer-home"
mkdir -p "$ih/Downloads" "$ih/.config" "$work/setups"
"$make_installer" 6.0.0 lzma2 no 0 "$image" "$work/setups" || fail "make-installer"
cp "$work/setups/setup_marrowgate_1.0.exe" "$ih/Downloads/setup_marrowgate_1.9.exe"
cp "$work/setups/setup_marrowgate_1.0.exe" "$ih/Downloads/SETUP_MARROWGATE_1.10.EXE"
cp "$work/setups/setup_marrowgate_1.0.exe" "$ih/Downloads/game_1.0.exe"
printf 'not an installer' >"$ih/Downloads/setup_marrowgate_2.0.exe"
run 0 "installers detected" "$ih" -- --detect
printf 'Installer: %s\n  Marrowgate, GOG game ID 1207663463 (Inno Setup Setup Data (6.0.0) (u))\n' \
    "$ih/Downloads/SETUP_MARROWGATE_1.10.EXE" "$ih/Downloads/setup_marrowgate_1.9.exe" >"$work/want"
installers_said() { grep -v '^Disc: ' "$work/out"; }  # the fake media still hold a disc
[ "$(installers_said)" = "$(cat "$work/want")" ] || fail "installers detected: printed '$(installers_said)'"
run 0 "import from the detected installer" "$ih" -- --from installer -C "$work/out-installer"
same_as_tree "$work/out-installer" "$work/out-installer" "import from the detected installer"
mkdir -p "$ih/Elsewhere" && mv "$ih/Downloads/"*.EXE "$ih/Elsewhere/"
printf '# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR="$HOME/Elsewhere"\n' >"$ih/.config/user-dirs.dirs"
HOME="$ih" run 0 "installers in the folder user-dirs.dirs names" "$ih" -- --detect
[ "$(installers_said)" = "Installer: $ih/Elsewhere/SETUP_MARROWGATE_1.10.EXE
  Marrowgate, GOG game ID 1207663463 (Inno Setup Setup Data (6.0.0) (u))" ] ||
    fail "installers in the folder user-dirs.dirs names: printed '$(installers_said)'"
run 13 "--from installer, none there" "$h2" -- --from installer
contains "$work/err" "GOG's installer was not found" "--from installer, none there"

# Usage
run 2 "image and --from" "$h2" -- "$image" --from steam
run 2 "--disc and --list" "$h2" -- --disc "$disc" --list

finish detection
