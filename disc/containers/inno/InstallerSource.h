// A file inside an installer (GAME.GOG) as a source of bytes at positions, decompressed
// as it is read and never stored whole: the first few MiB are kept (where a disc keeps
// its volume descriptors and folders) and the last MiB decoded; a read further on
// decodes forward to it, and a read further back starts the file's decompression again,
// a bounded number of times.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "StoredFile.h"
#include "disc/ByteSource.h"

class InstallerSource : public ByteSource {
public:
    InstallerSource(std::shared_ptr<const InstallerData> data, StoredFile file, ChunkCompression compression, std::string name);

    size_t ReadAt(uint64_t position, void* buffer, size_t size) override;
    std::string Fault() override { return m_fault; }
    uint64_t Size() override { return m_size; }
    bool ReadsInOrder() override { return true; }
    std::string CheckWhole() override;

    // How often the file's decompression started again from its start, for tests.
    int Restarts() const { return m_restarts; }

private:
    // Decodes the block that follows m_windowEnd; false with m_fault set.
    bool NextBlock();
    bool Restart();

    std::shared_ptr<const InstallerData> m_data;
    const StoredFile m_file;
    const uint64_t m_size;
    const ChunkCompression m_compression;
    const std::string m_name;
    std::unique_ptr<FileStream> m_stream;
    std::vector<unsigned char> m_head;    // the file's first bytes
    std::vector<unsigned char> m_window;  // the last block decoded: [m_windowStart, m_windowEnd)
    uint64_t m_windowStart = 0, m_windowEnd = 0;
    int m_restarts = 0;
    std::string m_fault;
    bool m_damaged = false;  // a full pass found the digest different
};
