// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/plan_marks.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "cutting/cut_error.h"
#include "cutting/marks/cue_sheet.h"
#include "cutting/marks/label_file.h"
#include "cutting/save/safe_output.h"
#include "tags/id3v2_tags.h"
#include "tags/tag_text.h"

TMarkSheet AlbumTextsOf(const TKind& kind, TAuFileIn& source) {
  TId3v2Tags tags;
  kind.ReadTags(source.FileName(), source, tags);
  TMarkSheet sheet;
  sheet.Album.Title = tag_text::WideToUtf8(tags.Album());
  sheet.Album.Performer = tag_text::WideToUtf8(tags.Artist());
  sheet.Genre = tag_text::WideToUtf8(tags.Genre());
  sheet.Date = tags.Year();
  return sheet;
}

TMarkSheet MarksOfPlan(const std::vector<TSplitPiece>& pieces, int rate, const TMarkSheet& album) {
  TMarkSheet sheet = album;
  sheet.Marks.clear();
  const auto own = [](const std::string& text, const std::string& album) {
    return text == album ? std::string() : text;
  };
  for (const TSplitPiece& piece : pieces) {
    TMark mark;
    mark.Start = FrameTime(piece.Start, rate, rate);
    mark.End = FrameTime(piece.End, rate, rate);
    mark.Texts.Title = piece.Texts.Title;
    mark.Texts.Performer = own(piece.Texts.Artist, album.Album.Performer);
    mark.Texts.Songwriter = own(piece.Texts.Composer, album.Album.Songwriter);
    sheet.Marks.push_back(std::move(mark));
  }
  return sheet;
}

std::string PlanCueSheet(const std::vector<TSplitPiece>& pieces, int rate, const TMarkSheet& album,
                         const std::filesystem::path& sound) {
  std::string extension = sound.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return WriteCueSheet(MarksOfPlan(pieces, rate, album), sound.filename().string(),
                       extension == ".mp3" ? "MP3" : "WAVE", rate);
}

std::string PlanLabels(const std::vector<TSplitPiece>& pieces, int rate) {
  return WriteLabels(MarksOfPlan(pieces, rate, {}), rate);
}

void WritePlanText(const std::filesystem::path& target, const std::string& text, bool replace,
                   const std::filesystem::path& sound) {
  TSafeOutput output(target, replace, {sound});
  {
    std::ofstream out(output.TempPath(), std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw ECutError("cannot write '" + target.string() + "': " + std::strerror(errno));
  }
  output.Commit();
}
