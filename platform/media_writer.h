// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The writer side of our media runtime: writes one audio stream of a profile as a Windows
// Media (ASF) file through a caller's byte stream, encoding the PCM it is handed. Like the
// reader it answers with results, never exceptions; times are in 100-ns units and header
// attributes go by their Windows Media names ("Author", "WM/AlbumTitle", ...).
//
// The steps: Open on a stream, SetProfile, declare the input's PCM (GetInputProps,
// SetInputProps), SetAttribute, BeginWriting, WriteSample, EndWriting. A writer is not
// thread-safe; its owner serialises the calls.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media_profile.h"
#include "platform/media_runtime.h"

namespace trimora::media {

// The byte stream a writer writes its file through. The file's header is rewritten at the
// end, so the stream must seek.
class IMediaWriteStream {
 public:
  virtual ~IMediaWriteStream() = default;
  // Fail when not all `count` bytes could be written.
  virtual TMediaResult Write(const void* buffer, uint32_t count, uint32_t& written) = 0;
  virtual TMediaResult Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) = 0;
  // A stream that cannot seek (a live broadcast) gets a header written once, without sizes,
  // and every packet as soon as it is made.
  virtual bool Seekable() const { return true; }
};

// Statuses the writer reports through its status callback.
inline constexpr uint32_t kMediaStatusError = 0;  // the output stream refused a write

// The 32-bit code of a result, as the callers print failures ("80004005").
uint32_t MediaResultCode(TMediaResult result);

class TMediaEncoder;

class TMediaWriter {
 public:
  TMediaWriter();
  ~TMediaWriter();
  TMediaWriter(const TMediaWriter&) = delete;
  TMediaWriter& operator=(const TMediaWriter&) = delete;

  // The file sink: where BeginWriting puts the file. Kept until EndWriting.
  TMediaResult Open(std::shared_ptr<IMediaWriteStream> stream);
  // Called with a status when something goes wrong outside a call's own result.
  void SetStatusCallback(std::function<void(uint32_t status)> callback);

  // Takes the profile's first audio stream; fails for a profile without one.
  TMediaResult SetProfile(const TMediaProfile& profile);
  // One input per audio stream of the profile.
  TMediaResult GetInputCount(uint32_t& count) const;
  // Starts as 16-bit PCM in the stream's rate and channels.
  TMediaResult GetInputProps(uint32_t input, TMediaType& type) const;
  // Interleaved integer PCM of 8 (unsigned), 16, 24 or 32 bits, 1 to 8 channels, any rate
  // from 1000 to 384000 Hz; it is converted to the stream's rate and channels.
  TMediaResult SetInputProps(uint32_t input, const TMediaType& type);

  // A text attribute of the file (stream 0). Before BeginWriting only; UTF-16 text only.
  TMediaResult SetAttribute(uint16_t stream, std::string_view name, const TMediaValue& value);

  // Fails without a stream, a profile or an input format, or when the file cannot be
  // started.
  TMediaResult BeginWriting();
  // `bytes` of the declared PCM (whole frames); `time` is informational. A sample of 0
  // bytes is accepted and adds nothing.
  TMediaResult WriteSample(uint32_t input, uint64_t time, const uint8_t* bytes, uint32_t size);
  // Encodes what is left and completes the file. The audio read back starts with the first
  // frame written and lasts as long as what was written, rounded up to a codec frame.
  TMediaResult EndWriting();

 private:
  TMediaResult Report(TMediaResult result);

  std::shared_ptr<IMediaWriteStream> FStream;
  std::function<void(uint32_t)> FStatusCallback;
  bool FHasProfile = false;
  TMediaStreamConfig FConfig;
  bool FHasInput = false;
  TWaveFormat FInput;
  std::vector<std::pair<std::string, std::u16string>> FAttributes;
  std::unique_ptr<TMediaEncoder> FEncoder;  // while writing
};

}  // namespace trimora::media
