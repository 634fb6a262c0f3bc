// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/marks/embedded_marks.h"

#include <array>
#include <fstream>
#include <vector>

#include "cutting/cut_error.h"
#include "cutting/marks/cue_sheet.h"
#include "cutting/marks/flac_cuesheet_block.h"
#include "tags/id3v2_chapters.h"
#include "tags/xiph_tags.h"

namespace {

constexpr int kFlacCueSheetBlock = 5;
// A file of more blocks is damaged; a CUESHEET block of 100 tracks of 100 indexes is 120 KiB.
constexpr int kMostBlocks = 1024;
constexpr uint32_t kMostCueSheetBytes = 1 << 20;

// The size of an ID3v2 tag at the start of `in` (10 bytes of header and its syncsafe size),
// or 0.
uint64_t Id3v2Bytes(std::ifstream& in) {
  std::array<unsigned char, 10> head{};
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(head.data()), head.size())) return 0;
  if (head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 0;
  uint64_t size = 0;
  for (int k = 6; k < 10; ++k) size = size << 7 | (head[k] & 0x7F);
  return 10 + size + ((head[5] & 0x10) ? 10 : 0);
}

// The CUESHEET block of a FLAC file, with the rate from its STREAMINFO.
std::optional<TMarkSheet> FlacCueSheetBlock(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(static_cast<std::streamoff>(Id3v2Bytes(in)));
  std::array<char, 4> marker{};
  if (!in.read(marker.data(), 4) || std::string(marker.data(), 4) != "fLaC") return std::nullopt;
  int rate = 0;
  for (int block = 0; block < kMostBlocks; ++block) {
    std::array<unsigned char, 4> head{};
    if (!in.read(reinterpret_cast<char*>(head.data()), 4)) return std::nullopt;
    const int type = head[0] & 0x7F;
    const uint32_t length = uint32_t{head[1]} << 16 | uint32_t{head[2]} << 8 | head[3];
    if (type == 0 && length >= 13) {
      std::array<unsigned char, 13> info{};
      if (!in.read(reinterpret_cast<char*>(info.data()), info.size())) return std::nullopt;
      rate = static_cast<int>(uint32_t{info[10]} << 12 | uint32_t{info[11]} << 4 | info[12] >> 4);
      in.seekg(length - 13, std::ios::cur);
    } else if (type == kFlacCueSheetBlock && length <= kMostCueSheetBytes) {
      std::vector<uint8_t> body(length);
      if (!in.read(reinterpret_cast<char*>(body.data()), length)) return std::nullopt;
      return ParseFlacCueSheetBlock(body.data(), body.size(), rate);
    } else {
      in.seekg(length, std::ios::cur);
    }
    if (head[0] & 0x80) break;  // the last block
  }
  return std::nullopt;
}

std::optional<TMarkSheet> CueSheetComment(const std::filesystem::path& file) {
  TXiphTags tags;
  if (!ReadXiphTags(file, tags)) return std::nullopt;
  const std::string sheet = tags.Value("CUESHEET");
  if (sheet.empty()) return std::nullopt;
  try {
    std::string note;
    return CueMarksFor(ParseCueSheet(sheet), file, note);
  } catch (const ECutError&) {
    return std::nullopt;  // a broken sheet in a tag is no mark to offer
  }
}

std::optional<TMarkSheet> Id3v2Chapters(const std::filesystem::path& file) {
  const std::vector<TId3v2Chapter> chapters = ReadId3v2Chapters(file);
  if (chapters.empty()) return std::nullopt;
  TMarkSheet sheet;
  for (const TId3v2Chapter& chapter : chapters) {
    TMark mark;
    mark.Start = {chapter.StartMs, 1000};
    mark.Texts.Title = chapter.Title;
    mark.Texts.Performer = chapter.Artist;
    mark.Line = static_cast<int>(sheet.Marks.size() + 1);
    sheet.Marks.push_back(std::move(mark));
  }
  return sheet;
}

}  // namespace

std::optional<TEmbeddedMarks> ReadEmbeddedMarks(const std::filesystem::path& file) {
  // The comment's sheet has the titles a block cannot hold.
  if (auto marks = CueSheetComment(file)) return TEmbeddedMarks{"CUESHEET comment", *marks};
  if (auto marks = FlacCueSheetBlock(file)) return TEmbeddedMarks{"FLAC CUESHEET block", *marks};
  if (auto marks = Id3v2Chapters(file)) return TEmbeddedMarks{"ID3v2 chapters", *marks};
  return std::nullopt;
}
