// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/kinds/tag_copy.h"

#include <limits>
#include <optional>
#include <string>

#include "pipeline/au_file_stream.h"
#include "tags/mp3_file_tags.h"
#include "tags/tag_text.h"

namespace {

// A number that fits the field of type T; 0 for anything else.
template <typename T>
T FieldNumber(const std::string& text) {
  const std::optional<int32_t> value = tag_text::ParseInt32(text);
  if (!value || *value < 0 || *value > std::numeric_limits<T>::max()) return 0;
  return static_cast<T>(*value);
}

// A track number, also in the "7/12" form (track 7 of 12), which the field holds as 7.
uint8_t TrackNumber(const std::string& text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return FieldNumber<uint8_t>(text);
  if (!tag_text::ParseInt32(text.substr(slash + 1))) return 0;
  return FieldNumber<uint8_t>(text.substr(0, slash));
}

}  // namespace

void CopyId3v2Tags(const TId3v2Tags& source, TId3v2Tags& sink) {
  sink.SetArtist(source.Artist());
  sink.SetAlbum(source.Album());
  sink.SetGenre(source.Genre());
  sink.SetYear(source.Year());
  sink.SetTrack(source.Track());
  sink.SetTitle(source.Title());
  sink.SetComment(source.Comment());
  sink.SetComposer(source.Composer());
  sink.SetEncoder(source.Encoder());
  sink.SetCopyright(source.Copyright());
  sink.SetLanguage(source.Language());
  sink.SetLink(source.Link());
  sink.SetPictures(source.Pictures());
  sink.SetComments(source.Comments());
}

void CopyId3v2ToId3v1(const TId3v2Tags& source, TId3v1Tags& sink) {
  using tag_text::WideToAnsi;
  sink.SetArtist(WideToAnsi(source.Artist()));
  sink.SetAlbum(WideToAnsi(source.Album()));
  sink.SetGenre(WideToAnsi(source.Genre()));
  sink.SetYear(FieldNumber<uint16_t>(source.Year()));
  sink.SetTrack(TrackNumber(source.Track()));
  sink.SetTitle(WideToAnsi(source.Title()));
  sink.SetComment(WideToAnsi(source.Comment()));
}

void CopyTagsToMP3(const TId3v2Tags& source, TId3v2Tags& sinkId3v2, TId3v1Tags& sinkId3v1) {
  CopyId3v2Tags(source, sinkId3v2);
  CopyId3v2ToId3v1(source, sinkId3v1);
}

void CopyTagsToMP3(const TId3v2Tags& source, const std::filesystem::path& sourceFile,
                   TId3v2Tags& sinkId3v2, TId3v1Tags& sinkId3v1) {
  CopyId3v2Tags(source, sinkId3v2);
  if (!sourceFile.empty()) CompleteFromMP3File(sourceFile, sinkId3v2);
  CopyId3v2ToId3v1(sinkId3v2, sinkId3v1);
}

std::filesystem::path TagFileOf(TAuFileIn& source) {
  if (const auto* held = dynamic_cast<const TAuFileStream*>(source.CallerStream()))
    return held->HeldName();
  return source.FileName();
}

void SetTrackOfCount(TAuTaggedFileOut& sink, int number, int count) {
  const std::string track = std::to_string(number) + "/" + std::to_string(count);
  sink.Id3v2Tags().SetTrack(track);
  sink.Id3v1Tags().SetTrack(TrackNumber(track));
  // Comment fields keep the number and the count apart, as taggers write them.
  sink.XiphTags().Set("TRACKNUMBER", std::to_string(number));
  sink.XiphTags().Set("TRACKTOTAL", std::to_string(count));
}

void SetPieceTexts(TAuTaggedFileOut& sink, const TMarkPieceTexts& texts) {
  using tag_text::Utf8ToWide;
  TId3v2Tags& id3 = sink.Id3v2Tags();
  const struct {
    const std::string& Value;
    void (TId3v2Tags::*SetWide)(const std::u16string&);
    const char* Field;
  } fields[] = {{texts.Title, &TId3v2Tags::SetTitle, "TITLE"},
                {texts.Artist, &TId3v2Tags::SetArtist, "ARTIST"},
                {texts.Album, &TId3v2Tags::SetAlbum, "ALBUM"},
                {texts.Composer, &TId3v2Tags::SetComposer, "COMPOSER"},
                {texts.Genre, &TId3v2Tags::SetGenre, "GENRE"},
                {texts.Comment, &TId3v2Tags::SetComment, "COMMENT"}};
  bool any = false;
  for (const auto& field : fields) {
    if (field.Value.empty()) continue;
    (id3.*field.SetWide)(Utf8ToWide(field.Value));
    sink.XiphTags().Set(field.Field, field.Value);
    any = true;
  }
  if (!texts.Date.empty()) {
    id3.SetYear(texts.Date);
    sink.XiphTags().Set("DATE", texts.Date);
    any = true;
  }
  if (any) CopyId3v2ToId3v1(id3, sink.Id3v1Tags());
}
