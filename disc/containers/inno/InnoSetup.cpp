// GOG's offline installers: Inno Setup's setup program, its setup data in the .exe, and
// its files' data in the .exe or in .bin slices beside it ("idska32\x1a", then the slice's
// size). An installer is told from its data: the loader table in the .exe's resources,
// or a slice's signature. Its files are not read from it here: it is refused, saying what
// it is and how its GAME.GOG is had.
#include <cstring>

#include "HeaderStream.h"
#include "SetupLoader.h"
#include "disc/containers/Container.h"

namespace {

constexpr char kSliceSignature[] = "idska32\x1a";

bool IsSlice(const FileHead& head) { return head.first.compare(0, sizeof kSliceSignature - 1, kSliceSignature) == 0; }

bool LooksLikeInstaller(const FileHead& head) {
    if (IsSlice(head)) return true;
    if (head.first.compare(0, 2, "MZ") != 0) return false;
    SetupLoader loader;
    std::string why;
    return FindSetupLoader(*head.source, head.size, loader, why);
}

bool ReadInstaller(const FileHead& head, DiscFiles&, DiscLayout&, DiscProblem& problem) {
    const std::string howToRead = "its GAME.GOG can be had with \"innoextract -I app/GAME.GOG\", and read from there";
    if (IsSlice(head)) return Refuse(problem, head.path, "a slice of an Inno Setup installer (a GOG installer's .bin): " + howToRead + " (name the .exe)");
    SetupLoader loader;
    SetupDataVersion version;
    std::string why;
    if (!FindSetupLoader(*head.source, head.size, loader, why) || !ReadSetupDataVersion(*head.source, loader.setupData, version, why))
        return Refuse(problem, head.path, "an Inno Setup installer whose setup data cannot be found: " + why);
    // Its name, where its header can be read: a player told "an installer for <name>" knows which.
    std::string header;
    uint64_t next = 0;
    const std::string name = ReadHeaderStream(*head.source, head.size, uint64_t{loader.setupData} + 64, header, next, why)
                                 ? AppNameOf(header, version.unicode)
                                 : std::string();
    return Refuse(problem, head.path, "an Inno Setup installer" + (name.empty() ? std::string() : " for " + name) + " (" + version.id +
                                          "): " + howToRead);
}

}  // namespace

const ContainerFormat kInnoSetup = {"an Inno Setup installer", LooksLikeInstaller, nullptr, ".exe", ReadInstaller};
