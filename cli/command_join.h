// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// trimora-cli join A B -o OUT: A followed by B; trimora-cli mix A B -o OUT: the two played
// together. Both files must be of one kind; OUT is a new file of that kind, written with
// the first file's format, tags and encoder settings.
int RunJoinCommand(const std::vector<std::string>& args);
int RunMixCommand(const std::vector<std::string>& args);
