// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_runtime.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "platform/media_avio.h"
#include "platform/media_file.h"

namespace trimora::media {
namespace {

// The settings and the chosen format of one output.
struct TOutputState {
  bool Discrete = false;
  uint32_t SpeakerLimit = 0;  // 0: no limit
  std::optional<TWaveFormat> Chosen;
};

bool SameFormat(const TWaveFormat& a, const TWaveFormat& b) {
  return a.Channels == b.Channels && a.SamplesPerSec == b.SamplesPerSec &&
         a.BitsPerSample == b.BitsPerSample;
}

TMediaType AudioType(const TWaveFormat& format) {
  return {TMediaMajorType::Audio, TMediaFormatType::WaveFormatEx, format};
}

// The PCM formats an output offers, from the fewest channels and narrowest samples up, so
// that a caller that keeps the last match of a walk ends with the richest one. The rate is
// always the file's own. A file of more than two channels offers a stereo downmix, and its
// own channels (or as many as the speaker setting allows) only with discrete output.
std::vector<TWaveFormat> OfferedFormats(const TMediaStreamInfo& info, const TOutputState& state) {
  std::vector<TWaveFormat> formats;
  if (info.MajorType != TMediaMajorType::Audio || !info.Decodable) return formats;
  std::vector<int> counts = {std::min(info.Channels, 2)};
  if (state.Discrete && info.Channels > 2) {
    int discrete = info.Channels;
    if (state.SpeakerLimit > 0)
      discrete = std::min<int>(discrete, static_cast<int>(state.SpeakerLimit));
    if (discrete > 2) counts.push_back(discrete);
  }
  std::vector<int> widths = {8, 16};
  if (info.Wide) widths.push_back(24);
  for (int channels : counts)
    for (int bits : widths)
      formats.push_back({static_cast<uint16_t>(channels), static_cast<uint32_t>(info.SampleRate),
                         static_cast<uint16_t>(bits)});
  return formats;
}

}  // namespace

class TMediaSyncReader::TImpl {
 public:
  std::unique_ptr<TMediaFile> File;
  std::vector<TOutputState> Outputs;
  int ReadOutput = -1;
  // Declared after File, which it reads from.
  std::unique_ptr<TMediaDecoder> Decoder;
  int DecoderOutput = -1;
  TWaveFormat DecoderFormat;

  bool ValidOutput(uint32_t output) const { return File && output < Outputs.size(); }
  const TMediaStreamInfo& Info(uint32_t output) const { return File->Streams()[output]; }

  TWaveFormat Current(uint32_t output) const {
    const auto formats = OfferedFormats(Info(output), Outputs[output]);
    const auto& chosen = Outputs[output].Chosen;
    if (chosen) return *chosen;
    const TMediaStreamInfo& info = Info(output);
    // The file's own rate and channels (or the downmix) at 16 bits.
    TWaveFormat current{static_cast<uint16_t>(std::max(0, std::min(info.Channels, 2))),
                        static_cast<uint32_t>(std::max(0, info.SampleRate)), 16};
    if (!formats.empty()) current.Channels = formats.back().Channels;
    return current;
  }

  void DropChosenUnlessOffered(uint32_t output) {
    auto& state = Outputs[output];
    if (!state.Chosen) return;
    const auto formats = OfferedFormats(Info(output), state);
    const bool offered = std::any_of(formats.begin(), formats.end(), [&](const TWaveFormat& f) {
      return SameFormat(f, *state.Chosen);
    });
    if (!offered) state.Chosen.reset();
  }

  // The decoder for `output` in its current format, made or adapted as needed.
  TMediaDecoder* DecoderFor(int output) {
    if (output < 0 || !ValidOutput(static_cast<uint32_t>(output))) return nullptr;
    const auto index = static_cast<uint32_t>(output);
    if (OfferedFormats(Info(index), Outputs[index]).empty()) return nullptr;
    const TWaveFormat format = Current(index);
    if (Decoder && DecoderOutput == output) {
      if (!SameFormat(format, DecoderFormat))
        Decoder->SetFormat(format.Channels, format.BitsPerSample);
    } else {
      Decoder.reset();
      Decoder = File->MakeDecoder(output, format.Channels, format.BitsPerSample);
      if (Decoder && !Decoder->Valid()) Decoder.reset();
      DecoderOutput = Decoder ? output : -1;
    }
    DecoderFormat = format;
    return Decoder.get();
  }

  int FirstAudioOutput() const {
    for (uint32_t i = 0; i < Outputs.size(); ++i)
      if (!OfferedFormats(Info(i), Outputs[i]).empty()) return static_cast<int>(i);
    return -1;
  }
};

TMediaSyncReader::TMediaSyncReader() : FImpl(std::make_unique<TImpl>()) {
  QuietFfmpeg();
}

TMediaSyncReader::~TMediaSyncReader() {
  // Closing only lets go of what is held; it cannot fail.
  static_cast<void>(Close());
}

TMediaResult TMediaSyncReader::OpenStream(std::shared_ptr<IMediaStream> stream) {
  static_cast<void>(Close());  // lets go of a previous file; cannot fail
  FImpl->File = TMediaFile::Open(std::move(stream));
  if (!FImpl->File) return TMediaResult::Fail;
  FImpl->Outputs.assign(FImpl->File->Streams().size(), TOutputState{});
  return TMediaResult::Ok;
}

TMediaResult TMediaSyncReader::Close() {
  FImpl->Decoder.reset();
  FImpl->DecoderOutput = -1;
  FImpl->ReadOutput = -1;
  FImpl->Outputs.clear();
  FImpl->File.reset();
  return TMediaResult::Ok;
}

TMediaResult TMediaSyncReader::GetOutputCount(uint32_t& count) {
  if (!FImpl->File) return TMediaResult::Fail;
  count = static_cast<uint32_t>(FImpl->Outputs.size());
  return TMediaResult::Ok;
}

TMediaResult TMediaSyncReader::GetOutputProps(uint32_t output, TMediaType& type) {
  if (!FImpl->ValidOutput(output)) return TMediaResult::InvalidArgument;
  const TMediaStreamInfo& info = FImpl->Info(output);
  if (info.MajorType != TMediaMajorType::Audio) {
    type = TMediaType{info.MajorType, TMediaFormatType::None, {}};
    return TMediaResult::Ok;
  }
  type = AudioType(FImpl->Current(output));
  return TMediaResult::Ok;
}

TMediaResult TMediaSyncReader::SetOutputProps(uint32_t output, const TMediaType& type) {
  if (!FImpl->ValidOutput(output)) return TMediaResult::InvalidArgument;
  if (type.MajorType != TMediaMajorType::Audio || type.FormatType != TMediaFormatType::WaveFormatEx)
    return TMediaResult::InvalidArgument;
  const auto formats = OfferedFormats(FImpl->Info(output), FImpl->Outputs[output]);
  for (const auto& format : formats) {
    if (!SameFormat(format, type.Format)) continue;
    FImpl->Outputs[output].Chosen = format;
    return TMediaResult::Ok;
  }
  return TMediaResult::InvalidArgument;
}

TMediaResult TMediaSyncReader::SetOutputSetting(uint32_t output, std::string_view name,
                                                const TMediaValue& value) {
  if (!FImpl->ValidOutput(output)) return TMediaResult::InvalidArgument;
  auto& state = FImpl->Outputs[output];
  if (name == "EnableDiscreteOutput" && std::holds_alternative<bool>(value)) {
    state.Discrete = std::get<bool>(value);
  } else if (name == "SpeakerConfig" && std::holds_alternative<uint32_t>(value)) {
    state.SpeakerLimit = std::get<uint32_t>(value);
  } else {
    return TMediaResult::InvalidArgument;
  }
  FImpl->DropChosenUnlessOffered(output);
  return TMediaResult::Ok;
}

TMediaResult TMediaSyncReader::GetOutputFormatCount(uint32_t output, uint32_t& count) {
  if (!FImpl->ValidOutput(output)) return TMediaResult::InvalidArgument;
  count = static_cast<uint32_t>(OfferedFormats(FImpl->Info(output), FImpl->Outputs[output]).size());
  return TMediaResult::Ok;
}

TMediaResult TMediaSyncReader::GetOutputFormat(uint32_t output, uint32_t index, TMediaType& type) {
  if (!FImpl->ValidOutput(output)) return TMediaResult::InvalidArgument;
  const auto formats = OfferedFormats(FImpl->Info(output), FImpl->Outputs[output]);
  if (index >= formats.size()) return TMediaResult::InvalidArgument;
  type = AudioType(formats[index]);
  return TMediaResult::Ok;
}

TMediaResult TMediaSyncReader::GetStreamNumberForOutput(uint32_t output, uint16_t& stream) {
  if (!FImpl->ValidOutput(output) || output >= 0xFFFF) return TMediaResult::InvalidArgument;
  stream = static_cast<uint16_t>(output + 1);
  return TMediaResult::Ok;
}

TMediaResult TMediaSyncReader::SetReadStreamSamples(uint16_t stream, bool compressed) {
  if (!FImpl->File) return TMediaResult::Fail;
  if (stream == 0 || !FImpl->ValidOutput(stream - 1u)) return TMediaResult::InvalidArgument;
  if (FImpl->File->Protected()) return TMediaResult::ProtectedContent;
  if (compressed) return TMediaResult::Fail;
  FImpl->ReadOutput = stream - 1;
  return TMediaResult::Ok;
}

TMediaResult TMediaSyncReader::GetNextSample(uint16_t stream, TMediaSample& sample) {
  if (!FImpl->File) return TMediaResult::Fail;
  if (stream == 0 || !FImpl->ValidOutput(stream - 1u)) return TMediaResult::InvalidArgument;
  if (FImpl->File->Protected()) return TMediaResult::ProtectedContent;
  TMediaDecoder* decoder = FImpl->DecoderFor(stream - 1);
  if (decoder == nullptr) return TMediaResult::Fail;
  return decoder->Next(sample);
}

TMediaResult TMediaSyncReader::SetRange(uint64_t start, int64_t duration) {
  if (!FImpl->File) return TMediaResult::Fail;
  if (FImpl->File->Protected()) return TMediaResult::ProtectedContent;
  const int output = FImpl->ReadOutput >= 0 ? FImpl->ReadOutput : FImpl->FirstAudioOutput();
  TMediaDecoder* decoder = FImpl->DecoderFor(output);
  if (decoder == nullptr) return TMediaResult::Fail;
  const int64_t rate = FImpl->Info(static_cast<uint32_t>(output)).SampleRate;
  if (start > static_cast<uint64_t>(INT64_MAX / rate)) return TMediaResult::InvalidArgument;
  const auto first = static_cast<int64_t>(start);
  const int64_t index = av_rescale_rnd(first, rate, 10000000, AV_ROUND_NEAR_INF);
  int64_t end = -1;
  if (duration > 0 && duration <= INT64_MAX / rate - first)
    end = av_rescale_rnd(first + duration, rate, 10000000, AV_ROUND_NEAR_INF);
  return decoder->Seek(index, end);
}

std::optional<int64_t> TMediaSyncReader::SampleCount() const {
  if (!FImpl->File) return std::nullopt;
  return FImpl->File->SampleCount();
}

std::vector<TMediaFormatChange> TMediaSyncReader::FormatChanges() const {
  if (!FImpl->File) return {};
  return FImpl->File->FormatChanges();
}

std::optional<int> TMediaSyncReader::EncoderVbrQuality() const {
  if (!FImpl->File) return std::nullopt;
  return FImpl->File->EncoderVbrQuality();
}

IMediaHeaderInfo* TMediaSyncReader::HeaderInfo() {
  return FImpl->File ? this : nullptr;
}

TMediaResult TMediaSyncReader::GetAttributeByName(uint16_t stream, std::string_view name,
                                                  TMediaValue& value) {
  if (!FImpl->File) return TMediaResult::Fail;
  if (stream != 0) return TMediaResult::NotFound;
  const TMediaFile& file = *FImpl->File;
  if (name == "Duration") {
    if (!file.Duration()) return TMediaResult::NotFound;
    value = *file.Duration();
  } else if (name == "Bitrate") {
    if (file.Bitrate() == 0) return TMediaResult::NotFound;
    value = file.Bitrate();
  } else if (name == "IsVBR") {
    value = file.IsVBR();
  } else if (auto text = MediaAttributeText(file.Metadata(), name)) {
    value = std::move(*text);
  } else {
    return TMediaResult::NotFound;
  }
  return TMediaResult::Ok;
}

}  // namespace trimora::media
