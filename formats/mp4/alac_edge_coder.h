// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// Codes part of one ALAC packet anew, losslessly: ALAC's packets stand alone, so the samples
// [from, to) of one make a packet of their own that decodes under the source's own sample
// description (its "magic cookie"): same depth and channels, and the encoder's entropy
// settings where the cookie's are the usual ones, else uncompressed samples, which any
// cookie decodes.
class TAlacEdgeCoder {
 public:
  // EAuException when `sampleDescription` (an stsd box) holds no ALAC cookie.
  explicit TAlacEdgeCoder(const std::string& sampleDescription);

  std::string Recode(const std::string& packet, int64_t from, int64_t to);

 private:
  std::string FCookie;  // the 'alac' box inside the sample entry, as FFmpeg's extradata
};
