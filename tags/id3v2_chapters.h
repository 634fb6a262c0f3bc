// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The chapters of an MP3 file's ID3v2 tag (CHAP frames), in the order of their starts.
struct TId3v2Chapter {
  int64_t StartMs = 0;
  int64_t EndMs = 0;
  std::string Title, Artist;  // UTF-8, from the chapter's own TIT2 and TPE1
};

// None when the file has no ID3v2 tag, no chapter, or cannot be read.
std::vector<TId3v2Chapter> ReadId3v2Chapters(const std::filesystem::path& file);
