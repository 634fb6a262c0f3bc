// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// trimora-cli split FILE --parts N | --every TIME | --at TIMES | --silence: one recording
// written as several files of the same format, one per piece.
int RunSplitCommand(const std::vector<std::string>& args);
