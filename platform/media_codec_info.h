// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The audio codecs our media runtime can write and the formats each offers. Only FFmpeg's
// Windows Media Audio version 2 and 1 encoders exist here: no Pro, Lossless or Voice
// encoder, and neither encoder has a VBR mode, so VBR enumeration is refused.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/media_profile.h"
#include "platform/media_runtime.h"

namespace trimora::media {

class TMediaCodecInfo {
 public:
  // Audio only: 2 codecs (0 "Windows Media Audio Standard", 1 its version 1); 0 for video.
  TMediaResult GetCodecInfoCount(TMediaMajorType major, uint32_t& count) const;
  TMediaResult GetCodecName(TMediaMajorType major, uint32_t codec, std::u16string& name) const;
  TMediaResult GetCodecFormatCount(TMediaMajorType major, uint32_t codec, uint32_t& count) const;
  // Formats run from high to low quality; entry 29 is 128 kbps, 44 kHz, stereo.
  TMediaResult GetCodecFormat(TMediaMajorType major, uint32_t codec, uint32_t format,
                              TMediaStreamConfig& config) const;
  // "128 kbps, 44 kHz, stereo CBR"; rates below 10 kHz get a space before the number
  // ("32 kbps,  8 kHz, mono CBR"), so that labels built that way find them.
  TMediaResult GetCodecFormatDesc(TMediaMajorType major, uint32_t codec, uint32_t format,
                                  TMediaStreamConfig& config, std::u16string& description) const;
  // "_VBRENABLED" (Boolean, or the 32-bit 0xFFFFFFFF): true fails, no codec has VBR.
  TMediaResult SetCodecEnumerationSetting(TMediaMajorType major, uint32_t codec,
                                          std::string_view name, const TMediaValue& value);
  // "_VBRQUALITY": NotFound, every format is CBR.
  TMediaResult GetCodecFormatProp(TMediaMajorType major, uint32_t codec, uint32_t format,
                                  std::string_view name, TMediaValue& value) const;
};

// The FFmpeg encoder name of a codec index ("wmav2", "wmav1"); empty when out of range.
std::string MediaEncoderName(uint32_t codec);

}  // namespace trimora::media
