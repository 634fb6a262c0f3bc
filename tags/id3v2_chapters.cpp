// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/id3v2_chapters.h"

#include <taglib/chapterframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>

namespace {

std::string EmbeddedText(const TagLib::ID3v2::ChapterFrame& chapter, const char* id) {
  const TagLib::ID3v2::FrameList frames = chapter.embeddedFrameList(id);
  return frames.isEmpty() ? std::string() : frames.front()->toString().to8Bit(true);
}

}  // namespace

std::vector<TId3v2Chapter> ReadId3v2Chapters(const std::filesystem::path& file) {
  std::vector<TId3v2Chapter> chapters;
  TagLib::MPEG::File mpeg(file.c_str(), false);
  if (!mpeg.isValid() || !mpeg.hasID3v2Tag()) return chapters;
  for (TagLib::ID3v2::Frame* frame : mpeg.ID3v2Tag()->frameList("CHAP")) {
    const auto* chapter = dynamic_cast<const TagLib::ID3v2::ChapterFrame*>(frame);
    if (chapter == nullptr) continue;
    chapters.push_back({chapter->startTime(), chapter->endTime(), EmbeddedText(*chapter, "TIT2"),
                        EmbeddedText(*chapter, "TPE1")});
  }
  std::stable_sort(chapters.begin(), chapters.end(),
                   [](const auto& a, const auto& b) { return a.StartMs < b.StartMs; });
  // Two chapters at one time bound nothing between them.
  chapters.erase(std::unique(chapters.begin(), chapters.end(),
                             [](const auto& a, const auto& b) { return a.StartMs == b.StartMs; }),
                 chapters.end());
  return chapters;
}
