// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

int RunStreamCommand(const std::vector<std::string>& args);
