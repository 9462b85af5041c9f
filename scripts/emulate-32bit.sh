#!/usr/bin/env bash
# Runs COMMAND where 32-bit programs run: natively where the kernel runs them, else through
# qemu-i386-static, registered with binfmt_misc (as mg-qemu-i386) for COMMAND alone and
# removed when it ends, fails or is stopped, so that nothing after it takes this machine
# for one that runs 32-bit programs. Exits 77, saying why, where that cannot be done
# (no root, no binfmt_misc, no emulator).
#   emulate-32bit.sh COMMAND...
#   emulate-32bit.sh --remove-stale     removes the entry a run killed outright left behind
set -uo pipefail
source "$(dirname "$0")/wine-lib.sh"
binfmt=/proc/sys/fs/binfmt_misc
entry="$binfmt/mg-qemu-i386"
emulator=/usr/bin/qemu-i386-static
# i386 ELF executables: the ELF header's class, data, version, type and machine.
rule=':mg-qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$emulator"':F'

remove_entry() { [ -e "$entry" ] && echo -1 >"$entry"; return 0; }
if [ "${1:-}" = --remove-stale ]; then
    [ -e "$entry" ] && echo "emulate-32bit: removing the emulator's entry that a stopped run left" && remove_entry
    exit 0
fi
skip() { echo "SKIP: 32-bit programs cannot be run here: $*"; exit 77; }

runs_32bit_programs && exec "$@"
[ "$(id -u)" -eq 0 ] || skip "registering an emulator with binfmt_misc needs root"
[ -x "$emulator" ] || skip "no $emulator (qemu-user-static)"
mounted=0
if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || skip "binfmt_misc cannot be mounted"
    mounted=1
fi
cleanup() {
    remove_entry
    [ "$mounted" = 1 ] && umount "$binfmt" 2>/dev/null
    return 0
}
trap cleanup EXIT
remove_entry
printf '%s' "$rule" >"$binfmt/register" 2>/dev/null || skip "binfmt_misc refused the emulator's entry"
runs_32bit_programs || { echo "FAIL: 32-bit Wine does not start even emulated: $MG_NO_32BIT"; exit 1; }
echo "emulate-32bit: 32-bit programs run through $emulator until this command ends"
# In the background, so that a stop reaches it at once and the entry still goes.
"$@" &
child=$!
trap 'kill -TERM "$child" 2>/dev/null; wait "$child"; exit 130' INT
trap 'kill -TERM "$child" 2>/dev/null; wait "$child"; exit 143' TERM HUP
wait "$child"
