// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cutting/kinds/media_kinds.h"

// WMA files: always re-encoded (its frames cannot be cut apart), in the codec format that
// matches the source. Its source is also tried on files of no known kind.
class TWMAKind : public TMediaKind {
 public:
  std::string Name() const override { return "WMA"; }
  std::vector<std::string> Extensions() const override { return {".wma"}; }
  bool OpensUnknownFiles() const override { return true; }
  std::unique_ptr<TAuFileIn> MakeSource() const override;
  // The stored settings of every WMA sink; PrepareCut chooses its format.
  std::unique_ptr<TAuFileOut> MakeSink() const override;
  std::string FrameKeepingRefusal() const override;
  // Codec 0, the format matching the source, and the source's tags.
  void PrepareCut(TAuFileIn& source, TAuFileOut& sink) const override;
  int64_t SlackFrames() const override { return 2048; }
  // The channels and rate of the codec format the sink is set to, left as they are when the
  // format does not exist (the run then fails).
  TPcmShape WrittenShape(TAuFileOut& sink, TPcmShape input) const override;
  // The source counts in hundredths of a second.
  bool LengthMatches(TAuFileIn& written, int64_t frames) const override;
  std::string Describe(TAuFileIn& source) const override { return DescribeRate(source); }
};
