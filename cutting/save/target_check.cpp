// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/save/target_check.h"

#include "cutting/save/safe_output.h"

TTargetProblem CheckTarget(const TKind& kind, const std::filesystem::path& target,
                           const std::vector<std::filesystem::path>& inputs) {
  if (!kind.Names(target)) return TTargetProblem::OtherKind;
  for (const auto& input : inputs)
    if (SameFile(input, target)) return TTargetProblem::IsAnInput;
  return TTargetProblem::None;
}
