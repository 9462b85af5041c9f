// The few file-system calls the engine makes, taking UTF-8 paths on every platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "disc/DataPiece.h"
#include "disc/ImageFile.h"

// The separator of the platform's own paths.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The name a file is written under until it is complete: a leading dot and a fixed
// suffix, which no file of the game has (ISO 9660 names start with a letter or digit).
std::string TemporaryName(const std::string& name);
bool IsTemporaryName(const std::string& name);

// A folder of the output, open for making entries inside it. On POSIX it holds a
// descriptor and every entry is made relative to it, so a folder swapped for a link after
// it was opened cannot send writes elsewhere; on Windows it holds the folder's path.
// Files appear under their final names only when complete: each is written under its
// temporary name, then renamed over the final one (replacing a file there, never writing
// through a link, a FIFO or a hard link).
class OutputFolder {
public:
    OutputFolder() = default;
    ~OutputFolder();
    OutputFolder(OutputFolder&& other) noexcept;
    OutputFolder& operator=(OutputFolder&& other) noexcept;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Opens an existing folder (through a link, if the user named one). 0 or an errno value.
    int Open(const std::string& path);
    // Makes the folder `name` inside, or takes it when it is there as a folder, and opens
    // it; a link where it goes is refused (ELOOP), a file there gives ENOTDIR, and with
    // `mustBeNew` a folder there gives EEXIST. Temporaries that an import cut off by force
    // left in it are removed. 0 or an errno value.
    int OpenSubfolder(const std::string& name, OutputFolder& subfolder, bool mustBeNew = false) const;
    // Creates the temporary file of `name` for binary writing; null with errno on failure.
    FILE* CreateTemporary(const std::string& name) const;
    // Renames the complete temporary of `name` over `name`. 0 or an errno value.
    int Commit(const std::string& name) const;
    // Removes the temporary of `name`.
    void Discard(const std::string& name) const;
    // The path of `name` inside, for messages.
    std::string PathOf(const std::string& name) const;
    const std::string& path() const { return m_path; }

private:
    void RemoveStaleTemporaries() const;

    std::string m_path;
    int m_fd = -1;  // POSIX only
};


// Writes the pieces in order, as few system calls as the platform allows (writev on
// POSIX). Returns 0, or the errno value of the failure.
int WritePieces(FILE* file, const std::vector<DataPiece>& pieces);

// True for a write error after which nothing more can be written (a full disk or quota, a
// file-size limit): an import ends rather than fail file after file.
bool IsOutputFull(int error);

// Gives an open file the modification time `seconds` (since 1970, UTC); false on failure.
bool SetFileTime(FILE* file, int64_t seconds);

// Creates one of the folders the user names for the output. Returns 0 when it was
// created or is there already as a folder or a link to one (the user's own links are
// followed, as mkdir -p follows them), else the errno value of the failure. Inside the
// output nothing is made through a link: OutputFolder::OpenSubfolder refuses them.
int MakeDirectoryUtf8(const std::string& path);
