#!/usr/bin/python3
"""Reads the resources back from the built MarrowgateImporter.exe and checks them against
what the program is meant to carry: both dialog templates control by control, the About
string, icon 128, the version block, the manifest, the dialog layouts, and the PE header
(machine type, GUI, subsystem 6.0, system DLLs only).  Usage: check-resources.py EXE VERSION
[MACHINE], VERSION being the project's four-part version (1.0.0.1) and MACHINE i386 (the
program we ship, the default) or x86-64 (its 64-bit twin, which carries the same resources)."""
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def expect(actual, expected, what):
    check(actual == expected, f"{what}: {actual!r}, expected {expected!r}")


RT = pefile.RESOURCE_TYPE
pe = pefile.PE(sys.argv[1])
VERSION = sys.argv[2]
MACHINE = sys.argv[3] if len(sys.argv) > 3 else "i386"
MACHINE_TYPES = {"i386": 0x14C, "x86-64": 0x8664}
MANIFEST_ARCHITECTURES = {"i386": "x86", "x86-64": "amd64"}
major, minor, patch, tweak = (int(part) for part in VERSION.split("."))


def resources(type_id):
    """{(id or name, language): bytes} of one resource type."""
    found = {}
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        key = str(entry.name) if entry.name is not None else entry.id
        if key != type_id:
            continue
        for item in entry.directory.entries:
            item_key = str(item.name) if item.name is not None else item.id
            for lang in item.directory.entries:
                data = lang.data.struct
                found[(item_key, lang.id)] = pe.get_data(data.OffsetToData, data.Size)
    return found


def read_sz_or_ord(data, pos):
    first = struct.unpack_from("<H", data, pos)[0]
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


CLASS_ORDINALS = {0x80: "Button", 0x81: "Edit", 0x82: "Static"}


def parse_dialog(data):
    version, signature, _help, exstyle, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
    check((version, signature) == (1, 0xFFFF), "dialog is not an extended template")
    pos = 26
    menu, pos = read_sz_or_ord(data, pos)
    window_class, pos = read_sz_or_ord(data, pos)
    caption, pos = read_sz_or_ord(data, pos)
    points, weight, italic, charset = struct.unpack_from("<HHBB", data, pos)
    face, pos = read_sz_or_ord(data, pos + 6)
    dialog = dict(exstyle=exstyle, style=style, rect=(x, y, cx, cy), menu=menu, window_class=window_class,
                  caption=caption, font=(points, weight, italic, charset, face), controls=[])
    for _ in range(count):
        pos = (pos + 3) & ~3
        _help, c_exstyle, c_style, x, y, cx, cy, c_id = struct.unpack_from("<IIIhhhhi", data, pos)
        pos += 24
        c_class, pos = read_sz_or_ord(data, pos)
        text, pos = read_sz_or_ord(data, pos)
        extra = struct.unpack_from("<H", data, pos)[0]
        pos += 2 + extra
        # Standard classes by ordinal, as resource compilers write them; names match without case.
        c_class = CLASS_ORDINALS.get(c_class, c_class)
        c_class = c_class.lower() if isinstance(c_class, str) else c_class
        dialog["controls"].append((c_id, c_class, text, c_style, c_exstyle, (x, y, cx, cy)))
    return dialog


def check_dialog(number, expected_head, expected_controls):
    templates = resources(RT["RT_DIALOG"])
    check((number, 1033) in templates, f"dialog {number} (language 1033) missing")
    if (number, 1033) not in templates:
        return
    dialog = parse_dialog(templates[(number, 1033)])
    for key, value in expected_head.items():
        expect(dialog[key], value, f"dialog {number} {key}")
    expect(len(dialog["controls"]), len(expected_controls), f"dialog {number} control count")
    for index, (actual, wanted) in enumerate(zip(dialog["controls"], expected_controls)):
        expect(actual, wanted, f"dialog {number} control {index + 1}")


FONT = (8, 0, 0, 1, "MS Shell Dlg")
R, E, S = "button", "edit", "static"
check_dialog(102, dict(style=0x90CC0048, exstyle=0x00040000, rect=(0, 0, 321, 130), menu="", window_class="",
                       caption="Marrowgate Importer", font=FONT), [
    (1, R, "Done", 0x50010001, 0, (137, 109, 50, 14)),
    (1000, E, "", 0x50010881, 0x00020000, (7, 7, 307, 12)),
    (-1, S, "Install from GoG:", 0x50020002, 0, (7, 39, 88, 8)),
    (1007, "msctls_progress32", "", 0x50800008, 0, (102, 37, 121, 12)),
    (1002, R, "Install", 0x50010000, 0, (247, 36, 50, 14)),
    (-1, S, "Install from Steam:", 0x50020002, 0, (7, 60, 88, 8)),
    (1008, "msctls_progress32", "", 0x50800008, 0, (102, 58, 121, 12)),
    (1004, R, "Install", 0x50010000, 0, (247, 57, 50, 14)),
    (-1, S, "Install from CD:", 0x50020002, 0, (7, 81, 88, 8)),
    (1009, "msctls_progress32", "", 0x50800008, 0, (102, 79, 121, 12)),
    (1006, R, "Install", 0x50010000, 0, (247, 78, 50, 14)),
])
about = resources(RT["RT_DIALOG"]).get((100, 1033))
about_controls = parse_dialog(about)["controls"] if about else []
rights = about_controls[2][2] if len(about_controls) > 2 else ""
thanks = about_controls[4][2] if len(about_controls) > 4 else ""
check(rights and thanks, "About: the rights notice and the acknowledgement line must not be empty")
check_dialog(100, dict(style=0x80C800C8, exstyle=0, rect=(0, 0, 343, 74), menu="", window_class="",
                       caption="About Marrowgate Importer", font=FONT), [
    (-1, S, 128, 0x50000003, 0, (14, 14, 21, 20)),
    (-1, S, f"Marrowgate Importer, Version {major}.{minor}", 0x50020080, 0, (42, 14, 128, 8)),
    (-1, S, rights, 0x50020000, 0, (42, 26, 167, 8)),
    (1, R, "OK", 0x50030001, 0, (286, 53, 50, 14)),
    (-1, S, thanks, 0x50020000, 0, (42, 37, 295, 8)),
])

# String 101: block 7 (ids 96 to 111), entry 5.
strings = resources(RT["RT_STRING"])
block = strings.get((101 // 16 + 1, 1033), b"")
pos, entries = 0, []
while pos < len(block):
    length = struct.unpack_from("<H", block, pos)[0]
    entries.append(block[pos + 2:pos + 2 + 2 * length].decode("utf-16-le"))
    pos += 2 + 2 * length
expect(entries[101 % 16] if len(entries) > 5 else None, "&About Marrowgate Importer...", "string 101")
expect(sum(1 for e in entries if e), 1, "strings of our own")

# Icon group 128 (English, United Kingdom): one 32 x 32 image of 32 bits, 4264 bytes.
groups = resources(RT["RT_GROUP_ICON"])
expect(sorted(groups), [(128, 2057)], "icon groups")
if (128, 2057) in groups:
    reserved, kind, count = struct.unpack_from("<HHH", groups[(128, 2057)], 0)
    expect((kind, count), (1, 1), "icon group 128 header")
    width, height, colours, _r, planes, bits, size, image_id = struct.unpack_from("<BBBBHHIH", groups[(128, 2057)], 6)
    expect((width, height, bits, size), (32, 32, 32, 4264), "icon 128 image")
    expect(len(resources(RT["RT_ICON"]).get((image_id, 2057), b"")), 4264, "icon image bytes")

# Version block.
pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
expect(sorted(resources(RT["RT_VERSION"])), [(1, 1033)], "version block")
fixed = pe.VS_FIXEDFILEINFO[0]
expect((fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS),
       ((major << 16) | minor, (patch << 16) | tweak) * 2, f"file and product version {VERSION}")
expect((fixed.FileFlagsMask, fixed.FileFlags, fixed.FileOS, fixed.FileType, fixed.FileSubtype),
       (0x3F, 0, 0x40004, 1, 0), "version flags, OS, type")
values = {}
for info in pe.FileInfo[0]:
    if info.Key == b"StringFileInfo":
        for table in info.StringTable:
            expect(table.LangID, b"040904b0", "string table key")
            values.update({k.decode(): v.decode() for k, v in table.entries.items()})
    if info.Key == b"VarFileInfo":
        expect(info.Var[0].entry, {b"Translation": "0x0409 0x04b0"}, "translation")
for key, value in {"FileDescription": "Marrowgate Importer", "FileVersion": VERSION,
                   "InternalName": "MarrowgateImporter.exe", "OriginalFilename": "MarrowgateImporter.exe",
                   "ProductName": "Marrowgate Importer", "ProductVersion": VERSION}.items():
    expect(values.get(key), value, f"version string {key}")
check(values.get("CompanyName") and values.get("LegalCopyright"), "version: company and rights strings")

# Manifest: common controls 6.0 for the program's processor (x86 for what ships), asInvoker, dpiAware.
manifests = resources(RT["RT_MANIFEST"])
expect(sorted(manifests), [(1, 1033)], "manifest")
if (1, 1033) in manifests:
    root = ET.fromstring(manifests[(1, 1033)])
    ns = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3",
          "ws": "http://schemas.microsoft.com/SMI/2005/WindowsSettings"}
    identity = root.find("v1:dependency/v1:dependentAssembly/v1:assemblyIdentity", ns)
    expect(identity is not None and dict(identity.attrib), {
        "type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
        "processorArchitecture": MANIFEST_ARCHITECTURES.get(MACHINE), "publicKeyToken": "6595b64144ccf1df", "language": "*"}, "common controls")
    level = root.find("v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel", ns)
    expect(level is not None and dict(level.attrib), {"level": "asInvoker", "uiAccess": "false"}, "execution level")
    dpi = root.find("v3:application/v3:windowsSettings/ws:dpiAware", ns)
    expect(dpi is not None and dpi.text, "true", "dpiAware")

# Dialog layouts: a version word of 0, no entries.
layouts = resources("AFX_DIALOG_LAYOUT")
for number in (102, 100):
    expect(layouts.get((number, 1033)), b"\0\0", f"AFX_DIALOG_LAYOUT {number}")

# The executable: its machine type, GUI subsystem 6.0, nothing but system DLLs.
expect(pe.FILE_HEADER.Machine, MACHINE_TYPES.get(MACHINE), f"machine ({MACHINE})")
expect(pe.OPTIONAL_HEADER.Subsystem, 2, "subsystem (Windows GUI)")
expect((pe.OPTIONAL_HEADER.MajorSubsystemVersion, pe.OPTIONAL_HEADER.MinorSubsystemVersion), (6, 0), "subsystem version")
imports = sorted(entry.dll.decode().upper() for entry in pe.DIRECTORY_ENTRY_IMPORT)
system = {"ADVAPI32.DLL", "COMCTL32.DLL", "GDI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL"}
check(set(imports) <= system, f"imports beyond the system's DLLs: {imports}")

for failure in failures:
    print("FAIL:", failure)
print("resources: all checks passed" if not failures else f"resources: {len(failures)} failures")
sys.exit(1 if failures else 0)
