// The setup header is a run of Delphi records: strings as a 32-bit byte count and their
// bytes (UTF-16LE in a Unicode installer), integers little-endian, enumerations in one
// byte, sets in as many bytes as their members need (three bytes padded to four). Which
// fields there are depends on the setup data version; the thresholds below are the
// versions that added or dropped each.
#include "SetupInfo.h"

#include "disc/LittleEndian.h"
#include "text/Utf8.h"

namespace {

// The header's fields read one after another; the first read past the end spoils it.
class Fields {
public:
    explicit Fields(const std::string& bytes) : m_bytes(bytes) {}

    bool ok() const { return m_ok; }
    bool AtEnd() const { return m_at == m_bytes.size(); }
    size_t Left() const { return m_bytes.size() - m_at; }

    void Skip(size_t count) {
        if (!m_ok || count > Left()) {
            m_ok = false;
            return;
        }
        m_at += count;
    }
    uint64_t Number(int size) {
        const size_t at = m_at;
        Skip(static_cast<size_t>(size));
        if (!m_ok) return 0;
        uint64_t value = 0;
        for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(m_bytes[at + static_cast<size_t>(i)]);
        return value;
    }
    uint32_t U32() { return static_cast<uint32_t>(Number(4)); }
    uint64_t U64() { return Number(8); }
    std::string Bytes() {
        const uint32_t length = U32();
        const size_t at = m_at;
        Skip(length);
        return m_ok ? m_bytes.substr(at, length) : std::string();
    }
    void SkipStrings(int count) {
        for (int i = 0; i < count && m_ok; ++i) Skip(U32());
    }
    // A set of `members` flags; bit `bit` of it.
    std::vector<bool> Set(int members) {
        const size_t bytes = static_cast<size_t>((members + 7) / 8);
        std::vector<bool> bits(static_cast<size_t>(members));
        const size_t at = m_at;
        Skip(bytes == 3 ? 4 : bytes);
        if (!m_ok) return bits;
        for (size_t i = 0; i < bits.size(); ++i) bits[i] = (static_cast<unsigned char>(m_bytes[at + i / 8]) >> (i % 8)) & 1;
        return bits;
    }

private:
    const std::string& m_bytes;
    size_t m_at = 0;
    bool m_ok = true;
};

// The lowest and the first excluded Windows versions: each Windows, NT and service pack.
constexpr size_t kWindowsVersions = 2 * (4 + 4 + 2);

struct Reading {
    uint32_t version;
    bool unicode;
    Fields& fields;

    bool AtLeast(int major, int minor, int patch, int build = 0) const { return version >= InnoVersion(major, minor, patch, build); }

    std::string Text() {
        const std::string raw = fields.Bytes();
        if (!unicode) return raw;  // ANSI: the names that matter here are ASCII
        std::wstring wide;
        for (size_t i = 0; i + 1 < raw.size(); i += 2)
            wide += static_cast<wchar_t>(static_cast<unsigned char>(raw[i]) | static_cast<unsigned char>(raw[i + 1]) << 8);
        return NarrowToUtf8(wide);
    }
    // Components, tasks, languages, check, after and before install: every item's conditions.
    void Conditions(std::string* afterInstall = nullptr, std::string* beforeInstall = nullptr) {
        fields.SkipStrings(4);
        const std::string after = Text(), before = Text();
        if (afterInstall) *afterInstall = after;
        if (beforeInstall) *beforeInstall = before;
    }
};

struct Counts {
    uint32_t languages, messages, permissions, types, components, tasks;
    uint32_t directories, files, data, icons, inis, registry;
};

// The flags of the setup header, in order, as far as the versions read here go: where
// the password and encryption flags are, and how many there are.
struct HeaderFlags {
    int count = 0;
    int password = -1;
    int encryptionUsed = -1;
};

HeaderFlags HeaderFlagsOf(const Reading& r) {
    HeaderFlags flags;
    auto add = [&](bool present) { return present ? flags.count++ : -1; };
    const bool windowFlags = r.version < InnoVersion(6, 4, 0, 1);
    add(true), add(true), add(true), add(true), add(true);  // DisableStartupPrompt .. AlwaysUsePersonalGroup
    for (int i = 0; i < 4; ++i) add(windowFlags);           // WindowVisible .. WindowStartMaximized
    add(true);                                              // EnableDirDoesntExistWarning
    flags.password = add(true);
    add(true), add(true);                                   // AllowRootDirectory, DisableFinishedPage
    add(!r.AtLeast(5, 6, 1));                               // ChangesAssociations
    add(true);                                              // UsePreviousAppDir
    add(windowFlags);                                       // BackColorHorizontal
    for (int i = 0; i < 11; ++i) add(true);                 // UsePreviousGroup .. AlwaysShowGroupOnReadyPage
    for (int i = 0; i < 10; ++i) add(true);                 // AllowUNCPath .. AppendDefaultGroupName
    flags.encryptionUsed = add(true);
    add(!r.AtLeast(5, 6, 1));                               // ChangesEnvironment
    add(!r.unicode);                                        // ShowUndisplayableLanguages
    for (int i = 0; i < 7; ++i) add(true);                  // SetupLogging .. AllowNetworkDrive
    add(r.AtLeast(5, 5, 7));                                // ForceCloseApplications
    for (int i = 0; i < 3; ++i) add(r.AtLeast(6, 0, 0));    // AppNameHasConsts, UsePreviousPrivileges, WizardResizable
    add(r.AtLeast(6, 3, 0));                                // UninstallLogging
    return flags;
}

bool ReadSetupHeader(Reading& r, SetupInfo& info, Counts& counts) {
    Fields& f = r.fields;
    info.appName = r.Text();
    f.SkipStrings(26);  // versioned name .. close applications filter
    if (r.AtLeast(5, 5, 6)) f.SkipStrings(1);  // setup mutex
    if (r.AtLeast(5, 6, 1)) f.SkipStrings(2);  // changes environment, associations
    if (r.AtLeast(6, 3, 0)) f.SkipStrings(2);  // architecture expressions
    f.SkipStrings(4);                          // license, info before, info after, compiled code
    if (!r.unicode) f.Skip(32);                // lead bytes
    uint32_t* all[] = {&counts.languages, &counts.messages, &counts.permissions, &counts.types,
                       &counts.components, &counts.tasks, &counts.directories, &counts.files,
                       &counts.data, &counts.icons, &counts.inis, &counts.registry};
    for (uint32_t* count : all) *count = f.U32();
    f.Skip(4 * 4);  // delete, uninstall delete, run and uninstall run entries: after what is read here
    f.Skip(kWindowsVersions);
    if (r.version < InnoVersion(6, 4, 0, 1)) f.Skip(8);  // back colours
    if (!r.AtLeast(5, 5, 7)) f.Skip(4);                  // image back colour
    if (r.AtLeast(6, 0, 0)) f.Skip(1 + 4 + 4);           // wizard style and size
    if (r.AtLeast(5, 5, 7)) f.Skip(1);                   // image alpha format
    f.Skip(r.AtLeast(6, 4, 0) ? 4 + 44 : 20 + 8);        // password hash and salt
    f.Skip(8);                                           // extra disk space
    info.slicesPerDisk = f.U32();
    f.Skip(3);                                           // uninstall log mode, dir exists warning, privileges
    if (r.AtLeast(5, 7, 0)) f.Skip(1);                   // privileges override
    f.Skip(2);                                           // language dialog, detection
    const unsigned compression = static_cast<unsigned>(f.Number(1));
    if (!r.AtLeast(6, 3, 0)) f.Skip(2);                  // architectures
    f.Skip(2 + 8);                                       // dir and group pages, uninstall display size
    const HeaderFlags layout = HeaderFlagsOf(r);
    const std::vector<bool> flags = f.Set(layout.count);
    if (!f.ok()) return false;
    info.passwordProtected = flags[static_cast<size_t>(layout.password)] || flags[static_cast<size_t>(layout.encryptionUsed)];
    if (compression > 4) return false;
    info.compression = static_cast<ChunkCompression>(compression);
    return true;
}

void SkipLanguage(Reading& r) {
    r.fields.SkipStrings(10);
    r.fields.Skip(4 + (r.unicode ? 0 : 4) + 4 * 4 + 1);
}

void SkipMessage(Reading& r) { r.fields.SkipStrings(2), r.fields.Skip(4); }
void SkipPermission(Reading& r) { r.fields.SkipStrings(1); }
void SkipType(Reading& r) { r.fields.SkipStrings(4), r.fields.Skip(kWindowsVersions + 1 + 1 + 8); }
void SkipComponent(Reading& r) { r.fields.SkipStrings(5), r.fields.Skip(8 + 4 + 1 + kWindowsVersions + 1 + 8); }
void SkipTask(Reading& r) { r.fields.SkipStrings(6), r.fields.Skip(4 + 1 + kWindowsVersions + 1); }

void SkipDirectory(Reading& r) {
    r.fields.SkipStrings(1);
    r.Conditions();
    r.fields.Skip(4 + kWindowsVersions + 2 + 1);
}

SetupFile ReadFile(Reading& r) {
    SetupFile file;
    r.fields.SkipStrings(1);  // source
    file.destination = r.Text();
    r.fields.SkipStrings(2);  // font name, strong assembly name
    r.Conditions(&file.afterInstall, &file.beforeInstall);
    r.fields.Skip(kWindowsVersions);
    file.location = r.fields.U32();
    r.fields.Skip(4 + 8 + 2 + 4 + 1);  // attributes, external size, permission, flags, type
    return file;
}

void SkipIcon(Reading& r) {
    r.fields.SkipStrings(6);
    r.Conditions();
    r.fields.SkipStrings(1);                        // app user model ID
    if (r.AtLeast(6, 1, 0)) r.fields.Skip(16);      // its toast activator's CLSID
    r.fields.Skip(kWindowsVersions + 4 + 4 + 1 + 2 + 1);
}

void SkipIni(Reading& r) {
    r.fields.SkipStrings(4);
    r.Conditions();
    r.fields.Skip(kWindowsVersions + 1);
}

// GOG's installers write HKLM\SOFTWARE\GOG.com\Games\<id>, its value gameID the ID again.
void ReadRegistryEntry(Reading& r, std::string& gogGameId) {
    const std::string key = r.Text(), name = r.Text(), value = r.Text();
    r.Conditions();
    r.fields.Skip(kWindowsVersions + 4 + 2 + 1 + 2);  // hive, permission, type, flags
    constexpr char kGames[] = "SOFTWARE\\GOG.COM\\GAMES\\";
    const std::string folded = FoldCaseUtf8(key);
    if (folded.compare(0, sizeof kGames - 1, kGames) != 0 || folded.find('\\', sizeof kGames - 1) != std::string::npos) return;
    if (FoldCaseUtf8(name) == "GAMEID") {
        gogGameId = value;
    } else if (gogGameId.empty()) {
        gogGameId = key.substr(sizeof kGames - 1);
    }
}

template <typename Visit>
bool Each(Reading& r, uint32_t count, Visit visit) {
    // Every entry takes at least a byte: a count beyond what is left is no count.
    if (count > r.fields.Left()) return false;
    for (uint32_t i = 0; i < count && r.fields.ok(); ++i) visit(r);
    return r.fields.ok();
}

bool ReadDataEntries(Reading& r, uint32_t count, std::vector<SetupDataEntry>& data) {
    const bool signFlags = r.AtLeast(5, 5, 7) && !r.AtLeast(6, 3, 0);
    return Each(r, count, [&](Reading& rr) {
        Fields& f = rr.fields;
        SetupDataEntry entry;
        entry.firstSlice = f.U32();
        entry.lastSlice = f.U32();
        entry.chunkOffset = f.U32();
        entry.fileOffset = f.U64();
        entry.fileSize = f.U64();
        entry.chunkSize = f.U64();
        entry.checksumKind = rr.AtLeast(6, 4, 0) ? ChecksumKind::Sha256 : ChecksumKind::Sha1;
        for (int i = entry.checksumKind == ChecksumKind::Sha256 ? 32 : 20; i > 0; --i) entry.checksum += static_cast<char>(f.Number(1));
        f.Skip(8 + 8);  // time, file version
        const std::vector<bool> flags = f.Set(signFlags ? 11 : 9);
        if (rr.AtLeast(6, 3, 0)) f.Skip(1);  // sign mode
        if (!f.ok()) return;
        entry.callFilter = flags[4];
        entry.encrypted = flags[6];
        entry.compressed = flags[7];
        data.push_back(std::move(entry));
    });
}

}  // namespace

uint32_t SupportedVersion(const SetupDataVersion& version) {
    const uint32_t number = InnoVersion(version.major, version.minor, version.patch, version.build);
    return number >= kOldestSetupData && number <= kNewestSetupData ? number : 0;
}

bool ReadSetupInfo(const std::string& header, const std::string& locations, const SetupDataVersion& version,
                   SetupInfo& info, std::string& why) {
    const uint32_t number = SupportedVersion(version);
    if (number == 0) {
        why = "its setup data version is not read here (" + version.id + "; 5.5.0 to 6.4 are)";
        return false;
    }
    Fields fields(header);
    Reading r{number, version.unicode, fields};
    Counts counts{};
    why = "its setup header breaks the layout of " + version.id;
    if (!ReadSetupHeader(r, info, counts)) return false;
    if (!Each(r, counts.languages, SkipLanguage) || !Each(r, counts.messages, SkipMessage) ||
        !Each(r, counts.permissions, SkipPermission) || !Each(r, counts.types, SkipType) ||
        !Each(r, counts.components, SkipComponent) || !Each(r, counts.tasks, SkipTask) ||
        !Each(r, counts.directories, SkipDirectory) ||
        !Each(r, counts.files, [&](Reading& rr) { info.files.push_back(ReadFile(rr)); }) ||
        !Each(r, counts.icons, SkipIcon) || !Each(r, counts.inis, SkipIni) ||
        !Each(r, counts.registry, [&](Reading& rr) { ReadRegistryEntry(rr, info.gogGameId); }))
        return false;
    Fields second(locations);
    Reading d{number, version.unicode, second};
    why = "its file locations break the layout of " + version.id;
    if (!ReadDataEntries(d, counts.data, info.data) || !second.AtEnd()) return false;
    for (const SetupFile& file : info.files) {
        if (file.location >= info.data.size() && file.location != UINT32_MAX) {
            why = "a file's data entry is not there (" + std::to_string(file.location) + " of " +
                  std::to_string(info.data.size()) + ")";
            return false;
        }
    }
    why.clear();
    return true;
}
