#pragma once

#include <string>
#include <vector>

int RunStreamCommand(const std::vector<std::string>& args);
