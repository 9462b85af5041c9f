#!/usr/bin/env bash
# The release as a player gets it. scripts/release.sh runs twice: from this checkout, and
# from a copy of it at another path into another folder; the artifacts must be the same
# bytes, carry the commit's time and no build path. Then the program from the zip passes
# the end-to-end test under Wine, the .deb installs with dpkg, works from where it is
# installed and removes cleanly, and the archive's program works; the x86_64 program and
# its .deb work in a Debian 11 root (glibc 2.31), the aarch64 program under qemu. Where the zip's 32-bit
# program cannot run (WIN_BUILD is the 64-bit twin), the end-to-end test runs on the twin,
# built from the same commit, and says so; test.sh's next stage then runs the zip's two
# programs under emulation (zip-programs-emulated.sh).
#   release-tests.sh NATIVE_BUILD WIN_BUILD   (the test builds: demo image, e2e driver)
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
native="$(cd "$1" && pwd)" win="$(cd "$2" && pwd)"
source "$root/tests/cli/checks.sh"
out="$root/build/release-check"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$native/CMakeCache.txt")"
zip="MarrowgateImporter-$version-win32.zip"
deb="marrowgate-import_${version}_amd64.deb" deb_arm="marrowgate-import_${version}_arm64.deb"
tarball="marrowgate-import-$version-linux-x86_64.tar.gz"
tarball_arm="marrowgate-import-$version-linux-aarch64.tar.gz"
demo="$native/demo/GAME.GOG"

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo -n "$@"; fi; }
imports_demo() {  # imports_demo WHAT COMMAND...: the demo image's DATA and FMV, byte for byte
    local into="$work/import-$1"
    mkdir -p "$into"
    (cd "$into" && "${@:2}" "$demo") || fail "$1: importing the demo image failed"
    diff -r "$root/demo/disc/DATA" "$into/DATA" >/dev/null &&
        diff -r "$root/demo/disc/FMV" "$into/FMV" >/dev/null || fail "$1: the imported files differ"
}

# --- two builds, compared
rm -rf "$out" && mkdir -p "$out"
epoch="$(git -C "$root" log -1 --format=%ct)"
# Without both builds nothing else can be checked.
bash "$root/scripts/release.sh" "$out/a" >"$out/a.log" 2>&1 ||
    { fail "release (a): $(tail -5 "$out/a.log")"; finish release; }
copy="$work/elsewhere/checkout"
mkdir -p "$copy"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar --null -T - -cf -) | tar -x -C "$copy"
SOURCE_DATE_EPOCH="$epoch" bash "$copy/scripts/release.sh" "$out/b" >"$out/b.log" 2>&1 ||
    { fail "release (b): $(tail -5 "$out/b.log")"; finish release; }
dist="$out/a/dist"
[ "$(ls "$dist")" = "$(printf '%s\n' "$zip" SHA256SUMS "$tarball" "$tarball_arm" "$deb" "$deb_arm" | sort)" ] ||
    fail "artifacts: $(ls "$dist")"
for f in "$dist"/*; do
    cmp -s "$f" "$out/b/dist/$(basename "$f")" || fail "$(basename "$f") differs between two builds"
done
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"

# --- what is inside: the files, the commit's time everywhere, no build path
unpacked="$work/unpacked"
mkdir -p "$unpacked/zip" "$unpacked/deb" "$unpacked/deb-arm" "$unpacked/tar"
unzip -q "$dist/$zip" -d "$unpacked/zip" || fail "unzip"
dpkg-deb -x "$dist/$deb" "$unpacked/deb" || fail "dpkg-deb -x"
dpkg-deb -x "$dist/$deb_arm" "$unpacked/deb-arm" || fail "dpkg-deb -x (arm64)"
tar -xzf "$dist/$tarball" -C "$unpacked/tar" || fail "tar -x"
tar -xzf "$dist/$tarball_arm" -C "$unpacked/tar" || fail "tar -x (aarch64)"
exe="$unpacked/zip/MarrowgateImporter-$version/MarrowgateImporter.exe"
cli_exe="$unpacked/zip/MarrowgateImporter-$version/marrowgate-import.exe"
deb_bin="$unpacked/deb/usr/bin/marrowgate-import" deb_arm_bin="$unpacked/deb-arm/usr/bin/marrowgate-import"
tar_bin="$unpacked/tar/${tarball%.tar.gz}/bin/marrowgate-import"
tar_arm_bin="$unpacked/tar/${tarball_arm%.tar.gz}/bin/marrowgate-import"
/usr/bin/python3 "$root/tests/res/check-resources.py" "$exe" "$version" >"$work/out" ||
    fail "resources of the zip's exe: $(cat "$work/out")"
/usr/bin/python3 - "$epoch" "$dist" "$exe" <<'EOF' || fail "timestamps, or symbols left in the exe"
import datetime, io, pathlib, subprocess, sys, tarfile, zipfile
import pefile
epoch, dist, exe = int(sys.argv[1]), pathlib.Path(sys.argv[2]), sys.argv[3]
bad = []
def check(what, when, resolution=1):
    if abs(when - epoch) >= resolution:
        bad.append(f"{what}: {when}, expected {epoch}")
header = pefile.PE(exe, fast_load=True).FILE_HEADER
check("PE header", header.TimeDateStamp)
if header.PointerToSymbolTable or header.NumberOfSymbols:
    bad.append("the exe is not stripped")
for info in zipfile.ZipFile(next(dist.glob("*.zip"))).infolist():
    stamp = datetime.datetime(*info.date_time, tzinfo=datetime.timezone.utc)
    check(f"zip {info.filename}", int(stamp.timestamp()), 2)  # zip keeps even seconds
for tarball in dist.glob("*.tar.gz"):
    for member in tarfile.open(tarball).getmembers():
        check(f"{tarball.name} {member.name}", int(member.mtime))
for deb in dist.glob("*.deb"):
    data = subprocess.run(["dpkg-deb", "--fsys-tarfile", deb], capture_output=True, check=True).stdout
    for member in tarfile.open(fileobj=io.BytesIO(data)).getmembers():
        check(f"{deb.name} {member.name}", int(member.mtime))
    raw, at = deb.read_bytes(), 8  # the ar container: "!<arch>\n", then 60-byte member headers
    while at < len(raw):
        name, size = raw[at:at + 16].decode().strip(), int(raw[at + 48:at + 58])
        check(f"{deb.name} member {name}", int(raw[at + 16:at + 28]))
        at += 60 + size + size % 2
print(*bad, sep="\n")
sys.exit(1 if bad else 0)
EOF
# Each marrowgate-import is static (it needs no library, so the .deb depends on none) and stripped.
for binary in "$deb_bin" "$tar_bin" "$deb_arm_bin" "$tar_arm_bin"; do
    ! readelf -S "$binary" | grep -qE '\.(symtab|debug)' || fail "$binary is not stripped"
    ! readelf -d "$binary" 2>/dev/null | grep -q NEEDED || fail "$binary needs shared libraries"
done
for package in "$deb" "$deb_arm"; do
    ! dpkg-deb -f "$dist/$package" Depends | grep -q . || fail "$package depends on $(dpkg-deb -f "$dist/$package" Depends)"
done
[ "$(dpkg-deb -f "$dist/$deb_arm" Architecture)" = arm64 ] || fail "$deb_arm: not Architecture arm64"
readelf -h "$tar_arm_bin" | grep -q AArch64 || fail "the aarch64 archive's program is not for AArch64"
for binary in "$exe" "$cli_exe" "$deb_bin" "$tar_bin" "$deb_arm_bin" "$tar_arm_bin"; do
    for path in "$root" "$out" "$work"; do
        ! grep -qaF "$path" "$binary" || fail "$(basename "$binary") holds the path $path"
    done
done
cmp -s "$root/release/README.txt" <(tr -d '\r' <"$unpacked/zip/MarrowgateImporter-$version/README.txt") ||
    fail "zip: README.txt is not the player's README"
grep -q $'\r$' "$unpacked/zip/MarrowgateImporter-$version/README.txt" || fail "zip: README.txt lacks Windows line ends"
zcat "$unpacked/deb/usr/share/man/man1/marrowgate-import.1.gz" >"$work/manual"
contains "$work/manual" ".TH MARROWGATE-IMPORT \"1\"" "manual page"
contains "$work/manual" "marrowgate-import $version" "manual page"
contains "$work/manual" "MARROWGATE_MEDIA_ROOT" "manual page"
contains "$work/manual" '.SH "EXIT STATUS"' "manual page"

# --- the program from the zip, end to end under Wine
source "$root/scripts/wine-lib.sh"
if [ "$(pe_bits "$win/MarrowgateImporter.exe")" = 32 ]; then
    MG_E2E_APP="$exe" bash "$root/tests/e2e/e2e.sh" "$win" >"$work/e2e.log" 2>&1 ||
        fail "end-to-end with the zip's program: $(grep FAIL "$work/e2e.log" || tail -5 "$work/e2e.log")"
else
    echo "NOTE: the end-to-end test in full runs on the 64-bit twin ($win); the zip's program runs in the next stage, under emulation"
    bash "$root/tests/e2e/e2e.sh" "$win" >"$work/e2e.log" 2>&1 ||
        fail "end-to-end with the 64-bit twin: $(grep FAIL "$work/e2e.log" || tail -5 "$work/e2e.log")"
fi

# --- the zip's marrowgate-import.exe: a 32-bit console program that needs no DLL beyond
# Windows' own; its suite runs on it where 32-bit programs run, else on the twin's build
/usr/bin/python3 - "$cli_exe" <<'EOF' || fail "the zip's marrowgate-import.exe"
import sys, pefile
pe = pefile.PE(sys.argv[1])
bad = []
if pe.FILE_HEADER.Machine != 0x14c: bad.append(f"machine {pe.FILE_HEADER.Machine:#x}, not i386")
if pe.OPTIONAL_HEADER.Subsystem != 3: bad.append(f"subsystem {pe.OPTIONAL_HEADER.Subsystem}, not the console")
if pe.FILE_HEADER.PointerToSymbolTable or pe.FILE_HEADER.NumberOfSymbols: bad.append("not stripped")
system = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll", "comctl32.dll", "gdi32.dll", "ole32.dll"}
for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
    name = entry.dll.decode().lower()
    if name not in system and not name.startswith("api-ms-win-"): bad.append(f"imports {name}")
print(*bad, sep="\n")
sys.exit(1 if bad else 0)
EOF
if [ "$(pe_bits "$win/MarrowgateImporter.exe")" = 32 ]; then
    bash "$root/tests/cli/windows-cli-tests.sh" "$win" "$cli_exe" >"$work/cli-wine.log" 2>&1 ||
        fail "marrowgate-import.exe from the zip: $(grep FAIL "$work/cli-wine.log" || tail -5 "$work/cli-wine.log")"
else
    echo "NOTE: marrowgate-import.exe's suite in full ran on the 64-bit twin ($win); the zip's runs in the next stage, under emulation"
fi

# --- completions for bash, zsh and fish in the .deb and the archives, as the program writes them
for shell in bash zsh fish; do "$tar_bin" --completion "$shell" >"$work/completion.$shell"; done
for place in "deb:usr/share/bash-completion/completions/marrowgate-import:bash" \
             "deb:usr/share/zsh/vendor-completions/_marrowgate-import:zsh" \
             "deb:usr/share/fish/vendor_completions.d/marrowgate-import.fish:fish" \
             "tar/${tarball%.tar.gz}:share/bash-completion/completions/marrowgate-import:bash" \
             "tar/${tarball%.tar.gz}:share/zsh/site-functions/_marrowgate-import:zsh" \
             "tar/${tarball%.tar.gz}:share/fish/vendor_completions.d/marrowgate-import.fish:fish" \
             "deb-arm:usr/share/bash-completion/completions/marrowgate-import:bash" \
             "tar/${tarball_arm%.tar.gz}:share/fish/vendor_completions.d/marrowgate-import.fish:fish"; do
    IFS=: read -r base file shell <<<"$place"
    cmp -s "$work/completion.$shell" "$unpacked/$base/$file" || fail "$base: $file missing or not the program's $shell completion"
done

# --- the archives' programs: x86_64 here, aarch64 under qemu
expect 0 "archive --version" -- "$tar_bin" --version
contains "$work/out" "marrowgate-import $version" "archive --version"
imports_demo archive "$tar_bin"
expect 0 "aarch64 --version" -- qemu-aarch64-static "$tar_arm_bin" --version
contains "$work/out" "marrowgate-import $version" "aarch64 --version"
imports_demo aarch64 qemu-aarch64-static "$tar_arm_bin"

# --- Debian 11 (glibc 2.31): the x86_64 program imports the demo image, and the .deb
# installs, runs and removes there. The root is made once, in build/bullseye-root.
bullseye="$root/build/bullseye-root"
in_bullseye() { as_root chroot "$bullseye" "$@"; }
if [ "$(id -u)" -ne 0 ] && ! sudo -n true 2>/dev/null; then
    echo "SKIP: the Debian 11 root needs root or sudo (debootstrap, chroot)"
else
    if [ ! -x "$bullseye/bin/sh" ]; then
        mirror="$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)"
        as_root rm -rf "$bullseye"
        as_root debootstrap --variant=minbase bullseye "$bullseye" "${mirror:-http://deb.debian.org/debian}" \
            >"$work/debootstrap.log" 2>&1 || fail "debootstrap bullseye: $(tail -3 "$work/debootstrap.log")"
    fi
    if [ -x "$bullseye/bin/sh" ]; then
        as_root mkdir -p "$bullseye/opt/check"
        as_root cp "$tar_bin" "$demo" "$dist/$deb" "$bullseye/opt/check/"
        as_root rm -rf "$bullseye/opt/check/into" "$work/bullseye-into"
        in_bullseye sh -c 'mkdir /opt/check/into && cd /opt/check/into && /opt/check/marrowgate-import /opt/check/GAME.GOG' \
            >"$work/out" 2>&1 || fail "Debian 11: the x86_64 program failed: $(cat "$work/out")"
        diff -r "$root/demo/disc/DATA" "$bullseye/opt/check/into/DATA" >/dev/null &&
            diff -r "$root/demo/disc/FMV" "$bullseye/opt/check/into/FMV" >/dev/null ||
            fail "Debian 11: the imported files differ"
        in_bullseye dpkg -i "/opt/check/$deb" >"$work/out" 2>&1 || fail "Debian 11: dpkg -i: $(cat "$work/out")"
        in_bullseye marrowgate-import --version >"$work/out" 2>&1 || fail "Debian 11: the installed program failed"
        contains "$work/out" "marrowgate-import $version" "Debian 11: installed --version"
        in_bullseye dpkg -r marrowgate-import >"$work/out" 2>&1 || fail "Debian 11: dpkg -r: $(cat "$work/out")"
        glibc="$(in_bullseye ldd --version 2>&1)"
        [[ "${glibc%%$'\n'*}" == *" 2.31" ]] || fail "the Debian 11 root's glibc is not 2.31: ${glibc%%$'\n'*}"
    fi
fi

# --- the .deb, installed on this machine, used, and removed
if [ "$(id -u)" -ne 0 ] && ! sudo -n true 2>/dev/null; then
    echo "SKIP: installing the .deb needs root or sudo"
elif dpkg-query -W -f='${Status}' marrowgate-import 2>/dev/null | grep -q 'installed'; then
    fail "marrowgate-import is already installed here; remove it to check the package"
else
    trap 'as_root dpkg -r marrowgate-import >/dev/null 2>&1; rm -rf "$work"' EXIT
    expect 0 "dpkg -i" -- as_root dpkg -i "$dist/$deb"
    installed="$(command -v marrowgate-import)"
    [ "$installed" = /usr/bin/marrowgate-import ] || fail "installed at '$installed'"
    expect 0 "installed --version" -- marrowgate-import --version
    contains "$work/out" "marrowgate-import $version" "installed --version"
    expect 0 "installed --help" -- marrowgate-import --help
    contains "$work/out" "Usage: marrowgate-import" "installed --help"
    imports_demo installed /usr/bin/marrowgate-import
    dpkg -L marrowgate-import >"$work/files"
    expect 0 "dpkg -r" -- as_root dpkg -r marrowgate-import
    status="$(dpkg-query -W -f='${db:Status-Status}' marrowgate-import 2>/dev/null)"
    [ "$status" = not-installed ] || [ -z "$status" ] || fail "after dpkg -r the package is '$status'"
    while read -r f; do
        [ -d "$f" ] || [ ! -e "$f" ] || fail "dpkg -r left $f"
    done <"$work/files"
    [ ! -e /usr/share/doc/marrowgate-import ] || fail "dpkg -r left /usr/share/doc/marrowgate-import"
fi

echo "artifacts (two builds, the same bytes):"
(cd "$dist" && stat -c '%9s  %n' -- * && cat SHA256SUMS)
finish release
