// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/media/wma_sync_reader.h"

#include <algorithm>
#include <cmath>

using namespace trimora::media;

namespace {

// Where a second open attempt starts: just past an ASF header object's fixed part.
constexpr int64_t kRetryOffset = 30;

// Keeps `format` when it suits the request; the last format that suits wins.
bool Suits(const TWaveFormat& format, int8_t request, const TWaveFormat& best) {
  if (request > 0) return format.Channels == request;
  return format.Channels >= best.Channels && format.SamplesPerSec >= best.SamplesPerSec &&
         format.BitsPerSample >= best.BitsPerSample;
}

// Takes `type` for the output only when the reader accepts it, so the record never describes
// PCM the reader does not deliver; false when the reader refuses it.
bool Choose(TWmaSyncReader& r, uint32_t output, const TMediaType& type) {
  if (!Succeeded(r.Reader->SetOutputProps(output, type))) return false;
  r.HasAudio = true;
  r.OutputNumber = output;
  r.Channels = type.Format.Channels;
  r.SampleRate = type.Format.SamplesPerSec;
  r.BitsPerSample = type.Format.BitsPerSample;
  return true;
}

// Walks the formats of an audio output and keeps choosing those that fit the request.
// `best` is the last choice over all outputs so far.
void ChooseFormat(TWmaSyncReader& r, uint32_t output, int8_t request, const TMediaType& current,
                  TWaveFormat& best) {
  uint32_t count = 0;
  if (!Succeeded(r.Reader->GetOutputFormatCount(output, count))) return;
  for (uint32_t i = 0; i < count; ++i) {
    TMediaType type;
    if (!Succeeded(r.Reader->GetOutputFormat(output, i, type))) continue;
    if (type.FormatType != TMediaFormatType::WaveFormatEx) continue;
    bool fits = false;
    if (request == 0) {
      // The file's own rate and channels at the widest sample offered.
      fits = type.Format.SamplesPerSec == current.Format.SamplesPerSec &&
             type.Format.Channels == current.Format.Channels &&
             type.Format.BitsPerSample >= best.BitsPerSample;
    } else {
      fits = Suits(type.Format, request, best);
    }
    // A format the reader refuses is not the one to beat.
    if (fits && Choose(r, output, type)) best = type.Format;
  }
}

}  // namespace

void wma_reader_open(TWmaSyncReader& r, TAuStream& stream, bool highPrecision, int8_t channels) {
  r = TWmaSyncReader{};
  r.Reader = std::make_unique<TMediaSyncReader>();
  r.AudioStream = std::make_shared<TAudioStream>(stream);
  if (!Succeeded(r.Reader->OpenStream(r.AudioStream))) {
    uint64_t position = 0;
    if (!Succeeded(r.AudioStream->Seek(kRetryOffset, TMediaSeekOrigin::Begin, position)) ||
        !Succeeded(r.Reader->OpenStream(r.AudioStream))) {
      r.Reader.reset();
      r.AudioStream.reset();
      return;
    }
  }
  uint32_t outputs = 0;
  if (!Succeeded(r.Reader->GetOutputCount(outputs))) {
    r.Reader.reset();
    return;
  }
  TWaveFormat best;  // all zero: the first PCM format always fits an open request
  for (uint32_t output = 0; output < outputs; ++output) {
    TMediaType current;
    if (!Succeeded(r.Reader->GetOutputProps(output, current))) continue;
    if (current.MajorType != TMediaMajorType::Audio) continue;
    // Settings are requests: one the output refuses only narrows the formats it then offers,
    // and the choice below is made from those.
    static_cast<void>(r.Reader->SetOutputSetting(output, "EnableDiscreteOutput", highPrecision));
    if (channels > 2)
      static_cast<void>(
          r.Reader->SetOutputSetting(output, "SpeakerConfig", static_cast<uint32_t>(channels)));
    ChooseFormat(r, output, channels, current, best);
  }
  if (!r.HasAudio) return;
  if (!Succeeded(r.Reader->GetStreamNumberForOutput(r.OutputNumber, r.StreamNumber))) {
    r.HasAudio = false;  // nothing could be read from it
    return;
  }
  r.Protected =
      r.Reader->SetReadStreamSamples(r.StreamNumber, false) == TMediaResult::ProtectedContent;
  r.HeaderInfo = r.Reader->HeaderInfo();
  TMediaValue duration;
  if (r.HeaderInfo != nullptr &&
      Succeeded(r.HeaderInfo->GetAttributeByName(0, "Duration", duration)) &&
      std::holds_alternative<uint64_t>(duration))
    r.Duration = std::get<uint64_t>(duration);
  r.Samples = r.Reader->SampleCount().value_or(-1);
  r.FormatChanges = r.Reader->FormatChanges();
  r.VbrQuality = r.Reader->EncoderVbrQuality().value_or(-1);
}

int64_t wma_reader_duration(const TWmaSyncReader& r) {
  return static_cast<int64_t>(std::nearbyint(static_cast<double>(r.Duration) / 100000.0));
}

void wma_reader_format(const TWmaSyncReader& r, uint16_t& channels, uint16_t& bitsPerSample,
                       uint32_t& sampleRate) {
  channels = static_cast<uint16_t>(r.Channels);
  bitsPerSample = static_cast<uint16_t>(r.BitsPerSample);
  sampleRate = r.SampleRate;
}

const uint8_t* wma_reader_read(TWmaSyncReader& r, uint32_t& bytes) {
  const uint32_t wanted = bytes;
  bytes = 0;
  for (;;) {
    if (r.HasSample) {
      const auto length = static_cast<uint32_t>(r.Sample.Bytes.size());
      if (r.BufferOffset < length) {
        bytes = std::min(wanted, length - r.BufferOffset);
        const uint8_t* data = r.Sample.Bytes.data() + r.BufferOffset;
        r.BufferOffset += bytes;
        return data;
      }
    }
    r.HasSample = false;
    r.BufferOffset = 0;
    if (!r.Reader || !Succeeded(r.Reader->GetNextSample(r.StreamNumber, r.Sample))) return nullptr;
    r.HasSample = true;
  }
}

TMediaResult wma_reader_seek(TWmaSyncReader& r, uint32_t time) {
  // What is left of the sample in hand lies before the new position.
  r.HasSample = false;
  r.BufferOffset = 0;
  if (!r.Reader) return TMediaResult::Fail;
  return r.Reader->SetRange(static_cast<uint64_t>(time) * 100000, 0);
}

void wma_reader_close(TWmaSyncReader& r) {
  if (r.Reader) static_cast<void>(r.Reader->Close());  // only lets go of the file; cannot fail
  r.HasSample = false;
  r.BufferOffset = 0;
  r.HeaderInfo = nullptr;
  r.Reader.reset();
  r.AudioStream.reset();
}

std::u16string wma_reader_text(const TWmaSyncReader& r, std::string_view name) {
  TMediaValue value;
  if (r.HeaderInfo == nullptr || !Succeeded(r.HeaderInfo->GetAttributeByName(0, name, value)) ||
      !std::holds_alternative<std::u16string>(value))
    return {};
  auto text = std::get<std::u16string>(std::move(value));
  text.resize(std::min(text.size(), text.find(u'\0')));
  return text;
}

uint32_t wma_reader_bitrate(const TWmaSyncReader& r) {
  TMediaValue value;
  if (r.HeaderInfo == nullptr || !Succeeded(r.HeaderInfo->GetAttributeByName(0, "Bitrate", value)))
    return 0;
  if (const auto* dword = std::get_if<uint32_t>(&value)) return *dword;
  return 0;
}

uint32_t wma_reader_is_vbr(const TWmaSyncReader& r) {
  TMediaValue value;
  if (r.HeaderInfo == nullptr || !Succeeded(r.HeaderInfo->GetAttributeByName(0, "IsVBR", value)))
    return 0;
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? 1 : 0;
  if (const auto* dword = std::get_if<uint32_t>(&value)) return *dword;
  return 0;
}
