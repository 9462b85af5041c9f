// The one table of containers. A new format is a module and a line here.
#include "Container.h"

#include "Sheet.h"

#ifndef MG_CHD
// A build without the CHD reader's libraries still knows a CHD, and says what to do.
namespace {
bool LooksLikeChd(const FileHead& head) { return head.first.compare(0, sizeof kChdMagic - 1, kChdMagic) == 0; }
bool RefuseChd(const FileHead& head, DiscLayout&, DiscProblem& problem) {
    return SheetError(problem, head.path, 0,
                      "a CHD image, which this build does not read (marrowgate-import for Linux does; "
                      "\"chdman extractcd\" makes a .cue and .bin of it)");
}
}  // namespace
const ContainerFormat kChd = {LooksLikeChd, nullptr, ".chd", RefuseChd};
#endif

namespace {

const ContainerFormat* const kContainers[] = {
    &kChd,
    &kAlcohol,
    &kCloneCd,
    &kNero,
    &kTocFile,  // before the cue sheet: both may start with CATALOG
    &kCueSheet,
    nullptr,
};

}  // namespace

const ContainerFormat* const* Containers() { return kContainers; }
