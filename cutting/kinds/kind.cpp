// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/kinds/kind.h"

#include "tags/copying_file_out.h"

#include <algorithm>

#include "cutting/cut_error.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/kinds/wma_cut_settings.h"
#include "formats/media/wma_out.h"

std::string TKind::Extension() const {
  return Extensions().front();
}

bool TKind::Names(const std::filesystem::path& path) const {
  const std::vector<std::string> extensions = Extensions();
  return std::find(extensions.begin(), extensions.end(), LowerExtension(path)) != extensions.end();
}

std::unique_ptr<TAuFileOut> TKind::MakeFrameKeepingSink() const {
  const std::string refusal = FrameKeepingRefusal();
  if (!refusal.empty()) throw ECutError(refusal);
  return MakeSink();
}

std::unique_ptr<TPiecesCopyOut> TKind::MakePieceKeepingSink() const {
  const std::string refusal = FrameKeepingRefusal();
  if (!refusal.empty()) throw ECutError(refusal);
  if (!KeepsFramesByCopy()) return nullptr;
  throw ECutError("the frames of " + Name() +
                  " files cannot be kept across a join; re-encode instead");
}

std::string TKind::FrameKeepingRefusal() const {
  return {};
}

void TKind::PrepareCut(TAuFileIn&, TAuFileOut&) const {}

std::function<int64_t()> TKind::FramesFed(TAuFileOut&, TAuInput& input) const {
  return FramesDelivered(input);
}

int64_t TKind::FramesHeld(TAuFileIn& source) const {
  return source.TotalSamples();
}

bool TKind::LengthMatches(TAuFileIn& written, int64_t frames) const {
  return written.TotalSamples() == frames;
}

uint32_t TKind::Bitrate(TAuFileIn& source) const {
  const uint64_t bitrate = uint64_t(source.SampleRate()) * uint64_t(source.Channels()) *
                           uint64_t(source.BitsPerSample());
  return static_cast<uint32_t>(std::min<uint64_t>(bitrate, UINT32_MAX));
}

void TKind::ChooseStreamFormat(TAuFileIn& source, TWMAOut& sink) const {
  sink.CodecIndex = 0;
  const std::string label =
      SourceFormatLabel(128000, static_cast<uint32_t>(source.SampleRate()), source.Channels());
  const int index = MatchFormatLabel(label, sink.FormatList(0));
  sink.FormatIndex = index > sink.FormatCount(0) ? kDefaultWmaFormat : index;
}

std::function<int64_t()> FramesDelivered(TAuInput& source) {
  const int64_t width = int64_t{source.BitsPerSample() / 8} * source.Channels();
  return [&source, width] { return width > 0 ? source.Position() / width : 0; };
}

std::function<int64_t()> FramesCombined(TAuInput& first, TAuInput& second, bool mix) {
  return [fed1 = FramesDelivered(first), fed2 = FramesDelivered(second), mix] {
    return mix ? std::max(fed1(), fed2()) : fed1() + fed2();
  };
}
