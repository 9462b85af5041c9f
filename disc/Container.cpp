// The one table of containers. A new format is a module and a line here.
#include "Container.h"

namespace {

const ContainerFormat* const kContainers[] = {
#ifdef MG_CHD
    &kChd,
#endif
    &kAlcohol,
    &kCloneCd,
    &kNero,
    &kTocFile,  // before the cue sheet: both may start with CATALOG
    &kCueSheet,
    nullptr,
};

}  // namespace

const ContainerFormat* const* Containers() { return kContainers; }
