// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/marks/mark_sheet.h"

namespace {

// Wide enough for any count of frames times any rate.
__extension__ typedef __int128 TWide;

// a × b / c rounded to the nearest, halves up, without overflow for any time a sheet holds.
int64_t ScaleRounded(int64_t a, int64_t b, int64_t c) {
  const TWide product = static_cast<TWide>(a) * b;
  const TWide half = c / 2;
  return static_cast<int64_t>(product >= 0 ? (product + half) / c : -((-product + half) / c));
}

const std::string& Either(const std::string& own, const std::string& sheet) {
  return own.empty() ? sheet : own;
}

}  // namespace

int64_t TMarkTime::Frames(int rate) const {
  return PerSecond > 0 ? ScaleRounded(Count, rate, PerSecond) : 0;
}

TMarkTime FrameTime(int64_t frame, int rate, int64_t perSecond) {
  return {rate > 0 ? ScaleRounded(frame, perSecond, rate) : 0, perSecond};
}

TMarkPieceTexts PieceTexts(const TMarkSheet& sheet, const TMark& mark) {
  TMarkPieceTexts texts;
  texts.Title = Either(mark.Texts.Title, sheet.Album.Title);
  texts.Artist = Either(mark.Texts.Performer, sheet.Album.Performer);
  texts.Composer = Either(mark.Texts.Songwriter, sheet.Album.Songwriter);
  texts.Album = sheet.Album.Title;
  texts.Genre = sheet.Genre;
  texts.Date = sheet.Date;
  texts.Comment = sheet.Comment;
  return texts;
}
