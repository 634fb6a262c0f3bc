// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// trimora-cli remove FILE --segment START-END ... -o OUT: the file without the listed
// stretches, the rest joined, as the segment cut window writes it.
int RunRemoveCommand(const std::vector<std::string>& args);
