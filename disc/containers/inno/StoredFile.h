// One file of an installer as it is stored: in one data entry, or, as GOG stores large
// files, in parts that its install script joins, each part's bytes a zlib stream of its
// own, the whole file's MD5 in the script's call that begins it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ChunkStream.h"
#include "Digest.h"

struct StoredFile {
    struct Part {
        SetupDataEntry entry;
        uint64_t size = 0;  // its bytes once inflated (parts), else the entry's
    };
    std::vector<Part> parts;
    bool inParts = false;  // each part is a zlib stream
    std::string md5;       // of the whole file, for parts (16 bytes)

    uint64_t Size() const;
};

// The file's bytes, read forward: each part's chunk decompressed, inflated where it is a
// part of GOG's, one after another.
class FileStream {
public:
    FileStream(const InstallerData& data, const StoredFile& file, ChunkCompression compression);
    ~FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Up to `size` next bytes; fewer only at the end, or on a fault (`why`).
    size_t Read(unsigned char* out, size_t size, std::string& why);
    // Once the last byte is read: whether every digest matched (each entry's, and the
    // whole file's MD5 for parts).
    bool Checked() const { return m_checked; }
    bool Damaged() const { return m_damaged; }

private:
    bool NextPart(std::string& why);

    const InstallerData& m_data;
    const StoredFile& m_file;
    const ChunkCompression m_compression;
    size_t m_part = 0;
    uint64_t m_partLeft = 0;
    std::unique_ptr<ChunkStream> m_chunk;
    std::unique_ptr<Decoder> m_inflater;  // for parts
    Digest m_whole{DigestKind::Md5};
    uint64_t m_delivered = 0;
    bool m_checked = false, m_damaged = false;
};
