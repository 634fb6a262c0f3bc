// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <vector>

#include "formats/media/wm_in.h"

// The source for MP3 files: the Windows Media source with a length one third of a second
// longer than the file holds, as room for the end of the data; reading still ends where the
// runtime's data ends. The length is the runtime's count of the samples its frames decode
// to, not the hundredths it reports as the duration.
class TMP3In : public TWMIn {
 public:
  TMP3In() = default;
  ~TMP3In() override;

  // Where the file's frames change format part-way (opening the file first); empty for
  // the usual file of one format.
  std::vector<trimora::media::TMediaFormatChange> FormatChanges();
  // The VBR quality (0 to 9) the file's LAME tag records; nothing when it records none.
  std::optional<int> EncoderVBRQuality();
  // The length is the runtime's count of the frames, unless it counted none.
  bool LengthIsEstimate() const override { return Reader().Samples < 0; }

 protected:
  void OpenFile() override;
  int64_t FileTotalSamples() const override;
};
