// GOG's offline installers: Inno Setup's setup program, its setup data in the .exe, and
// its files' data in the .exe or in .bin slices beside it ("idska32\x1a", then the slice's
// size). An installer is told from its data: the loader table in the .exe's resources,
// or a slice's signature (then its .exe is the one of the slice's name before "-1.bin").
// GAME.GOG is read out of it as it is decompressed, as a bare image is read.
#include <cstring>

#include "ChunkStream.h"
#include "HeaderStream.h"
#include "Installer.h"
#include "InstallerSource.h"
#include "StoredFile.h"
#include "SetupInfo.h"
#include "disc/containers/Container.h"
#include "disc/containers/Sheet.h"
#include "text/Utf8.h"

namespace {

constexpr char kSliceSignature[] = "idska32\x1a";
constexpr size_t kSliceHeader = 12;

bool IsSlice(const std::string& first) { return first.compare(0, sizeof kSliceSignature - 1, kSliceSignature) == 0; }

bool LooksLikeInstaller(const FileHead& head) {
    if (IsSlice(head.first)) return true;
    if (head.first.compare(0, 2, "MZ") != 0) return false;
    SetupLoader loader;
    std::string why;
    return FindSetupLoader(*head.source, head.size, loader, why);
}

// "setup_marrowgate_1.0-2.bin" -> "setup_marrowgate_1.0.exe"; "" when the name is no slice's.
std::string ExeOfSlice(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t dash = path.rfind('-');
    if (dot == std::string::npos || dash == std::string::npos || dash > dot) return {};
    for (size_t i = dash + 1; i < dot; ++i) {
        const char c = path[i];
        if (!((c >= '0' && c <= '9') || (i + 1 == dot && c >= 'a' && c <= 'z' && i > dash + 1))) return {};
    }
    return dot == dash + 1 ? std::string() : path.substr(0, dash) + ".exe";
}

// The slice files' names: "-1.bin", "-2.bin", ... or, with several slices a disk,
// "-1a.bin", "-1b.bin", ...
std::string SliceName(const std::string& exe, uint32_t slice, uint32_t slicesPerDisk) {
    const size_t dot = exe.rfind('.');
    std::string name = (dot == std::string::npos ? exe : exe.substr(0, dot)) + '-';
    if (slicesPerDisk <= 1) {
        name += std::to_string(slice + 1);
    } else {
        name += std::to_string(slice / slicesPerDisk + 1) + static_cast<char>('a' + slice % slicesPerDisk);
    }
    return name + ".bin";
}

bool IsGameImage(const SetupFile& file) { return FoldCaseUtf8(file.destination) == "{APP}\\GAME.GOG"; }

// No CD holds more than 100 minutes of sectors of 2448 bytes (raw, with subchannel): a
// larger GAME.GOG is a claim, not a disc, and is not decompressed to find that out.
constexpr uint64_t kLargestImage = uint64_t{100} * 60 * 75 * 2448;
constexpr uint64_t kLargestSkip = 4 * kLargestImage;

// Whether the chunk's stored bytes are there, from where it starts to the data's end.
bool ChunkFits(const InstallerData& data, const SetupDataEntry& entry) {
    uint64_t room = 0;
    for (size_t slice = entry.firstSlice; slice <= entry.lastSlice && slice < data.slices.size(); ++slice) {
        const uint64_t from = slice == entry.firstSlice ? data.start + entry.chunkOffset : kSliceHeader;
        if (from > data.slices[slice].end) return false;
        room += data.slices[slice].end - from;
    }
    return room >= 4 && room - 4 >= entry.chunkSize;
}

// The arguments of GOG's install script call `name` (or `name`_dependency) in `code`, as
// its installers write them: before_install('<md5>', '<file name>', <parts>) begins a file
// stored in parts, after_install('<md5>', <stored size>, <size>) marks each part. Strings
// in single quotes ('' for a quote), other arguments as they stand; none when `code` is no
// such call.
std::vector<std::string> CallArguments(const std::string& code, const std::string& name) {
    std::vector<std::string> arguments;
    size_t at = code.find_first_not_of(" \t\r\n");
    if (at == std::string::npos) return {};
    for (const std::string& called : {name + "_dependency", name}) {
        if (code.compare(at, called.size(), called) == 0) {
            at += called.size();
            break;
        }
        if (&called == &name) return {};
    }
    at = code.find_first_not_of(" \t", at);
    if (at == std::string::npos || code[at] != '(') return {};
    for (++at; at < code.size();) {
        at = code.find_first_not_of(" \t", at);
        if (at == std::string::npos) return {};
        std::string argument;
        if (code[at] == '\'') {
            for (++at; at < code.size(); ++at) {
                if (code[at] != '\'') argument += code[at];
                else if (at + 1 < code.size() && code[at + 1] == '\'') argument += code[++at];
                else break;
            }
            ++at;
        } else {
            const size_t end = code.find_first_of(",) \t", at);
            if (end == std::string::npos) return {};
            argument = code.substr(at, end - at);
            at = end;
        }
        arguments.push_back(argument);
        at = code.find_first_not_of(" \t", at);
        if (at == std::string::npos) return {};
        if (code[at] == ')') return arguments;
        if (code[at] != ',') return {};
        ++at;
    }
    return {};
}

bool Number(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoull(text);
    return true;
}

std::string Md5FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; hex.size() == 32 && i < 32; i += 2) {
        const auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
        if (digit(hex[i]) < 0 || digit(hex[i + 1]) < 0) return {};
        bytes += static_cast<char>(digit(hex[i]) << 4 | digit(hex[i + 1]));
    }
    return bytes;
}

bool NamesGameImage(const std::string& name) {
    const size_t slash = name.find_last_of("\\/");
    return FoldCaseUtf8(slash == std::string::npos ? name : name.substr(slash + 1)) == "GAME.GOG";
}

// GAME.GOG as the installer stores it: the entry for {app}\GAME.GOG, or GOG's parts that
// the call beginning them names GAME.GOG. False with `why` when a file of parts breaks off.
bool FindGameImage(const SetupInfo& info, StoredFile& image, std::string& why) {
    StoredFile parts;
    std::string partsName;
    uint64_t partsLeft = 0;
    for (const SetupFile& file : info.files) {
        if (file.location >= info.data.size()) continue;
        const SetupDataEntry& entry = info.data[file.location];
        const std::vector<std::string> begins = CallArguments(file.beforeInstall, "before_install");
        if (begins.size() >= 3) {
            parts = StoredFile{};
            parts.inParts = true;
            parts.md5 = Md5FromHex(begins[0]);
            partsName = begins[1];
            if (!Number(begins[2], partsLeft) || partsLeft == 0 || partsLeft > 4096) partsLeft = 0;
        }
        const std::vector<std::string> part = CallArguments(file.afterInstall, "after_install");
        uint64_t size = 0;
        if (partsLeft > 0 && part.size() >= 3 && Number(part[2], size)) {
            parts.parts.push_back({entry, size});
            if (--partsLeft == 0 && NamesGameImage(partsName)) {
                if (parts.md5.size() != 16) {
                    why = "GAME.GOG is stored in parts, but the MD5 of the whole is not one";
                    return false;
                }
                image = parts;
                return true;
            }
        } else if (IsGameImage(file)) {
            image.parts.push_back({entry, entry.fileSize});
            return true;
        }
    }
    if (partsLeft > 0 && NamesGameImage(partsName)) {
        why = "GAME.GOG is stored in parts, and " + std::to_string(partsLeft) + " of them are not there";
        return false;
    }
    return false;
}

struct Installer {
    SetupDataVersion version;
    SetupInfo info;
    SetupLoader loader;
};

bool ReadInstaller(FileHead& exe, Installer& installer, std::string& why) {
    if (!FindSetupLoader(*exe.source, exe.size, installer.loader, why) ||
        !ReadSetupDataVersion(*exe.source, installer.loader.setupData, installer.version, why)) {
        why = "an Inno Setup installer whose setup data cannot be found: " + why;
        return false;
    }
    std::string header, locations;
    uint64_t next = 0;
    if (!SupportedVersion(installer.version)) {
        // Its name, where it can be read, tells the player which installer this is.
        const bool named = ReadHeaderStream(*exe.source, exe.size, uint64_t{installer.loader.setupData} + 64, header, next, why);
        const std::string name = named ? AppNameOf(header, installer.version.unicode) : std::string();
        why = "an Inno Setup installer" + (name.empty() ? std::string() : " for " + name) + " whose setup data version is not read (" +
              installer.version.id + "; 5.5.0 to 6.4 are)";
        return false;
    }
    if (!ReadHeaderStream(*exe.source, exe.size, uint64_t{installer.loader.setupData} + 64, header, next, why) ||
        !ReadHeaderStream(*exe.source, exe.size, next, locations, next, why) ||
        !ReadSetupInfo(header, locations, installer.version, installer.info, why)) {
        why = "an Inno Setup installer (" + installer.version.id + ") that cannot be read: " + why;
        return false;
    }
    return true;
}

// The .exe an installer's named file belongs to: itself, or the one of a slice's name.
bool OpenExe(const FileHead& head, DiscFiles& files, FileHead& exe, DiscProblem& problem) {
    if (!IsSlice(head.first)) {
        exe = head;
        return true;
    }
    const std::string path = ExeOfSlice(head.path);
    if (path.empty() || !files.Open(path, exe, problem))
        return Refuse(problem, head.path,
                      "a slice of an Inno Setup installer whose .exe is not beside it" +
                          (path.empty() ? std::string() : " (looked for " + path + ")"));
    if (!LooksLikeInstaller(exe) || IsSlice(exe.first)) return Refuse(problem, path, "not the installer of its slice " + head.path);
    return true;
}

// Opens what holds `entry`'s chunk, beside what `data` holds already: the .exe, or the
// slices from its first to its last.
bool OpenData(const FileHead& exe, const Installer& installer, const SetupDataEntry& entry, DiscFiles& files,
              InstallerData& data, DiscProblem& problem) {
    if (installer.loader.fileData != 0) {
        if (data.slices.empty()) data.slices.push_back({exe.source, exe.size, exe.path});
        data.start = installer.loader.fileData;
        return true;
    }
    if (entry.lastSlice < entry.firstSlice || entry.lastSlice > 4096)
        return Refuse(problem, exe.path, "a file's data lies in slices " + std::to_string(entry.firstSlice + 1) + " to " +
                                             std::to_string(entry.lastSlice + 1));
    if (data.slices.size() <= entry.lastSlice) data.slices.resize(entry.lastSlice + 1);  // unopened: never read
    for (uint32_t slice = entry.firstSlice; slice <= entry.lastSlice; ++slice) {
        if (data.slices[slice].source) continue;
        FileHead head;
        const std::string path = SliceName(exe.path, slice, installer.info.slicesPerDisk);
        if (!files.Open(path, head, problem)) {
            problem.detail = "a slice of the installer " + exe.path + " is missing";
            return false;
        }
        const auto byte = [&](size_t i) { return uint64_t{static_cast<unsigned char>(head.first[i])}; };
        const uint64_t end = head.first.size() >= kSliceHeader ? byte(8) | byte(9) << 8 | byte(10) << 16 | byte(11) << 24 : 0;
        if (!IsSlice(head.first) || end < kSliceHeader || end > head.size)
            return Refuse(problem, path, IsSlice(head.first) ? "a slice whose recorded size (" + std::to_string(end) +
                                                                   " bytes) does not fit the file (" + std::to_string(head.size) + ")"
                                                             : "no slice of an Inno Setup installer (no \"idska32\" signature)");
        data.slices[slice] = {head.source, end, path};
    }
    return true;
}

bool ReadGameImage(const FileHead& head, DiscFiles& files, DiscLayout& layout, DiscProblem& problem) {
    FileHead exe;
    if (!OpenExe(head, files, exe, problem)) return false;
    Installer installer;
    std::string why;
    if (!ReadInstaller(exe, installer, why)) return Refuse(problem, exe.path, why);
    const SetupInfo& info = installer.info;
    const std::string forApp = "an Inno Setup installer for " + (info.appName.empty() ? std::string("an unnamed game") : info.appName);
    StoredFile stored;
    if (!FindGameImage(info, stored, why)) return Refuse(problem, exe.path, forApp + (why.empty() ? " without GAME.GOG" : ": " + why));
    if (info.passwordProtected) return Refuse(problem, exe.path, "a password-protected installer (" + forApp + ")");
    if (stored.Size() > kLargestImage)
        return Refuse(problem, exe.path, forApp + ": its GAME.GOG claims " + std::to_string(stored.Size() >> 20) + " MiB, more than a CD holds");
    auto data = std::make_shared<InstallerData>();
    for (const StoredFile::Part& part : stored.parts) {
        const SetupDataEntry& entry = part.entry;
        if (entry.encrypted) return Refuse(problem, exe.path, "a password-protected installer (" + forApp + ")");
        if (part.size > kLargestImage)
            return Refuse(problem, exe.path, forApp + ": its GAME.GOG claims " + std::to_string(part.size >> 20) + " MiB, more than a CD holds");
        // Before GAME.GOG in a solid chunk lie the files before it: a few, not gigabytes.
        if (entry.fileOffset > kLargestSkip || (!entry.compressed && (entry.fileOffset > entry.chunkSize ||
                                                                      entry.fileSize > entry.chunkSize - entry.fileOffset)))
            return Refuse(problem, exe.path, forApp + ": its GAME.GOG lies past the end of its chunk");
        if (entry.compressed && !CanDecompress(info.compression))
            return Refuse(problem, exe.path, forApp + ": its data is compressed in a way this build does not read");
        if (!OpenData(exe, installer, entry, files, *data, problem)) return false;
        if (!ChunkFits(*data, entry))
            return Refuse(problem, exe.path,
                          forApp + ": GAME.GOG's chunk claims " + std::to_string(entry.chunkSize) + " bytes, more than the installer holds");
    }

    // GAME.GOG read as a bare image is: its layout told from where its volume descriptor stands.
    FileHead game;
    game.path = exe.path;
    game.source = std::make_shared<InstallerSource>(data, stored, info.compression, "GAME.GOG");
    game.size = stored.Size();
    game.first.resize(static_cast<size_t>(std::min<uint64_t>(kHeadBytes, game.size)));
    game.first.resize(game.source->ReadAt(0, &game.first[0], game.first.size()));
    if (game.first.size() < std::min<uint64_t>(kHeadBytes, game.size))
        return Refuse(problem, exe.path, forApp + ": " + game.source->Fault());
    return kBareImage.read(game, files, layout, problem);
}

}  // namespace

const ContainerFormat kInnoSetup = {"an Inno Setup installer", LooksLikeInstaller, nullptr, ".exe", ReadGameImage};

bool DescribeInstaller(const std::string& path, InstallerFacts& facts, std::string& why) {
    DiscFiles files;
    FileHead head, exe;
    DiscProblem problem;
    if (!files.Open(path, head, problem)) {
        why = problem.detail.empty() ? "it cannot be opened" : problem.detail;
        return false;
    }
    if (!LooksLikeInstaller(head)) {
        why = "no Inno Setup installer";
        return false;
    }
    if (!OpenExe(head, files, exe, problem)) {
        why = problem.detail;
        return false;
    }
    Installer installer;
    if (!ReadInstaller(exe, installer, why)) return false;
    facts.appName = installer.info.appName;
    facts.gogGameId = installer.info.gogGameId;
    facts.version = installer.version.id;
    StoredFile image;
    facts.holdsGameImage = FindGameImage(installer.info, image, why);
    return true;
}
