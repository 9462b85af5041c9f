// GOG's offline installers of the game in the player's download folder, named as GOG
// names them (setup_marrowgate_<version>.exe), each checked to hold GAME.GOG.
#pragma once

#include <string>
#include <vector>

// The installers of the game in `folder`, newest version first.
std::vector<std::string> InstallersIn(const std::string& folder);

// The player's download folder: on Windows the known folder Downloads; elsewhere
// XDG_DOWNLOAD_DIR of $XDG_CONFIG_HOME/user-dirs.dirs (what xdg-user-dir DOWNLOAD says),
// else ~/Downloads. `home` and `configHome` as detection takes them; "" when unknown.
std::string DownloadFolder(const std::string& home, const std::string& configHome);

// When `image` is an installer of another game than Marrowgate, what it is, by its name
// and GOG ID ("an installer of Other Game (GOG ID 1234), not of Marrowgate (1207663463)");
// else "".
std::string ForeignInstaller(const std::string& image);
