// The one table of containers, and what they share. A new format is a module and a line here.
#include "Container.h"

#include <cerrno>

#include "disc/ImageFile.h"

#ifndef MG_CHD
// A build without the CHD reader's libraries still knows a CHD, and says what to do.
namespace {
bool LooksLikeChd(const FileHead& head) { return head.first.compare(0, sizeof kChdMagic - 1, kChdMagic) == 0; }
bool RefuseChd(const FileHead& head, DiscFiles&, DiscLayout&, DiscProblem& problem) {
    return Refuse(problem, head.path,
                  "a CHD image, which this build does not read (marrowgate-import for Linux does; "
                  "\"chdman extractcd\" makes a .cue and .bin of it)");
}
}  // namespace
const ContainerFormat kChd = {"a CHD", LooksLikeChd, nullptr, ".chd", RefuseChd};
#endif

namespace {

const ContainerFormat* const kContainers[] = {
    &kChd,
    &kAlcohol,
    &kCloneCd,
    &kNero,
    &kTocFile,  // before the cue sheet: both may start with CATALOG
    &kCueSheet,
    &kInnoSetup,
    &kBareImage,
    nullptr,
};

// Sizes as people read them: bytes, KiB or MiB, rounded up so that a size over a limit
// never reads as the limit.
std::string SizeText(uint64_t bytes) {
    if (bytes < 10 * 1024) return std::to_string(bytes) + " bytes";
    if (bytes < 10 * 1024 * 1024 && bytes % (1 << 20) != 0) return std::to_string((bytes + 1023) / 1024) + " KiB";
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB";
}

}  // namespace

const ContainerFormat* const* Containers() { return kContainers; }

bool Refuse(DiscProblem& problem, const std::string& path, const std::string& why) {
    problem = {DiscFault::BadContainer, path, 0, why};
    return false;
}

std::string OverLimit(const char* kind, uint64_t limit, uint64_t size) {
    return std::string(kind) + " is at most " + SizeText(limit) + "; this one is " + SizeText(size);
}

bool DiscFiles::Open(const std::string& path, FileHead& head, DiscProblem& problem) {
    const auto found = m_opened.find(path);
    if (found != m_opened.end()) {
        head = found->second;
        return true;
    }
    std::string refusal;
    FILE* file = OpenImageFileUtf8(path, refusal);
    if (!file) {
        problem = {DiscFault::NotOpened, path, refusal.empty() ? errno : 0, refusal};
        return false;
    }
    head = {};
    head.path = path;
    head.size = FileSize64(file);
    head.source = std::make_shared<FileSource>(file);
    char buffer[kHeadBytes];
    head.first.assign(buffer, head.source->ReadAt(0, buffer, sizeof buffer));
    if (head.size != UINT64_MAX && head.size >= 16) head.last.assign(buffer, head.source->ReadAt(head.size - 16, buffer, 16));
    m_opened[path] = head;
    return true;
}
