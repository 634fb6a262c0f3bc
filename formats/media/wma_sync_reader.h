// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The reader layer between the Windows Media and MP3 sources and the media runtime: one
// record per open source and free functions on it. It asks the runtime for PCM in the
// format a source wants and hands it out in the pieces the runtime decodes.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/media/audio_stream.h"
#include "pipeline/au_stream.h"
#include "platform/media_runtime.h"

struct TWmaSyncReader {
  std::shared_ptr<TAudioStream> AudioStream;  // the adapter the runtime reads through
  std::unique_ptr<trimora::media::TMediaSyncReader> Reader;  // unset when the open failed
  trimora::media::TMediaSample Sample;  // the sample being handed out, while HasSample
  bool HasSample = false;
  trimora::media::IMediaHeaderInfo* HeaderInfo = nullptr;  // of Reader; for attributes
  uint32_t BufferOffset = 0;                               // bytes of Sample already handed out
  uint16_t StreamNumber = 0;
  uint32_t OutputNumber = 0;
  bool HasAudio = false;   // an audio output with an acceptable PCM format was chosen
  bool Protected = false;  // the runtime refused to decode: the content is protected
  int32_t Channels = 0;
  uint32_t SampleRate = 0;
  uint32_t BitsPerSample = 0;
  uint64_t Duration = 0;  // 100 ns; 0 when the file does not tell
  int64_t Samples = -1;   // of a straight decode, where the runtime counted them (MP3)
  std::vector<trimora::media::TMediaFormatChange> FormatChanges;
  int VbrQuality = -1;  // what the encoder recorded (MP3); -1 when nothing
};

// Opens the runtime's reader on `stream` and chooses its PCM output. `channels` is the
// request: 0 for the file's own channels at the widest samples offered, -1 for the richest
// format, or an exact count (6, 8). The record is reset first; Reader stays unset when the
// runtime does not recognise the stream.
void wma_reader_open(TWmaSyncReader& reader, TAuStream& stream, bool highPrecision,
                     int8_t channels);
// The duration in hundredths of a second, rounded to nearest.
int64_t wma_reader_duration(const TWmaSyncReader& reader);
void wma_reader_format(const TWmaSyncReader& reader, uint16_t& channels, uint16_t& bitsPerSample,
                       uint32_t& sampleRate);
// At most `bytes` bytes of PCM, never more than the rest of the current runtime sample;
// `bytes` becomes the count handed out, 0 (and no pointer) only at the end of the data.
const uint8_t* wma_reader_read(TWmaSyncReader& reader, uint32_t& bytes);
// Decoding continues at `time` (hundredths of a second) up to the end.
trimora::media::TMediaResult wma_reader_seek(TWmaSyncReader& reader, uint32_t time);
void wma_reader_close(TWmaSyncReader& reader);
// The text attribute `name` ("Author", "WM/AlbumTitle", ...) up to its first NUL; empty
// when absent.
std::u16string wma_reader_text(const TWmaSyncReader& reader, std::string_view name);
// The "Bitrate" attribute in bits per second; 0 when absent.
uint32_t wma_reader_bitrate(const TWmaSyncReader& reader);
// The "IsVBR" attribute; 0 when absent.
uint32_t wma_reader_is_vbr(const TWmaSyncReader& reader);
