// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// What the command line's "info" prints for an MP3 or WMA file: what the MP3 or WMA source
// reports, as the windows see it. No Qt.
struct TMediaFileInfo {
  std::string Format;      // "MP3" or "WMA", from the file name's extension
  bool Valid = false;      // the runtime found audio it can decode
  bool Protected = false;  // then nothing else is known
  int Channels = 0;
  int SampleRate = 0;
  int BitsPerSample = 0;
  uint32_t Duration = 0;     // hundredths of a second
  int64_t TotalSamples = 0;  // what the source offers to read (MP3: a third of a second more)
  uint32_t Bitrate = 0;      // bits per second
  bool VBR = false;
  // The texts a cut carries over (the source's ID3v2 container).
  std::u16string Title, Artist, Album, Genre, Comment;
  std::string Year, Track;
};

// Whether `file` names an MP3 or WMA file by its extension (either case).
bool IsMediaFileName(const std::filesystem::path& file);
// Opens `file` with the MP3 source (".mp3") or the Windows Media source (".wma") and reads
// the fields. Raises EAuException when the file cannot be opened or has another extension.
TMediaFileInfo ReadMediaFileInfo(const std::filesystem::path& file);
