// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the cue sheet and label readers. A sheet that reads must write
// out as a sheet that reads back to the same starts, to the cue frame.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cutting/cut_error.h"
#include "cutting/marks/cue_sheet.h"
#include "cutting/marks/flac_cuesheet_block.h"
#include "cutting/marks/label_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  constexpr int kRate = 44100;
  try {
    const TCueSheet sheet = ParseCueSheet(bytes);
    std::string note;
    const TMarkSheet marks = CueMarksFor(sheet, sheet.Files.front(), note);
    const TCueSheet again = ParseCueSheet(WriteCueSheet(marks, "a.wav", "WAVE", kRate));
    if (again.Tracks.size() != marks.Marks.size()) std::abort();
    for (size_t k = 0; k < marks.Marks.size(); ++k)
      if (again.Tracks[k].Start.Frames(kRate) != marks.Marks[k].Start.Frames(kRate)) std::abort();
  } catch (const ECutError&) {
  }
  try {
    const TMarkSheet labels = ParseLabels(bytes);
    const TMarkSheet again = ParseLabels(WriteLabels(labels, kRate));
    if (again.Marks.size() != labels.Marks.size()) std::abort();
  } catch (const ECutError&) {
  }
  ParseFlacCueSheetBlock(data, size, kRate);
  return 0;
}
