// The image import job: the engine with GameFolderFilter on a worker thread.
#include <memory>
#include <string>

#include "GameFolderFilter.h"
#include "ImportJobs.h"
#include "JobThread.h"
#include "iso/IsoExtract.h"

namespace {

struct ImageImportArgs {
    std::string imagePath;  // UTF-8
};

std::string ToUtf8(const CString& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], size, nullptr, nullptr);
    return utf8;
}

}  // namespace

void StartImageImport(const CString& imagePath) {
    StartJob<ImageImportArgs>(ImportImageThread, [&] { return ImageImportArgs{ToUtf8(imagePath)}; });
}

UINT ImportImageThread(LPVOID param) {
    std::unique_ptr<ImageImportArgs> args(static_cast<ImageImportArgs*>(param));
    const bool succeeded = RunGuarded([&] { return ExtractImageFile(args->imagePath, GameFolderFilter) == ExtractOk; });
    args.reset();
    PostJobOutcome(succeeded);
    return 0;
}
