// The image import job: the engine with GameFolderFilter on a worker thread.
#include <memory>
#include <string>

#include "game/GameFolderFilter.h"
#include "ImportJobs.h"
#include "JobThread.h"
#include "iso/IsoExtract.h"
#include "text/Utf8.h"

namespace {

struct ImageImportArgs {
    std::string imagePath;  // UTF-8
};

}  // namespace

void StartImageImport(const CString& imagePath) {
    StartJob<ImageImportArgs>(ImportImageThread, [&] { return ImageImportArgs{NarrowToUtf8(imagePath)}; });
}

UINT ImportImageThread(LPVOID param) {
    std::unique_ptr<ImageImportArgs> args(static_cast<ImageImportArgs*>(param));
    const bool succeeded = RunGuarded([&] { return ExtractImageFile(args->imagePath, GameFolderFilter) == ExtractOk; });
    args.reset();
    PostJobOutcome(succeeded);
    return 0;
}
