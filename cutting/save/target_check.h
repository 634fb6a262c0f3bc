// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <vector>

#include "cutting/kinds/kind.h"

// What stands against writing a run of `kind` from `inputs` into `target`: nothing, a name of
// another kind (the writers choose their container by the name, so it would mislabel the
// file), or one of the inputs itself.
enum class TTargetProblem { None, OtherKind, IsAnInput };
TTargetProblem CheckTarget(const TKind& kind, const std::filesystem::path& target,
                           const std::vector<std::filesystem::path>& inputs);
