// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "cutting/marks/mark_sheet.h"

// The marks a sound file carries itself: a FLAC CUESHEET block or a CUESHEET comment field
// (FLAC, Ogg), or ID3v2 chapters (CHAP frames, as podcasts carry them). A chapter runs to the
// next one, the last to the end of the sound.
struct TEmbeddedMarks {
  std::string Source;  // "FLAC CUESHEET block", "CUESHEET comment", "ID3v2 chapters"
  TMarkSheet Marks;
};

// Nothing when the file carries no marks, or none that can be read.
std::optional<TEmbeddedMarks> ReadEmbeddedMarks(const std::filesystem::path& file);
