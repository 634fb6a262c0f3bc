// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_writer.h"

#include <thread>

#include "platform/media_codec_info.h"
#include "platform/media_encoder.h"
#include "platform/media_metadata.h"

namespace trimora::media {
namespace {

// About 0.2 s at 44.1 kHz; each chunk costs one extra frame of encoding.
constexpr int kLiveChunkFrames = 4;

// The key the muxer gets for an attribute. The muxer writes its own names for the
// attributes it knows and anything else as given. "WM/Track" counts from 0 in a file,
// while the text handed to us is the track number itself: it goes out as the one-based
// "WM/TrackNumber", which our reader and FFmpeg read back as the same text.
std::string MuxerKey(std::string_view name) {
  if (SameAttributeName(name, "WM/Track")) return "WM/TrackNumber";
  return std::string(name);
}

bool AcceptedPcm(const TMediaType& type) {
  const TWaveFormat& f = type.Format;
  const bool bits = f.BitsPerSample == 8 || f.BitsPerSample == 16 || f.BitsPerSample == 24 ||
                    f.BitsPerSample == 32;
  return type.MajorType == TMediaMajorType::Audio &&
         type.FormatType == TMediaFormatType::WaveFormatEx && bits && f.Channels >= 1 &&
         f.Channels <= 8 && f.SamplesPerSec >= 1000 && f.SamplesPerSec <= 384000;
}

}  // namespace

uint32_t MediaResultCode(TMediaResult result) {
  switch (result) {
    case TMediaResult::Ok:
      return 0;
    case TMediaResult::InvalidArgument:
      return 0x80070057;  // E_INVALIDARG
    case TMediaResult::NotFound:
      return 0xC00D002B;  // the runtime's "not found"
    case TMediaResult::NoMoreSamples:
      return 0xC00D0BCF;  // the runtime's "no more samples"
    case TMediaResult::ProtectedContent:
      return 0xC00D0BBE;  // the runtime's "protected content"
    case TMediaResult::Fail:
      break;
  }
  return 0x80004005;  // E_FAIL
}

TMediaWriter::TMediaWriter() = default;
TMediaWriter::~TMediaWriter() = default;

TMediaResult TMediaWriter::Open(std::shared_ptr<IMediaWriteStream> stream) {
  if (!stream || FEncoder) return TMediaResult::InvalidArgument;
  FStream = std::move(stream);
  return TMediaResult::Ok;
}

void TMediaWriter::SetStatusCallback(std::function<void(uint32_t)> callback) {
  FStatusCallback = std::move(callback);
}

TMediaResult TMediaWriter::SetProfile(const TMediaProfile& profile) {
  if (FEncoder) return TMediaResult::Fail;
  for (uint32_t i = 0; i < profile.GetStreamCount(); ++i) {
    const TMediaStreamConfig& stream = profile.GetStream(i);
    if (stream.Type.MajorType != TMediaMajorType::Audio) continue;
    FConfig = stream;
    FHasProfile = true;
    FHasInput = false;
    return TMediaResult::Ok;
  }
  return TMediaResult::InvalidArgument;
}

TMediaResult TMediaWriter::GetInputCount(uint32_t& count) const {
  count = FHasProfile ? 1 : 0;
  return TMediaResult::Ok;
}

TMediaResult TMediaWriter::GetInputProps(uint32_t input, TMediaType& type) const {
  if (!FHasProfile || input != 0) return TMediaResult::InvalidArgument;
  type = {TMediaMajorType::Audio, TMediaFormatType::WaveFormatEx,
          FHasInput ? FInput : FConfig.Type.Format};
  return TMediaResult::Ok;
}

TMediaResult TMediaWriter::SetInputProps(uint32_t input, const TMediaType& type) {
  if (!FHasProfile || input != 0 || FEncoder || !AcceptedPcm(type))
    return TMediaResult::InvalidArgument;
  FInput = type.Format;
  FHasInput = true;
  return TMediaResult::Ok;
}

TMediaResult TMediaWriter::SetAttribute(uint16_t stream, std::string_view name,
                                        const TMediaValue& value) {
  const auto* text = std::get_if<std::u16string>(&value);
  if (stream != 0 || name.empty() || text == nullptr) return TMediaResult::InvalidArgument;
  if (FEncoder) return TMediaResult::Fail;
  for (auto& [key, held] : FAttributes)
    if (SameAttributeName(key, name)) {
      held = *text;
      return TMediaResult::Ok;
    }
  FAttributes.emplace_back(std::string(name), *text);
  return TMediaResult::Ok;
}

TMediaResult TMediaWriter::BeginWriting() {
  if (!FStream || !FHasProfile || !FHasInput || FEncoder) return TMediaResult::Fail;
  TEncoderSetup setup;
  setup.Encoder = MediaEncoderName(FConfig.Codec);
  setup.Rate = static_cast<int>(FConfig.Type.Format.SamplesPerSec);
  setup.Channels = FConfig.Type.Format.Channels;
  setup.Bitrate = FConfig.Bitrate;
  setup.Input = FInput;
  // A second encoder works on every other chunk; with one core it would only take turns.
  setup.Lanes = std::thread::hardware_concurrency() > 1 ? 2 : 1;
  if (!FStream->Seekable()) {
    // Listeners hear the audio a chunk later than it was written: keep chunks short.
    setup.Lanes = 1;
    setup.ChunkFrames = kLiveChunkFrames;
  }
  for (const auto& [name, text] : FAttributes)
    setup.Metadata.emplace_back(MuxerKey(name), Utf16ToUtf8(text));
  FEncoder = TMediaEncoder::Start(setup, *FStream);
  return Report(FEncoder ? TMediaResult::Ok : TMediaResult::Fail);
}

TMediaResult TMediaWriter::WriteSample(uint32_t input, uint64_t time, const uint8_t* bytes,
                                       uint32_t size) {
  (void)time;
  if (!FEncoder || input != 0 || (bytes == nullptr && size > 0))
    return TMediaResult::InvalidArgument;
  return Report(FEncoder->Write(bytes, size) ? TMediaResult::Ok : TMediaResult::Fail);
}

TMediaResult TMediaWriter::EndWriting() {
  if (!FEncoder) return TMediaResult::Fail;
  const bool finished = FEncoder->Finish();
  const bool refused = FEncoder->StreamFailed();
  FEncoder.reset();
  FStream.reset();
  if (refused && FStatusCallback) FStatusCallback(kMediaStatusError);
  return finished ? TMediaResult::Ok : TMediaResult::Fail;
}

TMediaResult TMediaWriter::Report(TMediaResult result) {
  if (!Succeeded(result) && FEncoder && FEncoder->StreamFailed() && FStatusCallback)
    FStatusCallback(kMediaStatusError);
  return result;
}

}  // namespace trimora::media
