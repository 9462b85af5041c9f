#include "InstallerWriter.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "disc/Crc32.h"
#include "disc/containers/inno/Digest.h"

namespace test {

namespace {

void Put32(Bytes& bytes, size_t at, uint32_t value) {
    if (bytes.size() < at + 4) bytes.resize(at + 4, 0);
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}
void Put16(Bytes& bytes, size_t at, uint32_t value) {
    if (bytes.size() < at + 2) bytes.resize(at + 2, 0);
    bytes[at] = static_cast<unsigned char>(value), bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

uint32_t VersionNumber(const std::string& version) {
    uint32_t parts[4] = {};
    size_t i = 0;
    for (char c : version) {
        if (c == '.') ++i;
        else if (i < 4) parts[i] = parts[i] * 10 + static_cast<uint32_t>(c - '0');
    }
    return parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
}
constexpr uint32_t V(uint32_t a, uint32_t b, uint32_t c, uint32_t d = 0) { return a << 24 | b << 16 | c << 8 | d; }

// The setup header's fields, appended in order.
struct Fields {
    Bytes bytes;
    bool unicode;

    void Number(uint64_t value, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
    void Raw(const std::string& text) {
        Number(text.size(), 4);
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    // A string: UTF-16LE in a Unicode installer (the text here is ASCII).
    void Text(const std::string& text) {
        if (!unicode) return Raw(text);
        std::string wide;
        for (char c : text) wide += c, wide += '\0';
        Raw(wide);
    }
    void Zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
    void Flags(const std::vector<bool>& flags) {
        size_t count = (flags.size() + 7) / 8;
        Bytes set(count == 3 ? 4 : count, 0);
        for (size_t i = 0; i < flags.size(); ++i)
            if (flags[i]) set[i / 8] |= static_cast<unsigned char>(1 << (i % 8));
        bytes.insert(bytes.end(), set.begin(), set.end());
    }
    void WindowsVersions() {  // from Windows NT 6.0, no upper bound
        Number(0, 4), Number(0x06000000, 4), Number(0, 2);
        Zeros(10);
    }
    void Conditions(const std::string& afterInstall = {}, const std::string& beforeInstall = {}) {
        for (int i = 0; i < 4; ++i) Text("");  // components, tasks, languages, check
        Text(afterInstall), Text(beforeInstall);
    }
};

Bytes HeaderStream(const Bytes& content) {
    Bytes stored;
    for (size_t at = 0; at < content.size() || at == 0; at += 4096) {
        const size_t count = std::min<size_t>(4096, content.size() - at);
        const size_t start = stored.size();
        Put32(stored, start, Crc32(content.data() + at, count));
        stored.insert(stored.end(), content.begin() + static_cast<std::ptrdiff_t>(at),
                      content.begin() + static_cast<std::ptrdiff_t>(at + count));
        if (content.empty()) break;
    }
    Bytes stream(9, 0);
    Put32(stream, 4, static_cast<uint32_t>(stored.size()));
    Put32(stream, 0, Crc32(stream.data() + 4, 5));
    stream.insert(stream.end(), stored.begin(), stored.end());
    return stream;
}

Bytes Compress(InstallerCompression compression, const Bytes& data) {
    switch (compression) {
    case InstallerCompression::Stored: return data;
    case InstallerCompression::Zlib: {
        uLongf size = compressBound(static_cast<uLong>(data.size()));
        Bytes out(size);
        if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 6) != Z_OK) throw std::runtime_error("zlib");
        out.resize(size);
        return out;
    }
    case InstallerCompression::Bzip2: {
        unsigned size = static_cast<unsigned>(data.size() + data.size() / 100 + 600);
        Bytes out(size);
        if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &size,
                                     const_cast<char*>(reinterpret_cast<const char*>(data.data())),
                                     static_cast<unsigned>(data.size()), 9, 0, 0) != BZ_OK)
            throw std::runtime_error("bzip2");
        out.resize(size);
        return out;
    }
    case InstallerCompression::Lzma1:
    case InstallerCompression::Lzma2: {
        const bool lzma2 = compression == InstallerCompression::Lzma2;
        lzma_options_lzma options;
        lzma_lzma_preset(&options, 1);
        options.dict_size = 1 << 20;
        const lzma_filter filters[] = {{lzma2 ? LZMA_FILTER_LZMA2 : LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
        Bytes out;
        if (lzma2) {
            out.push_back(16);  // (2 | 0) << (16 / 2 + 11): 1 MiB
        } else {
            out.push_back(static_cast<unsigned char>((options.pb * 5 + options.lp) * 9 + options.lc));
            Put32(out, 1, options.dict_size);
        }
        const size_t start = out.size();
        out.resize(start + lzma_raw_encoder_memusage(filters) / 16 + data.size() + data.size() / 2 + 4096);
        size_t written = 0;
        if (lzma_raw_buffer_encode(filters, nullptr, data.data(), data.size(), out.data() + start, &written, out.size() - start) != LZMA_OK)
            throw std::runtime_error("lzma");
        out.resize(start + written);
        return out;
    }
    }
    return data;
}

// The inverse of what the reader undoes: each E8 or E9 whose address lies in its 64 KiB
// block, with a high byte of 00 or FF, made absolute; the high byte flipped where bit 23
// of the relative address is set.
Bytes ApplyCallFilter(Bytes data) {
    for (size_t i = 0; i < data.size();) {
        if ((data[i] != 0xe8 && data[i] != 0xe9) || 0x10000 - i % 0x10000 < 5) {
            ++i;
            continue;
        }
        if (data.size() - i < 5) break;
        unsigned char* address = &data[i + 1];
        if (address[3] == 0x00 || address[3] == 0xff) {
            const uint32_t relative = address[0] | uint32_t{address[1]} << 8 | uint32_t{address[2]} << 16;
            const uint32_t absolute = relative + static_cast<uint32_t>((i + 5) & 0xffffff);
            address[0] = static_cast<unsigned char>(absolute);
            address[1] = static_cast<unsigned char>(absolute >> 8);
            address[2] = static_cast<unsigned char>(absolute >> 16);
            if (relative & 0x800000) address[3] = static_cast<unsigned char>(~address[3]);
        }
        i += 5;
    }
    return data;
}

struct Location {
    uint32_t firstSlice = 0, lastSlice = 0, chunkOffset = 0;
    uint64_t fileOffset = 0, fileSize = 0, chunkSize = 0;
    std::string checksum;
    bool callFilter = false;
};

// The data as it lies, after `start` (the .exe's data, or the first slice's), and where
// each file's chunk is: slices hold `sliceSize` bytes, their data from byte 12.
struct DataLayout {
    Bytes stream;  // every chunk, one after another
    std::vector<Location> locations;
};

DataLayout LayOutData(const InstallerSpec& spec, bool sha256) {
    DataLayout layout;
    const auto digest = [&](const Bytes& bytes) {
        Digest d(sha256 ? DigestKind::Sha256 : DigestKind::Sha1);
        d.Add(bytes.data(), bytes.size());
        return d.Finish();
    };
    const auto addChunk = [&](const Bytes& content) {
        const size_t at = layout.stream.size();
        const Bytes packed = Compress(spec.compression, content);
        layout.stream.insert(layout.stream.end(), {'z', 'l', 'b', 0x1a});
        layout.stream.insert(layout.stream.end(), packed.begin(), packed.end());
        return std::make_pair(at, packed.size());
    };
    Bytes solid;
    for (const InstallerSpec::File& file : spec.files) {
        const Bytes stored = file.callFilter ? ApplyCallFilter(file.data) : file.data;
        Location location;
        location.fileSize = file.recordedSize ? file.recordedSize : file.data.size();
        location.checksum = digest(file.data);
        location.callFilter = file.callFilter;
        if (spec.solid) {
            location.fileOffset = solid.size();  // the data's own size places the next
            solid.insert(solid.end(), stored.begin(), stored.end());
        } else {
            const auto chunk = addChunk(stored);
            location.chunkOffset = static_cast<uint32_t>(chunk.first);
            location.chunkSize = chunk.second;
        }
        layout.locations.push_back(location);
    }
    if (spec.solid) {
        const auto chunk = addChunk(solid);
        for (Location& location : layout.locations) location.chunkOffset = static_cast<uint32_t>(chunk.first), location.chunkSize = chunk.second;
    }
    return layout;
}

// Places the data stream in slices: each chunk's offset becomes its slice's and offset in it.
std::vector<Bytes> Slice(const Bytes& stream, uint32_t sliceSize, std::vector<Location>& locations) {
    constexpr uint32_t kHeader = 12;
    const uint32_t room = sliceSize - kHeader;
    std::vector<Bytes> slices;
    for (size_t at = 0; at < stream.size(); at += room) {
        const size_t count = std::min<size_t>(room, stream.size() - at);
        Bytes slice = {'i', 'd', 's', 'k', 'a', '3', '2', 0x1a};
        Put32(slice, 8, static_cast<uint32_t>(kHeader + count));
        slice.insert(slice.end(), stream.begin() + static_cast<std::ptrdiff_t>(at), stream.begin() + static_cast<std::ptrdiff_t>(at + count));
        slices.push_back(std::move(slice));
    }
    for (Location& location : locations) {
        const uint64_t start = location.chunkOffset, end = start + 4 + location.chunkSize - 1;
        location.firstSlice = static_cast<uint32_t>(start / room);
        location.lastSlice = static_cast<uint32_t>(end / room);
        location.chunkOffset = static_cast<uint32_t>(kHeader + start % room);
    }
    return slices;
}

Bytes SetupHeader(const InstallerSpec& spec, uint32_t v, const std::vector<Location>& locations) {
    Fields f{{}, spec.unicode};
    const std::string values[] = {spec.appName, spec.appName + " 1.0", spec.appName, "", "GOG.com", "https://www.gog.com",
                                  "", "https://www.gog.com/support", "", "1.0", "{pf}\\GOG Games\\" + spec.appName, spec.appName,
                                  "setup_marrowgate_1.0"};
    for (const std::string& value : values) f.Text(value);
    for (int i = 0; i < 14; ++i) f.Text("");  // uninstall files dir .. close applications filter
    if (v >= V(5, 5, 6)) f.Text("");           // setup mutex
    if (v >= V(5, 6, 1)) f.Text(""), f.Text("");
    if (v >= V(6, 3, 0)) f.Text(""), f.Text("");
    f.Raw(""), f.Raw(""), f.Raw(""), f.Raw("");  // license, info before and after, compiled code
    if (!spec.unicode) f.Zeros(32);
    const uint32_t registry = spec.gogGameId.empty() ? 0 : 2;
    const uint32_t counts[] = {0, 0, 0, 0, 0, 0, 0, static_cast<uint32_t>(spec.files.size()), static_cast<uint32_t>(locations.size()),
                               0, 0, registry, 0, 0, 0, 0};
    for (uint32_t count : counts) f.Number(count, 4);
    f.WindowsVersions();
    if (v < V(6, 4, 0, 1)) f.Number(0xff0000, 4), f.Number(0, 4);  // back colours
    if (v < V(5, 5, 7)) f.Number(0, 4);
    if (v >= V(6, 0, 0)) f.Number(0, 1), f.Number(100, 4), f.Number(100, 4);
    if (v >= V(5, 5, 7)) f.Number(0, 1);
    f.Zeros(v >= V(6, 4, 0) ? 4 + 44 : 20 + 8);  // password hash and salt
    f.Number(0, 8);                             // extra disk space
    f.Number(1, 4);                             // slices per disk
    f.Number(1, 1), f.Number(0, 1), f.Number(2, 1);
    if (v >= V(5, 7, 0)) f.Number(0, 1);
    f.Number(0, 1), f.Number(0, 1);
    f.Number(static_cast<uint64_t>(spec.compression), 1);
    if (v < V(6, 3, 0)) f.Number(0, 1), f.Number(0, 1);
    f.Number(0, 1), f.Number(0, 1), f.Number(0, 8);
    // The flags, in the order the versions define them: the password flag is the 11th
    // where the four window flags are, and EncryptionUsed follows AppendDefaultGroupName.
    std::vector<bool> flags;
    const bool windowFlags = v < V(6, 4, 0, 1);
    for (int i = 0; i < 5; ++i) flags.push_back(false);
    if (windowFlags) flags.insert(flags.end(), 4, false);
    flags.push_back(false);
    flags.push_back(spec.password);  // Password
    flags.push_back(false), flags.push_back(false);
    if (v < V(5, 6, 1)) flags.push_back(false);
    flags.push_back(false);
    if (windowFlags) flags.push_back(false);
    flags.insert(flags.end(), 21, false);
    flags.push_back(spec.password);  // EncryptionUsed
    if (v < V(5, 6, 1)) flags.push_back(false);
    if (!spec.unicode) flags.push_back(false);
    flags.insert(flags.end(), 7, false);
    if (v >= V(5, 5, 7)) flags.push_back(false);
    if (v >= V(6, 0, 0)) flags.insert(flags.end(), 3, false);
    if (v >= V(6, 3, 0)) flags.push_back(false);
    f.Flags(flags);

    for (size_t i = 0; i < spec.files.size(); ++i) {
        f.Text("");  // source
        f.Text(spec.files[i].destination);
        f.Text(""), f.Text("");
        f.Conditions(spec.files[i].afterInstall, spec.files[i].beforeInstall);
        f.WindowsVersions();
        f.Number(i, 4);                // location
        f.Number(0x20, 4);             // attributes
        f.Number(0, 8);                // external size
        f.Number(0xffff, 2);           // permission
        f.Zeros(4);                    // flags
        f.Number(0, 1);                // type: a file of the user's
    }
    if (registry) {
        const std::string key = "SOFTWARE\\GOG.com\\Games\\" + spec.gogGameId;
        const std::string entries[2][2] = {{"gameID", spec.gogGameId}, {"path", "{app}"}};
        for (const auto& entry : entries) {
            f.Text(key), f.Text(entry[0]), f.Text(entry[1]);
            f.Conditions();
            f.WindowsVersions();
            f.Number(0x80000002, 4);  // HKLM
            f.Number(0xffff, 2);
            f.Number(1, 1);  // a string
            f.Zeros(2);
        }
    }
    // The wizard's images, large and small: none (5.6.0 and later count them).
    for (int i = 0; i < 2; ++i) {
        if (v >= V(5, 6, 0)) f.Number(0, 4);
        else f.Raw("");
    }
    const bool dll = spec.compression == InstallerCompression::Bzip2 || spec.compression == InstallerCompression::Zlib;
    if (dll) f.Raw("");
    if (spec.password && v < V(6, 4, 0)) f.Raw("");  // the decryption DLL
    return f.bytes;
}

Bytes FileLocations(const InstallerSpec& spec, uint32_t v, const std::vector<Location>& locations) {
    Fields f{{}, spec.unicode};
    for (const Location& location : locations) {
        f.Number(location.firstSlice, 4), f.Number(location.lastSlice, 4), f.Number(location.chunkOffset, 4);
        f.Number(location.fileOffset, 8), f.Number(location.fileSize, 8), f.Number(location.chunkSize, 8);
        f.bytes.insert(f.bytes.end(), location.checksum.begin(), location.checksum.end());
        f.Number(0x01D5000000000000ull, 8);  // a time in 2019
        f.Number(0, 4), f.Number(0, 4);
        std::vector<bool> flags(v >= V(5, 5, 7) && v < V(6, 3, 0) ? 11 : 9, false);
        flags[2] = true;  // the time is UTC
        flags[4] = location.callFilter;
        flags[6] = spec.password;
        flags[7] = spec.compression != InstallerCompression::Stored;
        f.Flags(flags);
        if (v >= V(6, 3, 0)) f.Number(0, 1);
    }
    return f.bytes;
}

// A PE32 file of one section holding the resource directory RT_RCDATA / 11111 / language
// 0, whose data is the loader table; the setup data follows at 0x800.
Bytes LoaderExe(uint32_t setupData, uint32_t fileData, size_t& table) {
    constexpr uint32_t kSection = 0x400, kRva = 0x1000;
    Bytes pe(kSection, 0);
    pe[0] = 'M', pe[1] = 'Z';
    Put32(pe, 0x3C, 0x80);
    Put32(pe, 0x80, 0x4550);           // "PE\0\0"
    Put16(pe, 0x84, 0x14C);            // i386
    Put16(pe, 0x86, 1);                // one section
    Put16(pe, 0x94, 224);              // the optional header's size
    Put16(pe, 0x96, 0x102);            // an executable for 32-bit machines
    Put16(pe, 0x98, 0x10B);            // PE32
    Put32(pe, 0x98 + 92, 16);          // data directories
    Put32(pe, 0x98 + 96 + 16, kRva);   // the resource directory's RVA and size
    Put32(pe, 0x98 + 96 + 20, 0x200);
    const size_t section = 0x98 + 224;
    std::memcpy(&pe[section], ".rsrc", 5);
    Put32(pe, section + 8, 0x200), Put32(pe, section + 12, kRva), Put32(pe, section + 16, 0x200), Put32(pe, section + 20, kSection);
    const auto directory = [&](uint32_t at, uint32_t id, uint32_t target) {
        Put16(pe, kSection + at + 14, 1);
        Put32(pe, kSection + at + 16, id);
        Put32(pe, kSection + at + 20, target);
    };
    directory(0, 10, 0x80000000 | 0x18);
    directory(0x18, 11111, 0x80000000 | 0x30);
    directory(0x30, 0, 0x48);
    Put32(pe, kSection + 0x48, kRva + 0x60);
    Put32(pe, kSection + 0x4C, 44);
    table = kSection + 0x60;
    const unsigned char magic[12] = {'r', 'D', 'l', 'P', 't', 'S', 0xCD, 0xE6, 0xD7, '{', 0x0B, '*'};
    pe.resize(table + 44, 0);
    std::memcpy(&pe[table], magic, 12);
    Put32(pe, table + 12, 1);
    Put32(pe, table + 32, setupData);
    Put32(pe, table + 36, fileData);
    Put32(pe, table + 40, Crc32(&pe[table], 40));
    pe.resize(setupData, 0);
    return pe;
}

}  // namespace

namespace {

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) hex += kDigits[c >> 4], hex += kDigits[c & 15];
    return hex;
}

std::string Md5Hex(const Bytes& bytes) {
    Digest md5(DigestKind::Md5);
    md5.Add(bytes.data(), bytes.size());
    return Hex(md5.Finish());
}

}  // namespace

std::vector<InstallerSpec::File> GogParts(const std::string& name, const Bytes& data, int count) {
    std::vector<InstallerSpec::File> parts;
    const size_t each = (data.size() + static_cast<size_t>(count) - 1) / static_cast<size_t>(count);
    for (int i = 0; i < count; ++i) {
        const size_t from = std::min(data.size(), static_cast<size_t>(i) * each), to = std::min(data.size(), from + each);
        const Bytes piece(data.begin() + static_cast<std::ptrdiff_t>(from), data.begin() + static_cast<std::ptrdiff_t>(to));
        InstallerSpec::File part;
        part.data = Compress(InstallerCompression::Zlib, piece);
        part.destination = "{app}\\" + Md5Hex(part.data);
        if (i == 0) part.beforeInstall = "before_install('" + Md5Hex(data) + "', '" + name + "', " + std::to_string(count) + ");";
        part.afterInstall = "after_install('" + Md5Hex(part.data) + "', " + std::to_string(part.data.size()) + ", " +
                            std::to_string(piece.size()) + ");";
        parts.push_back(std::move(part));
    }
    return parts;
}

std::string SetupDataId(const std::string& version, bool unicode) {
    const bool bare = VersionNumber(version) >= V(6, 3, 0);  // Unicode only, and said no more
    return "Inno Setup Setup Data (" + version + ")" + (unicode && !bare ? " (u)" : "");
}

WrittenInstaller WriteInstaller(const InstallerSpec& spec) {
    const uint32_t v = VersionNumber(spec.version);
    DataLayout data = LayOutData(spec, v >= V(6, 4, 0));
    WrittenInstaller written;
    if (spec.sliceSize) written.slices = Slice(data.stream, spec.sliceSize, data.locations);
    constexpr uint32_t kSetupData = 0x800;
    const Bytes header = HeaderStream(SetupHeader(spec, v, data.locations));
    const Bytes locations = HeaderStream(FileLocations(spec, v, data.locations));
    const uint32_t fileData = spec.sliceSize ? 0 : static_cast<uint32_t>(kSetupData + 64 + header.size() + locations.size());
    size_t table = 0;
    written.exe = LoaderExe(kSetupData, fileData, table);
    const std::string id = SetupDataId(spec.version, spec.unicode);
    Bytes idBytes(64, 0);
    std::memcpy(idBytes.data(), id.data(), std::min<size_t>(id.size(), 64));
    written.exe.insert(written.exe.end(), idBytes.begin(), idBytes.end());
    written.headerStream = written.exe.size();
    written.exe.insert(written.exe.end(), header.begin(), header.end());
    written.exe.insert(written.exe.end(), locations.begin(), locations.end());
    written.dataStart = spec.sliceSize ? 12 : written.exe.size();
    if (!spec.sliceSize) written.exe.insert(written.exe.end(), data.stream.begin(), data.stream.end());
    return written;
}

}  // namespace test
