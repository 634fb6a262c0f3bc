// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <vector>

// What runs of this program leave behind when they are killed: the safe save's hidden
// temporary files (".song.trimora-1234-Ab3dE9.mp3") beside their targets, and the work
// folders of earlier versions' segment cuts ("segcut-1234-Ab3dE9"). Each name carries the id
// of the process that made it.

// Removes, directly in each of `folders`, the leftovers of this user's processes that no
// longer run; a running process's files, other users' and anything not named so are left
// alone. Returns how many were removed.
int SweepLeftovers(const std::vector<std::filesystem::path>& folders);

// The process id a leftover's name carries, or 0 when `name` is not one.
long LeftoverOwner(const std::string& name);
