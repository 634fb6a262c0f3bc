// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/acm.h"

#include <memory>
#include <span>

#include "platform/acm_mp3.h"

namespace trimora::acm {

// The stream keeps the two formats it was opened with; every conversion decodes afresh.
struct TAcmStream {
  TWaveFormat Source;
  TWaveFormat Destination;
};

namespace {

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16);
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, static_cast<uint16_t>(v));
  Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

// MPEG-1 Layer-3 with its 12-byte extension is the largest description our driver knows.
constexpr uint32_t kMaxFormatSize = kWaveFormatBaseSize + 12;

bool IsMp3Source(const TWaveFormat& f) {
  return f.FormatTag == WAVE_FORMAT_MPEGLAYER3 && (f.Channels == 1 || f.Channels == 2) &&
         IsMp3SampleRate(f.SamplesPerSec);
}

TWaveFormat PcmFor(const TWaveFormat& source) {
  TWaveFormat pcm;
  pcm.FormatTag = WAVE_FORMAT_PCM;
  pcm.Channels = source.Channels;
  pcm.SamplesPerSec = source.SamplesPerSec;
  pcm.BitsPerSample = 16;
  pcm.BlockAlign = static_cast<uint16_t>(2 * source.Channels);
  pcm.AvgBytesPerSec = source.SamplesPerSec * pcm.BlockAlign;
  return pcm;
}

bool Matches(const TWaveFormat& a, const TWaveFormat& b) {
  return a.FormatTag == b.FormatTag && a.Channels == b.Channels &&
         a.SamplesPerSec == b.SamplesPerSec && a.BlockAlign == b.BlockAlign &&
         a.BitsPerSample == b.BitsPerSample;
}

bool HeaderUsable(const ACMSTREAMHEADER* header) {
  return header != nullptr && header->cbStruct >= sizeof(ACMSTREAMHEADER);
}

}  // namespace

TWaveFormat ReadWaveFormat(const uint8_t* d) {
  return {U16(d), U16(d + 2), U32(d + 4), U32(d + 8), U16(d + 12), U16(d + 14), U16(d + 16)};
}

void WriteWaveFormat(const TWaveFormat& f, uint8_t* d) {
  Put16(d, f.FormatTag);
  Put16(d + 2, f.Channels);
  Put32(d + 4, f.SamplesPerSec);
  Put32(d + 8, f.AvgBytesPerSec);
  Put16(d + 12, f.BlockAlign);
  Put16(d + 14, f.BitsPerSample);
  Put16(d + 16, f.ExtraSize);
}

MMRESULT acmMetrics(void* object, uint32_t metric, void* value) {
  if (object != nullptr) return MMSYSERR_INVALHANDLE;
  if (value == nullptr) return MMSYSERR_INVALPARAM;
  if (metric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
  *static_cast<uint32_t*>(value) = kMaxFormatSize;
  return MMSYSERR_NOERROR;
}

MMRESULT acmFormatSuggest(void* driver, const uint8_t* source, uint8_t* destination,
                          uint32_t destinationSize, uint32_t flags) {
  if (driver != nullptr) return MMSYSERR_INVALHANDLE;
  if ((flags & ~ACM_FORMATSUGGESTF_WFORMATTAG) != 0) return MMSYSERR_INVALFLAG;
  if (source == nullptr || destination == nullptr || destinationSize < kWaveFormatBaseSize) {
    return MMSYSERR_INVALPARAM;
  }
  const TWaveFormat src = ReadWaveFormat(source);
  if (!IsMp3Source(src)) return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) != 0 &&
      ReadWaveFormat(destination).FormatTag != WAVE_FORMAT_PCM) {
    return ACMERR_NOTPOSSIBLE;
  }
  WriteWaveFormat(PcmFor(src), destination);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, void* driver, const uint8_t* source,
                       const uint8_t* destination, const void* filter, uintptr_t /*callback*/,
                       uintptr_t /*instance*/, uint32_t flags) {
  const bool query = (flags & ACM_STREAMOPENF_QUERY) != 0;
  if (stream != nullptr) *stream = nullptr;
  if (driver != nullptr) return MMSYSERR_INVALHANDLE;
  if ((flags & ~(ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME)) != 0) {
    return MMSYSERR_INVALFLAG;
  }
  if (filter != nullptr) return MMSYSERR_NOTSUPPORTED;
  if (source == nullptr || destination == nullptr || (stream == nullptr && !query)) {
    return MMSYSERR_INVALPARAM;
  }
  const TWaveFormat src = ReadWaveFormat(source);
  const TWaveFormat dst = ReadWaveFormat(destination);
  if (!IsMp3Source(src) || !Matches(dst, PcmFor(src))) return ACMERR_NOTPOSSIBLE;
  if (query) return MMSYSERR_NOERROR;
  auto owned = std::make_unique<TAcmStream>(TAcmStream{src, dst});
  *stream = owned.release();  // acmStreamClose takes it back
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, uint32_t sourceBytes, uint32_t* destinationBytes,
                       uint32_t flags) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (flags != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_INVALFLAG;
  if (destinationBytes == nullptr) return MMSYSERR_INVALPARAM;
  const uint64_t bound =
      Mp3PcmBound(sourceBytes, stream->Source.SamplesPerSec, stream->Source.Channels);
  if (sourceBytes == 0 || bound > UINT32_MAX) return ACMERR_NOTPOSSIBLE;
  *destinationBytes = static_cast<uint32_t>(bound);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (flags != 0) return MMSYSERR_INVALFLAG;
  if (!HeaderUsable(header) || (header->pbSrc == nullptr && header->cbSrcLength > 0) ||
      (header->pbDst == nullptr && header->cbDstLength > 0)) {
    return MMSYSERR_INVALPARAM;
  }
  header->fdwStatus =
      (header->fdwStatus & ~ACMSTREAMHEADER_STATUSF_DONE) | ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if ((flags & ~ACM_STREAMCONVERTF_BLOCKALIGN) != 0) return MMSYSERR_INVALFLAG;
  if (!HeaderUsable(header)) return MMSYSERR_INVALPARAM;
  if ((header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) return ACMERR_UNPREPARED;
  const TMp3DecodeResult r = DecodeMp3(
      std::span(header->pbSrc, header->cbSrcLength), std::span(header->pbDst, header->cbDstLength),
      stream->Destination.SamplesPerSec, stream->Destination.Channels);
  header->cbSrcLengthUsed = r.SourceUsed;
  header->cbDstLengthUsed = r.PcmBytes;
  header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  if (r.Failed) return MMSYSERR_ERROR;
  if (header->cbSrcLength > 0 && r.FramesDecoded == 0) return ACMERR_NOTPOSSIBLE;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (flags != 0) return MMSYSERR_INVALFLAG;
  if (!HeaderUsable(header)) return MMSYSERR_INVALPARAM;
  if ((header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) return ACMERR_UNPREPARED;
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, uint32_t flags) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (flags != 0) return MMSYSERR_INVALFLAG;
  std::unique_ptr<TAcmStream> owner(stream);
  return MMSYSERR_NOERROR;
}

}  // namespace trimora::acm
