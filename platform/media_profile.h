// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The profile side of our media runtime's writer: the stream configurations a codec offers
// and the profile that holds the one a writer is to produce. Formats are chosen by codec
// and format index, as the writer layer in formats/media expects.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media_runtime.h"

namespace trimora::media {

// Media subtypes as the writer layer compares them: the wave format tag in the audio GUID.
inline constexpr const char* kWmaV1Subtype = "00000160-0000-0010-8000-00AA00389B71";
inline constexpr const char* kWmaV2Subtype = "00000161-0000-0010-8000-00AA00389B71";
inline constexpr const char* kWmaLosslessSubtype = "00000163-0000-0010-8000-00AA00389B71";

// One stream of a profile: a codec format and the stream's identity in the file.
struct TMediaStreamConfig {
  uint32_t Codec = 0;  // index into the codec list (TMediaCodecInfo)
  std::string Subtype;
  TMediaType Type;       // audio, WaveFormatEx: the format's channels, rate, 16 bits
  uint32_t Bitrate = 0;  // bits per second
  uint16_t StreamNumber = 0;
  std::u16string StreamName;
  std::u16string ConnectionName;

  uint32_t GetBitrate() const { return Bitrate; }
};

class TMediaProfile {
 public:
  explicit TMediaProfile(uint32_t version) : FVersion(version) {}
  uint32_t GetVersion() const { return FVersion; }
  // Refuses a configuration that is not a codec format of ours, or whose stream number is
  // outside 1..63 or already taken.
  TMediaResult AddStream(const TMediaStreamConfig& config);
  uint32_t GetStreamCount() const { return static_cast<uint32_t>(FStreams.size()); }
  const TMediaStreamConfig& GetStream(uint32_t index) const { return FStreams.at(index); }

 private:
  uint32_t FVersion;
  std::vector<TMediaStreamConfig> FStreams;
};

class TMediaProfileManager {
 public:
  // Profiles of version 0x00090000 and up are accepted; that is what the writer expects.
  TMediaResult CreateEmptyProfile(uint32_t version, std::unique_ptr<TMediaProfile>& profile);
};

}  // namespace trimora::media
