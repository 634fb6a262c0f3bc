// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cutting/kinds/media_kinds.h"

// MP3 files: re-encoded with the source's tags and encoder settings, or cut by copying the
// source's frames under a new gapless header. The source reports a third of a second more
// than the file holds, as room at the end of the data.
class TMP3Kind : public TMediaKind {
 public:
  std::string Name() const override { return "MP3"; }
  std::vector<std::string> Extensions() const override { return {".mp3"}; }
  std::unique_ptr<TAuFileIn> MakeSource() const override;
  // The stored settings of every MP3 sink; PrepareCut adapts them to the source.
  std::unique_ptr<TAuFileOut> MakeSink() const override;
  // The frame copy: exact on players that honour the gapless header.
  std::unique_ptr<TAuFileOut> MakeFrameKeepingSink() const override;
  bool KeepsFramesByCopy() const override { return true; }
  bool CopiesFrames(const TAuFileOut& sink) const override;
  // Frames copied away from the joins, a bridge of fresh frames at each.
  std::unique_ptr<TPiecesCopyOut> MakePieceKeepingSink() const override;
  bool KeepsFramesAcrossJoins() const override { return true; }
  // Files of other rates or channel counts.
  std::string JoinKeepingRefusal(TAuFileIn& first, TAuFileIn& second) const override;
  // The source's tags and encoder settings into the sink (a frame copy takes the tags only).
  void PrepareCut(TAuFileIn& source, TAuFileOut& sink) const override;
  // A frame copy reads the file itself: the frames it kept are what went in.
  std::function<int64_t()> FramesFed(TAuFileOut& sink, TAuInput& input) const override;
  void SetEncoderLanes(TAuFileOut& sink, int lanes) const override;
  int64_t FramesHeld(TAuFileIn& source) const override;
  int64_t SlackFrames() const override { return 1152; }
  // The source counts the decoded samples of its frames and adds its third.
  bool LengthMatches(TAuFileIn& written, int64_t frames) const override;
  std::string Describe(TAuFileIn& source) const override { return DescribeRate(source); }
  // Where the frames change channels or rate part-way, as a join of unlike files does.
  std::vector<std::string> Notes(TAuFileIn& source) const override;
  // The runtime's texts completed from the file's own tags.
  void ReadTags(const std::filesystem::path& file, TAuFileIn& source,
                TId3v2Tags& tags) const override;
};
