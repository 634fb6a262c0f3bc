// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// trimora-cli info FILE: the format and length of a sound file, on stdout.
int RunInfoCommand(const std::vector<std::string>& args);
extern const char* const kInfoUsage;
