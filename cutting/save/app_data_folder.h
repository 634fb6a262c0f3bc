// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

// The current user's per-user data folder, ending in a separator: $XDG_DATA_HOME when it is
// an absolute path, otherwise ~/.local/share/. The folder is not created here.
std::filesystem::path AppDataFolder();
