// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>

#include "cutting/marks/mark_sheet.h"

// A file of marks chosen for a sound, whichever kind it is.

// The open dialog's filter for cue sheets and label files.
std::string MarkFileFilter();
// The save dialogs' filters and the extensions they add.
std::string CueSheetFilter();
std::string LabelFileFilter();
inline constexpr const char* kCueSheetExtension = ".cue";
inline constexpr const char* kLabelFileExtension = ".txt";

// The marks of `file` for the sound `sound`: a cue sheet when its name ends in .cue, a label
// file otherwise. `note` says when the sheet named another sound file. ECutError naming the
// line of a broken file.
TMarkSheet ReadMarksFor(const std::filesystem::path& file, const std::filesystem::path& sound,
                        std::string& note);
