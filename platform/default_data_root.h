// Where the program keeps its data when it is not told (no --data-root).
//
// A copy unpacked or built anywhere keeps its data beside its executable, as
// it always has. An installed program cannot: its folder (/usr/bin) is not
// the user's to write, and every user of the machine shares it. So when the
// executable's folder cannot be written, or the executable is part of an
// installed tree (it lies in a "bin" folder beside "share/halvorn-terminal"),
// the data folder is the user's own: $XDG_DATA_HOME/halvorn-terminal, or
// ~/.local/share/halvorn-terminal when XDG_DATA_HOME is unset or not an
// absolute path.
#pragma once

#include <string>

namespace platform {

// The installed copy of the files the program ships for its data folder
// (language files, user guides), relative to the executable's folder.
inline constexpr const char* kInstalledDataFolder = "../share/halvorn-terminal";

// The data folder for this run, without a trailing separator. When it is the
// user's own folder, it is created (mode 0700, parents included) and every
// file of the installed copy that it lacks is copied in; the user's own
// files are never replaced. The executable's folder when the user's folder
// cannot be named (no HOME) or created.
std::string DefaultDataRoot();

// The rule itself, for a given executable folder and environment values
// (null when unset): the folder chosen, and whether it is the user's own.
std::string ChooseDataRoot(const std::string& executableFolder, const char* xdgDataHome,
                           const char* home, bool& usersOwn);

}  // namespace platform
