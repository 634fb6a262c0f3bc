// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Our Audio Compression Manager: the handful of calls that the MP3-in-WAV converter makes,
// with one "driver" that decodes MPEG Layer-3 (format tag 0x55) to 16-bit PCM through
// FFmpeg. As with the system service, results are 0 on success and an error number
// otherwise, and format descriptions are passed as bytes in their stored layout: the 18-byte
// base (uint16 tag, uint16 channels, uint32 samples per second, uint32 average bytes per
// second, uint16 block align, uint16 bits per sample, uint16 extension size) and the
// extension. The calls never read more than the 18-byte base of a source description and
// never write more than a destination's stated size.

#include <cstdint>

namespace trimora::acm {

using MMRESULT = uint32_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
inline constexpr MMRESULT ACMERR_UNPREPARED = 514;

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x55;
inline constexpr uint32_t kWaveFormatBaseSize = 18;

inline constexpr uint32_t ACM_METRIC_MAX_SIZE_FORMAT = 50;
inline constexpr uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
inline constexpr uint32_t ACM_STREAMOPENF_QUERY = 0x00000001;
inline constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;
inline constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
inline constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

// The common fields of a format description, for reading and writing the stored layout.
struct TWaveFormat {
  uint16_t FormatTag = 0;
  uint16_t Channels = 0;
  uint32_t SamplesPerSec = 0;
  uint32_t AvgBytesPerSec = 0;
  uint16_t BlockAlign = 0;
  uint16_t BitsPerSample = 0;
  uint16_t ExtraSize = 0;
};
TWaveFormat ReadWaveFormat(const uint8_t* description);                 // reads 18 bytes
void WriteWaveFormat(const TWaveFormat& format, uint8_t* description);  // writes 18 bytes

struct TAcmStream;  // an open conversion; made by acmStreamOpen, freed by acmStreamClose
using HACMSTREAM = TAcmStream*;

// One conversion job: the whole source buffer in, as much PCM as fits the destination out.
struct ACMSTREAMHEADER {
  uint32_t cbStruct = sizeof(ACMSTREAMHEADER);
  uint32_t fdwStatus = 0;
  uintptr_t dwUser = 0;
  const uint8_t* pbSrc = nullptr;
  uint32_t cbSrcLength = 0;
  uint32_t cbSrcLengthUsed = 0;
  uintptr_t dwSrcUser = 0;
  uint8_t* pbDst = nullptr;
  uint32_t cbDstLength = 0;
  uint32_t cbDstLengthUsed = 0;
  uintptr_t dwDstUser = 0;
};

// ACM_METRIC_MAX_SIZE_FORMAT: the largest format description a driver uses, into a uint32.
// The object must be null (the whole manager).
MMRESULT acmMetrics(void* object, uint32_t metric, void* value);

// Suggests a destination format for `source`. Only ACM_FORMATSUGGESTF_WFORMATTAG is
// supported, with the destination's tag set to PCM: it is filled in as 16-bit PCM of the
// source's channels and rate. `destinationSize` must hold the 18-byte base.
MMRESULT acmFormatSuggest(void* driver, const uint8_t* source, uint8_t* destination,
                          uint32_t destinationSize, uint32_t flags);

// Opens a conversion from MPEG Layer-3 to 16-bit PCM of the same channels (1 or 2) and rate.
// Driver and filter must be null; callbacks are not supported. With ACM_STREAMOPENF_QUERY
// only tells whether the conversion is possible and opens nothing.
MMRESULT acmStreamOpen(HACMSTREAM* stream, void* driver, const uint8_t* source,
                       const uint8_t* destination, const void* filter, uintptr_t callback,
                       uintptr_t instance, uint32_t flags);

// An upper bound for the PCM that `sourceBytes` of MPEG Layer-3 data can decode to; fails
// when the bound does not fit 32 bits.
MMRESULT acmStreamSize(HACMSTREAM stream, uint32_t sourceBytes, uint32_t* destinationBytes,
                       uint32_t flags);

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags);

// Decodes the header's whole source buffer into its destination buffer and reports the bytes
// used on both sides. Damaged frames are passed over; frames of another sample rate than
// the stream's are dropped, and mono or stereo frames are matched to the stream's channels.
// ACMERR_NOTPOSSIBLE when the source held data but not one frame could be decoded.
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags);

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags);

// Frees the stream; it is invalid afterwards.
MMRESULT acmStreamClose(HACMSTREAM stream, uint32_t flags);

}  // namespace trimora::acm
