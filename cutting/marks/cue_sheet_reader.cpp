// SPDX-License-Identifier: GPL-3.0-or-later
// The cue sheet's lines read one command at a time; a track is checked when the next one
// begins or the sheet ends.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "cutting/cut_error.h"
#include "cutting/marks/cue_sheet.h"
#include "cutting/marks/mark_text.h"

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The first word of `text`, taken off it.
std::string_view TakeWord(std::string_view& text) {
  text = Trimmed(text);
  const size_t end = std::min(text.find_first_of(" \t"), text.size());
  const std::string_view word = text.substr(0, end);
  text = Trimmed(text.substr(end));
  return word;
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// A value as sheets write it: in quotes (up to the closing one), or the rest of the line.
std::string Value(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || text.front() != '"') return std::string(text);
  text.remove_prefix(1);
  return std::string(text.substr(0, std::min(text.find('"'), text.size())));
}

// FILE "name" TYPE, or FILE name TYPE without quotes, where the name may hold blanks.
std::string FileName(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '"') return Value(text);
  const size_t lastBlank = text.find_last_of(" \t");
  return std::string(
      Trimmed(lastBlank == std::string_view::npos ? text : text.substr(0, lastBlank)));
}

std::optional<int64_t> Number(std::string_view text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

TMarkTime CueTime(std::string_view text, size_t line) {
  const size_t first = text.find(':');
  const size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
  const auto bad = [&](const std::string& why) {
    return ECutError(AtLine(line, "the time '" + std::string(text) + "' " + why));
  };
  if (second == std::string_view::npos) throw bad("is not MM:SS:FF");
  const auto minutes = Number(text.substr(0, first));
  const auto seconds = Number(text.substr(first + 1, second - first - 1));
  const auto frames = Number(text.substr(second + 1));
  if (!minutes || !seconds || !frames || *minutes < 0 || *minutes > 99999 || *seconds < 0 ||
      *frames < 0)
    throw bad("is not MM:SS:FF");
  if (*seconds >= 60) throw bad("has 60 seconds or more");
  if (*frames >= kCueFramesPerSecond) throw bad("has 75 frames or more (a second holds 75)");
  return {(*minutes * 60 + *seconds) * kCueFramesPerSecond + *frames, kCueFramesPerSecond};
}

class TCueReader {
 public:
  TCueSheet Read(const std::vector<std::string>& lines) {
    for (size_t k = 0; k < lines.size(); ++k) Command(lines[k], k + 1);
    EndTrack();
    if (FSheet.Files.empty()) throw ECutError("the sheet names no FILE, so no sound to split");
    if (FSheet.Tracks.empty()) throw ECutError("the sheet holds no TRACK");
    return std::move(FSheet);
  }

 private:
  void Command(std::string_view text, size_t line) {
    const std::string command = Upper(TakeWord(text));
    if (command == "FILE") {
      FSheet.Files.push_back(FileName(text));
      if (FSheet.Files.back().empty()) throw ECutError(AtLine(line, "FILE names no file"));
    } else if (command == "TRACK") {
      StartTrack(text, line);
    } else if (command == "INDEX") {
      Index(text, line);
    } else if (command == "TITLE" || command == "PERFORMER" || command == "SONGWRITER") {
      TMarkTexts& texts = FTrack ? FTrack->Texts : FSheet.Album;
      std::string& field = command == "TITLE"       ? texts.Title
                           : command == "PERFORMER" ? texts.Performer
                                                    : texts.Songwriter;
      field = Value(text);
    } else if (command == "REM") {
      const std::string key = Upper(TakeWord(text));
      if (key == "GENRE") FSheet.Genre = Value(text);
      if (key == "DATE") FSheet.Date = Value(text);
      if (key == "COMMENT") FSheet.Comment = Value(text);
    }
  }

  void StartTrack(std::string_view text, size_t line) {
    EndTrack();
    if (FSheet.Files.empty())
      throw ECutError(AtLine(line, "TRACK before any FILE line; the sheet must name its sound"));
    const auto number = Number(TakeWord(text));
    if (!number || *number < 1 || *number > 99)
      throw ECutError(AtLine(line, "TRACK needs its number, from 1 to 99"));
    FTrack = TCueTrack{};
    FTrack->Number = static_cast<int>(*number);
    FTrack->Line = static_cast<int>(line);
    FHasStart = false;
  }

  void Index(std::string_view text, size_t line) {
    if (!FTrack) throw ECutError(AtLine(line, "INDEX before any TRACK"));
    const auto number = Number(TakeWord(text));
    if (!number || *number < 0 || *number > 99)
      throw ECutError(AtLine(line, "INDEX needs its number, from 0 to 99"));
    const TMarkTime time = CueTime(TakeWord(text), line);
    if (*number != 1) return;
    FTrack->Start = time;
    FTrack->File = FSheet.Files.size() - 1;
    FHasStart = true;
    // Within one file every track starts after the one before it.
    const auto& tracks = FSheet.Tracks;
    if (!tracks.empty() && tracks.back().File == FTrack->File &&
        tracks.back().Start.Count >= time.Count)
      throw ECutError(AtLine(line, "TRACK " + std::to_string(FTrack->Number) + " starts at " +
                                       CueTimeText(time) + ", not after TRACK " +
                                       std::to_string(tracks.back().Number) + " at " +
                                       CueTimeText(tracks.back().Start)));
  }

  void EndTrack() {
    if (!FTrack) return;
    if (!FHasStart)
      throw ECutError(AtLine(static_cast<size_t>(FTrack->Line),
                             "TRACK " + std::to_string(FTrack->Number) + " has no INDEX 01"));
    FSheet.Tracks.push_back(std::move(*FTrack));
    FTrack.reset();
  }

  TCueSheet FSheet;
  std::optional<TCueTrack> FTrack;
  bool FHasStart = false;
};

}  // namespace

TCueSheet ParseCueSheet(std::string_view bytes) {
  return TCueReader().Read(MarkFileLines(bytes));
}

std::string CueTimeText(const TMarkTime& time) {
  const int64_t frames = time.Count;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld",
                static_cast<long long>(frames / kCueFramesPerSecond / 60),
                static_cast<long long>(frames / kCueFramesPerSecond % 60),
                static_cast<long long>(frames % kCueFramesPerSecond));
  return text;
}
