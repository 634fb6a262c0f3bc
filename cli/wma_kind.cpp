#include "cli/wma_kind.h"

#include <cstdlib>

#include "cutting/wma_cut_settings.h"
#include "formats/media/wm_in.h"
#include "formats/media/wma_out.h"
#include "platform/media_codec_info.h"

std::unique_ptr<TAuFileIn> SetUpMediaSource(std::unique_ptr<TWMIn> source) {
  source->Loop = false;
  source->EndSample = -1;
  source->SetHighPrecision(false);
  source->SetOutputChannels(cnMonoOrStereo);
  return source;
}

std::unique_ptr<TAuFileIn> MakeWMASource() {
  return SetUpMediaSource(std::make_unique<TWMIn>());
}

std::unique_ptr<TAuFileOut> MakeWMASink() {
  auto sink = std::make_unique<TWMAOut>();
  sink->ShareMode = 0;
  sink->DesiredBitrate = 0;
  sink->Lossless = false;
  sink->VBR = false;
  sink->VBRQuality = 0;
  return sink;
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
