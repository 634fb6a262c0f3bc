// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/marks/mark_files.h"

#include "cutting/marks/cue_sheet.h"
#include "cutting/marks/label_file.h"
#include "cutting/marks/mark_text.h"
#include "tags/tag_text.h"

std::string MarkFileFilter() {
  return "Cue sheets and label files (*.cue *.CUE *.txt *.TXT);;All files (*)";
}

std::string CueSheetFilter() {
  return "Cue sheets (*.cue)";
}

std::string LabelFileFilter() {
  return "Label files (*.txt)";
}

TMarkSheet ReadMarksFor(const std::filesystem::path& file, const std::filesystem::path& sound,
                        std::string& note) {
  note.clear();
  const std::string bytes = ReadMarkFile(file);
  if (tag_text::SameTextNoCase(file.extension().string(), kCueSheetExtension))
    return CueMarksFor(ParseCueSheet(bytes), sound, note);
  return ParseLabels(bytes);
}
