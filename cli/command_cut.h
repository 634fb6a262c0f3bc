// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// trimora-cli cut FILE --start TIME --end TIME -o OUT: a stretch of a sound file written as
// a new file of the same format.
int RunCutCommand(const std::vector<std::string>& args);
extern const char* const kCutUsage;
