// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/media/wm_in.h"

// The source for MP3 files: the Windows Media source with a length one third of a second
// longer than the runtime reports, as room for the end of the data; reading still ends
// where the runtime's data ends.
class TMP3In : public TWMIn {
 public:
  TMP3In() = default;
  ~TMP3In() override;

 protected:
  void OpenFile() override;
  int64_t FileTotalSamples() const override;
};
