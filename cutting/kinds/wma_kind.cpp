// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/kinds/wma_kind.h"

#include <cstdlib>

#include "cutting/kinds/wma_cut_settings.h"
#include "formats/media/wm_in.h"
#include "formats/media/wma_out.h"
#include "platform/media_codec_info.h"

std::unique_ptr<TAuFileIn> TWMAKind::MakeSource() const {
  return SetUp(std::make_unique<TWMIn>());
}

std::unique_ptr<TAuFileOut> TWMAKind::MakeSink() const {
  auto wma = std::make_unique<TWMAOut>();
  wma->ShareMode = 0;
  wma->DesiredBitrate = 0;
  wma->Lossless = false;
  wma->VBR = false;
  wma->VBRQuality = 0;
  return wma;
}

std::string TWMAKind::FrameKeepingRefusal() const {
  return "WMA frames cannot be kept as they are: a WMA cut is always re-encoded";
}

void TWMAKind::PrepareCut(TAuFileIn& source, TAuFileOut& sink) const {
  SetUpWMACut(dynamic_cast<TWMIn&>(source), dynamic_cast<TWMAOut&>(sink));
}

TPcmShape TWMAKind::WrittenShape(TAuFileOut& sink, TPcmShape input) const {
  const auto& wma = dynamic_cast<TWMAOut&>(sink);
  if (wma.CodecIndex < 0 || wma.FormatIndex < 0) return input;
  trimora::media::TMediaStreamConfig config;
  const trimora::media::TMediaCodecInfo codecs;
  if (!trimora::media::Succeeded(codecs.GetCodecFormat(
          trimora::media::TMediaMajorType::Audio, static_cast<uint32_t>(wma.CodecIndex),
          static_cast<uint32_t>(wma.FormatIndex), config)))
    return input;
  return {config.Type.Format.Channels, static_cast<int>(config.Type.Format.SamplesPerSec)};
}

bool TWMAKind::LengthMatches(TAuFileIn& written, int64_t frames) const {
  const int64_t rate = written.SampleRate();
  return std::llabs(written.TotalSamples() - frames) <= rate / 100 + 1;
}
