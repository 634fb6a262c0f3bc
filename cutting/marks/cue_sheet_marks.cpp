// SPDX-License-Identifier: GPL-3.0-or-later
// Which of a sheet's files is the sound given, and the cue sheet written from marks.
#include <algorithm>
#include <cstdio>

#include "cutting/cut_error.h"
#include "cutting/marks/cue_sheet.h"

namespace {

// The name alone of a FILE line, which may carry a folder of the machine that wrote it.
std::string BaseName(const std::string& named) {
  const size_t slash = named.find_last_of("/\\");
  return slash == std::string::npos ? named : named.substr(slash + 1);
}

std::string Stem(const std::string& name) {
  return std::filesystem::path(name).stem().string();
}

std::optional<size_t> FileOf(const TCueSheet& sheet, const std::filesystem::path& sound) {
  const std::string name = sound.filename().string();
  for (size_t k = 0; k < sheet.Files.size(); ++k)
    if (BaseName(sheet.Files[k]) == name) return k;
  for (size_t k = 0; k < sheet.Files.size(); ++k)
    if (Stem(BaseName(sheet.Files[k])) == sound.stem().string()) return k;
  return std::nullopt;
}

std::string Quoted(const std::string& text) {
  std::string quoted;
  for (const char c : text) quoted += c == '"' ? '\'' : c;  // a sheet's value cannot hold one
  return "\"" + quoted + "\"";
}

void TextLines(std::string& sheet, const TMarkTexts& texts, const char* indent) {
  if (!texts.Title.empty()) sheet += indent + std::string("TITLE ") + Quoted(texts.Title) + "\n";
  if (!texts.Performer.empty())
    sheet += indent + std::string("PERFORMER ") + Quoted(texts.Performer) + "\n";
  if (!texts.Songwriter.empty())
    sheet += indent + std::string("SONGWRITER ") + Quoted(texts.Songwriter) + "\n";
}

}  // namespace

TMarkSheet CueMarksFor(const TCueSheet& sheet, const std::filesystem::path& sound,
                       std::string& note) {
  note.clear();
  std::optional<size_t> file = FileOf(sheet, sound);
  if (sheet.Files.size() == 1) {
    if (BaseName(sheet.Files[0]) != sound.filename().string())
      note = "the sheet names '" + sheet.Files[0] + "'; its tracks are taken from '" +
             sound.filename().string() + "'";
    file = 0;
  }
  if (!file) {
    std::string named;
    for (const std::string& f : sheet.Files) named += (named.empty() ? "'" : ", '") + f + "'";
    throw ECutError("the sheet names several files (" + named + ") and none of them is '" +
                    sound.filename().string() + "'");
  }
  TMarkSheet marks;
  marks.Album = sheet.Album;
  marks.Genre = sheet.Genre;
  marks.Date = sheet.Date;
  marks.Comment = sheet.Comment;
  for (const TCueTrack& track : sheet.Tracks)
    if (track.File == *file)
      marks.Marks.push_back({track.Start, std::nullopt, track.Texts, track.Line});
  if (marks.Marks.empty())
    throw ECutError("the sheet has no TRACK in '" + sheet.Files[*file] + "'");
  return marks;
}

std::string WriteCueSheet(const TMarkSheet& marks, const std::string& fileName,
                          const std::string& fileType, int rate) {
  if (marks.Marks.size() > 99)
    throw ECutError("a cue sheet holds at most 99 tracks, and the plan has " +
                    std::to_string(marks.Marks.size()) + " pieces; labels take any number");
  std::string sheet;
  if (!marks.Genre.empty()) sheet += "REM GENRE " + Quoted(marks.Genre) + "\n";
  if (!marks.Date.empty()) sheet += "REM DATE " + marks.Date + "\n";
  if (!marks.Comment.empty()) sheet += "REM COMMENT " + Quoted(marks.Comment) + "\n";
  TextLines(sheet, marks.Album, "");
  sheet += "FILE " + Quoted(fileName) + " " + fileType + "\n";
  const auto cueTime = [rate](const TMarkTime& time) {
    return CueTimeText(FrameTime(time.Frames(rate), rate, kCueFramesPerSecond));
  };
  for (size_t k = 0; k < marks.Marks.size(); ++k) {
    const TMark& mark = marks.Marks[k];
    char number[24];
    std::snprintf(number, sizeof number, "%02zu", k + 1);
    sheet += std::string("  TRACK ") + number + " AUDIO\n";
    TextLines(sheet, mark.Texts, "    ");
    // A gap after the mark before: the next track's pregap, as the sheet can say it.
    if (k > 0 && marks.Marks[k - 1].End &&
        marks.Marks[k - 1].End->Frames(rate) < mark.Start.Frames(rate))
      sheet += "    INDEX 00 " + cueTime(*marks.Marks[k - 1].End) + "\n";
    sheet += "    INDEX 01 " + cueTime(mark.Start) + "\n";
  }
  // Readers that meet text beyond ASCII without the mark take it for a code page.
  const bool ascii = std::all_of(sheet.begin(), sheet.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return ascii ? sheet : "\xEF\xBB\xBF" + sheet;
}
