// The installation-folder guard where folders really are: links, other drive letters,
// aliases and shares of this computer resolved before the portable rule is asked.
#pragma once

#include <optional>
#include <string>

#include "shared/install_guard.h"

namespace kv::install {

// The folders the shell knows, each without a trailing "\"; `tempFolder` is the temporary
// folder the program works from.
SpecialFolders ShellSpecialFolders(const std::wstring& tempFolder);

// The same folders where they really are.
SpecialFolders RealFolders(const SpecialFolders& folders);

// Why `folder` may not be taken whole, neither as written nor where it really is (links,
// other drive letters, aliases resolved), or nothing. A folder that does not exist yet is
// judged by where its nearest existing parent really is.
std::optional<std::wstring> InstallFolderRefusal(const std::wstring& folder, const SpecialFolders& folders,
                                                 const SpecialFolders& realFolders);

}  // namespace kv::install
