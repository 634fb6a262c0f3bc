// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// trimora-cli formats: the WMA codecs and the formats of codec 0, with the indexes a WMA
// cut chooses among.
int RunFormatsCommand(const std::vector<std::string>& args);
