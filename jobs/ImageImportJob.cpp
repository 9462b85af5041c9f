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

// A name that is not UTF-8 read as the program's narrow strings are: in the ANSI code page.
std::string AnsiToUtf8(const std::string& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return NarrowToUtf8(wide);
}

}  // namespace

void StartImageImport(const CString& imagePath) {
    StartJob<ImageImportArgs>(ImportImageThread, [&] { return ImageImportArgs{NarrowToUtf8(imagePath)}; });
}

UINT ImportImageThread(LPVOID param) {
    std::unique_ptr<ImageImportArgs> args(static_cast<ImageImportArgs*>(param));
    const bool succeeded = RunGuarded([&] {
        ExtractOptions options;
        options.decodeName = AnsiToUtf8;
        return ExtractImageFile(args->imagePath, GameFolderFilter, options) == ExtractOk;
    });
    args.reset();
    PostJobOutcome(succeeded);
    return 0;
}
