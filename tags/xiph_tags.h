// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// The comment fields and pictures of a FLAC, Ogg Vorbis or Opus file, as a cut carries them:
// every field as the file holds it (ReplayGain and any name of the tagger's own), but not the
// vendor string, which names the encoder that wrote the file and is the new writer's business.
struct TXiphPicture {
  uint32_t Type = 3;  // 3: the front cover, as in ID3v2
  std::string MimeType;
  std::string Description;  // UTF-8
  uint32_t Width = 0, Height = 0, ColorDepth = 0, NumColors = 0;
  std::vector<uint8_t> Data;

  bool operator==(const TXiphPicture&) const = default;
};

struct TXiphTags {
  // Field names in upper case, values UTF-8, in the file's order; a name may repeat.
  std::vector<std::pair<std::string, std::string>> Fields;
  std::vector<TXiphPicture> Pictures;

  bool Empty() const { return Fields.empty() && Pictures.empty(); }
  // The first value of `name` (any case), or empty.
  std::string Value(const std::string& name) const;
  // Replaces every value of `name` by `value` (none when empty), where the first one stood.
  void Set(const std::string& name, const std::string& value);
  bool operator==(const TXiphTags&) const = default;
};

// The fields and pictures of `file` (FLAC, Ogg Vorbis or Opus, told by its content). False
// when it is none of them or cannot be read.
bool ReadXiphTags(const std::filesystem::path& file, TXiphTags& tags);
// Replaces the fields and pictures of `file` with `tags`, keeping its vendor string. False
// when the file cannot be read or written.
bool WriteXiphTags(const std::filesystem::path& file, const TXiphTags& tags);
