// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cutting/kinds/kind.h"

// What the kinds the media runtime reads (MP3 and WMA) share: their source's settings (mono
// or stereo 16-bit PCM, no looping, the whole file), a bit rate and VBR flag from the
// runtime, files that may be protected, and the WMA stream's format from the source's rate.
class TMediaKind : public TKind {
 public:
  bool MayBeProtected() const override { return true; }
  uint32_t Bitrate(TAuFileIn& source) const override;
  bool IsVBR(TAuFileIn& source) const override;
  bool LengthIsEstimate(TAuFileIn& source) const override;
  void ReadTags(const std::filesystem::path& file, TAuFileIn& source,
                TId3v2Tags& tags) const override;
  void ChooseStreamFormat(TAuFileIn& source, TWMAOut& sink) const override;

 protected:
  // Gives a source of the runtime its stored settings.
  static std::unique_ptr<TAuFileIn> SetUp(std::unique_ptr<TAuFileIn> source);
  // "MP3, 128 kbps" or "MP3, VBR 190 kbps" for the kind's name.
  std::string DescribeRate(TAuFileIn& source) const;
};
