// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_profile.h"

#include "platform/media_codec_info.h"

namespace trimora::media {

TMediaResult TMediaProfile::AddStream(const TMediaStreamConfig& config) {
  if (config.StreamNumber < 1 || config.StreamNumber > 63) return TMediaResult::InvalidArgument;
  for (const auto& stream : FStreams)
    if (stream.StreamNumber == config.StreamNumber) return TMediaResult::InvalidArgument;
  // Only what our codec list handed out can be written.
  TMediaStreamConfig known;
  uint32_t count = 0;
  TMediaCodecInfo info;
  if (!Succeeded(info.GetCodecFormatCount(TMediaMajorType::Audio, config.Codec, count)))
    return TMediaResult::InvalidArgument;
  bool found = false;
  for (uint32_t i = 0; i < count && !found; ++i) {
    if (!Succeeded(info.GetCodecFormat(TMediaMajorType::Audio, config.Codec, i, known))) continue;
    found = known.Subtype == config.Subtype && known.Bitrate == config.Bitrate &&
            known.Type.Format.Channels == config.Type.Format.Channels &&
            known.Type.Format.SamplesPerSec == config.Type.Format.SamplesPerSec;
  }
  if (!found) return TMediaResult::InvalidArgument;
  FStreams.push_back(config);
  return TMediaResult::Ok;
}

TMediaResult TMediaProfileManager::CreateEmptyProfile(uint32_t version,
                                                      std::unique_ptr<TMediaProfile>& profile) {
  if (version < 0x00090000) return TMediaResult::InvalidArgument;
  profile = std::make_unique<TMediaProfile>(version);
  return TMediaResult::Ok;
}

}  // namespace trimora::media
