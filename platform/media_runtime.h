// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The reader side of our media runtime: a synchronous reader that opens an MP3 or Windows
// Media (ASF) file through a caller's byte stream, lists its outputs and the PCM formats
// each can deliver, and hands out decoded PCM one sample (a buffer of frames) at a time.
// It speaks in the terms the reader layer in formats/media was designed against: outputs,
// output settings by name, stream numbers, times in 100-nanosecond units and attributes by
// name ("Duration", "Bitrate", "IsVBR", "Author", ...).
//
// A reader is not thread-safe; its owner serialises the calls.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace trimora::media {

// A result is checked, or dropped on purpose with static_cast<void>. The formatter misreads
// an attribute on an enum, hence the fence.
// clang-format off
enum class [[nodiscard]] TMediaResult {
  Ok,
  Fail,              // the call failed; nothing changed
  InvalidArgument,   // an output, format or stream number that does not exist
  NotFound,          // no such attribute
  NoMoreSamples,     // the end of the data (or of the range)
  ProtectedContent,  // the content is encrypted and cannot be decoded
};
// clang-format on

inline bool Succeeded(TMediaResult result) {
  return result == TMediaResult::Ok;
}

enum class TMediaSeekOrigin { Begin, Current, End };

// The byte stream a reader reads its file through. The reader keeps a reference for as
// long as it is open. Failures are results, never exceptions: FFmpeg calls these from C.
class IMediaStream {
 public:
  virtual ~IMediaStream() = default;
  // Reads up to `count` bytes into `buffer` and stores the count in `read`. Fail when
  // nothing could be read, which the reader takes as the end of the stream.
  virtual TMediaResult Read(void* buffer, uint32_t count, uint32_t& read) = 0;
  virtual TMediaResult Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) = 0;
  // The stream's size in bytes.
  virtual TMediaResult Stat(uint64_t& size) = 0;
};

enum class TMediaMajorType { Unknown, Audio, Video };
enum class TMediaFormatType { None, WaveFormatEx };

// The PCM format block of an audio media type (integer samples, interleaved).
struct TWaveFormat {
  uint16_t Channels = 0;
  uint32_t SamplesPerSec = 0;
  uint16_t BitsPerSample = 0;
};

struct TMediaType {
  TMediaMajorType MajorType = TMediaMajorType::Unknown;
  TMediaFormatType FormatType = TMediaFormatType::None;
  TWaveFormat Format;
};

// A setting or attribute value: Boolean, 32-bit, 64-bit or UTF-16 text.
using TMediaValue = std::variant<bool, uint32_t, uint64_t, std::u16string>;

// Where a file's audio takes on another format part-way: from straight-decode sample
// `Sample` on, the file's frames have `SampleRate` and `Channels`. They are decoded on and
// converted to the first frames' rate and channels.
struct TMediaFormatChange {
  int64_t Sample = 0;
  int SampleRate = 0;
  int Channels = 0;
};

// One decoded sample: PCM frames in the output's format and the time of the first frame.
struct TMediaSample {
  std::vector<uint8_t> Bytes;
  int64_t Time = 0;      // 100-ns units from the start of the data
  int64_t Duration = 0;  // 100-ns units
};

// Attribute queries of an open reader. Stream 0 means the file as a whole.
class IMediaHeaderInfo {
 public:
  virtual ~IMediaHeaderInfo() = default;
  // "Duration" (64-bit, 100 ns), "Bitrate" (32-bit, bits per second), "IsVBR" (Boolean) and
  // the texts "Title", "Author", "WM/AlbumTitle", "WM/Genre", "WM/Track", "WM/Year",
  // "Copyright" (also for MP3 files, from their ID3 tags). NotFound when absent.
  virtual TMediaResult GetAttributeByName(uint16_t stream, std::string_view name,
                                          TMediaValue& value) = 0;
};

class TMediaSyncReader final : public IMediaHeaderInfo {
 public:
  TMediaSyncReader();
  ~TMediaSyncReader() override;
  TMediaSyncReader(const TMediaSyncReader&) = delete;
  TMediaSyncReader& operator=(const TMediaSyncReader&) = delete;

  // Recognises an MP3 or ASF file on `stream` (read from its start). Fail for anything
  // else; the reader is then closed.
  TMediaResult OpenStream(std::shared_ptr<IMediaStream> stream);
  // Releases the file and the stream. Further calls fail until the next open.
  TMediaResult Close();

  TMediaResult GetOutputCount(uint32_t& count);
  // The output's current media type.
  TMediaResult GetOutputProps(uint32_t output, TMediaType& type);
  // Chooses one of the output's formats; an audio type it does not offer is refused.
  TMediaResult SetOutputProps(uint32_t output, const TMediaType& type);
  // "EnableDiscreteOutput" (Boolean): the file's own channels instead of a stereo downmix;
  // "SpeakerConfig" (32-bit channel count): the most channels discrete output may give.
  TMediaResult SetOutputSetting(uint32_t output, std::string_view name, const TMediaValue& value);
  TMediaResult GetOutputFormatCount(uint32_t output, uint32_t& count);
  TMediaResult GetOutputFormat(uint32_t output, uint32_t index, TMediaType& type);
  TMediaResult GetStreamNumberForOutput(uint32_t output, uint16_t& stream);

  // Compressed reading is not offered: `compressed` true fails. ProtectedContent for an
  // encrypted file, whose data is never decoded.
  TMediaResult SetReadStreamSamples(uint16_t stream, bool compressed);
  // The next decoded sample of `stream`; NoMoreSamples at the end.
  TMediaResult GetNextSample(uint16_t stream, TMediaSample& sample);
  // Positions reading at `start` (100 ns) for `duration` (100 ns; 0: to the end). The
  // first frame delivered is frame round(start x rate / 10^7) of a straight decode.
  TMediaResult SetRange(uint64_t start, int64_t duration);

  // The samples of a straight decode when the file's frames were counted (MP3), else
  // nothing.
  std::optional<int64_t> SampleCount() const;
  // The changes of format part-way, in order (MP3).
  std::vector<TMediaFormatChange> FormatChanges() const;
  // The VBR quality (0 to 9) the file's encoder recorded, when it did (MP3).
  std::optional<int> EncoderVbrQuality() const;

  // The header information facet; valid while the reader is open.
  IMediaHeaderInfo* HeaderInfo();
  TMediaResult GetAttributeByName(uint16_t stream, std::string_view name,
                                  TMediaValue& value) override;

  class TImpl;

 private:
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace trimora::media
