// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_codec_info.h"

#include <array>
#include <vector>

namespace trimora::media {
namespace {

struct TCodec {
  const char16_t* Name;
  const char* Encoder;
  const char* Subtype;
};

constexpr std::array<TCodec, 2> kCodecs = {{
    {u"Windows Media Audio Standard", "wmav2", kWmaV2Subtype},
    {u"Windows Media Audio Standard v1", "wmav1", kWmaV1Subtype},
}};

struct TFormat {
  uint32_t Kbps;
  uint32_t Rate;
  uint16_t Channels;
};

// The highest bit rate offered at a rate and channel count. The encoders accept any rate
// up to 48 kHz at 24 kbps and above (measured on FFmpeg 5.1), but past these the extra bits
// only pad the packets. 44.1 kHz, the common rate, comes first among equal bit rates: a
// search keeps the first of equally near formats. Both codecs offer the same list.
struct TCap {
  uint32_t Rate;
  uint32_t Stereo;
  uint32_t Mono;
};
constexpr std::array<TCap, 7> kCaps = {{
    {44100, 320, 320},
    {48000, 320, 320},
    {32000, 256, 256},
    {22050, 160, 128},
    {16000, 96, 64},
    {11025, 64, 48},
    {8000, 48, 32},
}};
constexpr std::array<uint32_t, 13> kKbps = {320, 256, 224, 192, 160, 128, 96,
                                            80,  64,  48,  40,  32,  24};

// From high to low quality: by bit rate, then stereo before mono, then by sample rate.
// Rates of 32 kHz and more start at 32 kbps; below that the encoders' 24 kbps floor.
std::vector<TFormat> BuildFormats() {
  std::vector<TFormat> formats;
  for (uint32_t kbps : kKbps)
    for (uint16_t channels : {2, 1})
      for (const TCap& cap : kCaps) {
        const uint32_t highest = channels == 2 ? cap.Stereo : cap.Mono;
        const uint32_t lowest = cap.Rate >= 32000 ? 32 : 24;
        if (kbps <= highest && kbps >= lowest) formats.push_back({kbps, cap.Rate, channels});
      }
  return formats;
}

const std::vector<TFormat>& Formats() {
  static const std::vector<TFormat> formats = BuildFormats();
  return formats;
}

std::u16string Ascii(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}

std::u16string Describe(const TFormat& format) {
  const uint32_t khz = format.Rate / 1000;
  std::string text = std::to_string(format.Kbps) + " kbps, ";
  if (khz < 10) text += " ";
  text += std::to_string(khz) + " kHz, " + (format.Channels > 1 ? "stereo" : "mono") + " CBR";
  return Ascii(text);
}

bool ValidCodec(TMediaMajorType major, uint32_t codec) {
  return major == TMediaMajorType::Audio && codec < kCodecs.size();
}

}  // namespace

TMediaResult TMediaCodecInfo::GetCodecInfoCount(TMediaMajorType major, uint32_t& count) const {
  count = major == TMediaMajorType::Audio ? static_cast<uint32_t>(kCodecs.size()) : 0;
  return TMediaResult::Ok;
}

TMediaResult TMediaCodecInfo::GetCodecName(TMediaMajorType major, uint32_t codec,
                                           std::u16string& name) const {
  if (!ValidCodec(major, codec)) return TMediaResult::InvalidArgument;
  name = kCodecs[codec].Name;
  return TMediaResult::Ok;
}

TMediaResult TMediaCodecInfo::GetCodecFormatCount(TMediaMajorType major, uint32_t codec,
                                                  uint32_t& count) const {
  if (!ValidCodec(major, codec)) return TMediaResult::InvalidArgument;
  count = static_cast<uint32_t>(Formats().size());
  return TMediaResult::Ok;
}

TMediaResult TMediaCodecInfo::GetCodecFormat(TMediaMajorType major, uint32_t codec, uint32_t format,
                                             TMediaStreamConfig& config) const {
  if (!ValidCodec(major, codec) || format >= Formats().size()) return TMediaResult::InvalidArgument;
  const TFormat& f = Formats()[format];
  config = {};
  config.Codec = codec;
  config.Subtype = kCodecs[codec].Subtype;
  config.Type = {TMediaMajorType::Audio, TMediaFormatType::WaveFormatEx, {f.Channels, f.Rate, 16}};
  config.Bitrate = f.Kbps * 1000;
  return TMediaResult::Ok;
}

TMediaResult TMediaCodecInfo::GetCodecFormatDesc(TMediaMajorType major, uint32_t codec,
                                                 uint32_t format, TMediaStreamConfig& config,
                                                 std::u16string& description) const {
  const TMediaResult result = GetCodecFormat(major, codec, format, config);
  if (Succeeded(result)) description = Describe(Formats()[format]);
  return result;
}

TMediaResult TMediaCodecInfo::SetCodecEnumerationSetting(TMediaMajorType major, uint32_t codec,
                                                         std::string_view name,
                                                         const TMediaValue& value) {
  if (!ValidCodec(major, codec) || name != "_VBRENABLED") return TMediaResult::InvalidArgument;
  const bool* flag = std::get_if<bool>(&value);
  const uint32_t* word = std::get_if<uint32_t>(&value);
  const bool enable = (flag != nullptr && *flag) || (word != nullptr && *word != 0);
  return enable ? TMediaResult::Fail : TMediaResult::Ok;
}

TMediaResult TMediaCodecInfo::GetCodecFormatProp(TMediaMajorType major, uint32_t codec,
                                                 uint32_t format, std::string_view name,
                                                 TMediaValue& value) const {
  (void)value;
  if (!ValidCodec(major, codec) || format >= Formats().size()) return TMediaResult::InvalidArgument;
  (void)name;
  return TMediaResult::NotFound;
}

std::string MediaEncoderName(uint32_t codec) {
  return codec < kCodecs.size() ? kCodecs[codec].Encoder : "";
}

}  // namespace trimora::media
