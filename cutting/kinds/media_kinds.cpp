// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/kinds/media_kinds.h"

#include "cutting/kinds/wma_cut_settings.h"
#include "formats/media/wm_in.h"

uint32_t TMediaKind::Bitrate(TAuFileIn& source) const {
  return dynamic_cast<TWMIn&>(source).Bitrate();
}

bool TMediaKind::IsVBR(TAuFileIn& source) const {
  return dynamic_cast<TWMIn&>(source).IsVBR();
}

bool TMediaKind::LengthIsEstimate(TAuFileIn& source) const {
  auto& media = dynamic_cast<TWMIn&>(source);
  return media.Valid() && media.LengthIsEstimate();
}

void TMediaKind::ReadTags(const std::filesystem::path&, TAuFileIn& source,
                          TId3v2Tags& tags) const {
  tags.Assign(dynamic_cast<TWMIn&>(source).Id3v2Tags());
}

void TMediaKind::ChooseStreamFormat(TAuFileIn& source, TWMAOut& sink) const {
  SetUpWMACut(dynamic_cast<TWMIn&>(source), sink);
}

std::unique_ptr<TAuFileIn> TMediaKind::SetUp(std::unique_ptr<TAuFileIn> source) {
  auto& media = dynamic_cast<TWMIn&>(*source);
  media.Loop = false;
  media.EndSample = -1;
  media.SetHighPrecision(false);
  media.SetOutputChannels(cnMonoOrStereo);
  return source;
}

std::string TMediaKind::DescribeRate(TAuFileIn& source) const {
  const std::string kbps = std::to_string((Bitrate(source) + 500) / 1000) + " kbps";
  return IsVBR(source) ? Name() + ", VBR " + kbps : Name() + ", " + kbps;
}
