// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/wma_kind.h"

#include <cstdlib>

#include "cutting/wma_cut_settings.h"
#include "formats/media/wm_in.h"
#include "formats/media/wma_out.h"
#include "platform/media_codec_info.h"

void SetUpMediaSource(TAuFileIn& source) {
  auto& media = dynamic_cast<TWMIn&>(source);
  media.Loop = false;
  media.EndSample = -1;
  media.SetHighPrecision(false);
  media.SetOutputChannels(cnMonoOrStereo);
}

std::unique_ptr<TAuFileIn> MakeWMASource() {
  return std::make_unique<TWMIn>();
}

std::unique_ptr<TAuFileOut> MakeWMASink() {
  return std::make_unique<TWMAOut>();
}

void SetUpWMASink(TAuFileOut& sink) {
  auto& wma = dynamic_cast<TWMAOut&>(sink);
  wma.ShareMode = 0;
  wma.DesiredBitrate = 0;
  wma.Lossless = false;
  wma.VBR = false;
  wma.VBRQuality = 0;
}

void PrepareWMACut(TAuFileIn& source, TAuFileOut& sink) {
  SetUpWMACut(dynamic_cast<TWMIn&>(source), dynamic_cast<TWMAOut&>(sink));
}

std::string DescribeWMA(TAuFileIn& source) {
  auto& wma = dynamic_cast<TWMIn&>(source);
  const std::string kbps = std::to_string((wma.Bitrate() + 500) / 1000) + " kbps";
  return wma.IsVBR() ? "WMA, VBR " + kbps : "WMA, " + kbps;
}

void WMAWrittenShape(TAuFileOut& sink, int& channels, int& rate) {
  const auto& wma = dynamic_cast<TWMAOut&>(sink);
  if (wma.CodecIndex < 0 || wma.FormatIndex < 0) return;
  trimora::media::TMediaStreamConfig config;
  const trimora::media::TMediaCodecInfo codecs;
  if (!trimora::media::Succeeded(codecs.GetCodecFormat(
          trimora::media::TMediaMajorType::Audio, static_cast<uint32_t>(wma.CodecIndex),
          static_cast<uint32_t>(wma.FormatIndex), config)))
    return;
  channels = config.Type.Format.Channels;
  rate = static_cast<int>(config.Type.Format.SamplesPerSec);
}

bool WMALengthMatches(TAuFileIn& written, int64_t frames) {
  const int64_t rate = written.SampleRate();
  return std::llabs(written.TotalSamples() - frames) <= rate / 100 + 1;
}
