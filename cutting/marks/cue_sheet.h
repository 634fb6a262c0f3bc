// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cutting/marks/mark_sheet.h"

inline constexpr int64_t kCueFramesPerSecond = 75;
// "MM:SS:FF" of a time in cue frames (minutes may pass 99).
std::string CueTimeText(const TMarkTime& time);

// A cue sheet: the sound files it names, and for each TRACK its texts and its INDEX 01 (the
// start of the track proper; the stretch from INDEX 00 to it belongs to the track before, as
// rippers that append the gaps write it). Times are MM:SS:FF, 75 frames a second.
struct TCueTrack {
  int Number = 0;
  int Line = 0;  // of its TRACK line
  TMarkTexts Texts;
  TMarkTime Start;  // INDEX 01
  size_t File = 0;  // which of the sheet's files INDEX 01 lies in
};

struct TCueSheet {
  TMarkTexts Album;
  std::string Genre, Date, Comment;  // REM GENRE, REM DATE, REM COMMENT
  std::vector<std::string> Files;    // as FILE lines name them
  std::vector<TCueTrack> Tracks;
};

// Reads a sheet's bytes (UTF-8 with or without its mark, else Windows-1252). Commands it does
// not know (CATALOG, ISRC, FLAGS, PREGAP, other REM lines, ...) are passed over. ECutError
// naming the line for a TRACK without a number, a track without INDEX 01, a time that is
// not MM:SS:FF or whose frames are 75 or more, INDEX 01 times out of order in a file, a
// TRACK before any FILE, a sheet with no track, and binary data.
TCueSheet ParseCueSheet(std::string_view bytes);

// The marks of the tracks in `sound` of `sheet`: all of them when the sheet names one file
// (whatever its name: a sheet written for a rip's .wav serves its .flac too, and `note` then
// says which file was named), else those of the file named like `sound` (by name, or by name
// without the extension). ECutError when the sheet names several files and none is `sound`.
TMarkSheet CueMarksFor(const TCueSheet& sheet, const std::filesystem::path& sound,
                       std::string& note);

// A cue sheet of `marks` for the sound file `fileName` at `rate`: the sheet's texts, a TRACK
// for each mark with its texts, INDEX 01 at its start rounded to the nearest cue frame, and
// INDEX 00 where a gap lies before it. `fileType`: WAVE, MP3, ... ECutError for more than
// 99 marks, as a sheet's tracks are numbered 1 to 99.
std::string WriteCueSheet(const TMarkSheet& marks, const std::string& fileName,
                          const std::string& fileType, int rate);
