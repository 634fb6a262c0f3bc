#include "cutting/tag_copy.h"

#include <limits>
#include <optional>
#include <string>

#include "tags/tag_text.h"

namespace {

// A number that fits the field of type T; 0 for anything else.
template <typename T>
T FieldNumber(const std::string& text) {
  const std::optional<int32_t> value = TTagText::ParseInt32(text);
  if (!value || *value < 0 || *value > std::numeric_limits<T>::max()) return 0;
  return static_cast<T>(*value);
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
}

void CopyId3v2ToId3v1(const TId3v2Tags& source, TId3v1Tags& sink) {
  using TTagText::WideToAnsi;
  sink.SetArtist(WideToAnsi(source.Artist()));
  sink.SetAlbum(WideToAnsi(source.Album()));
  sink.SetGenre(WideToAnsi(source.Genre()));
  sink.SetYear(FieldNumber<uint16_t>(source.Year()));
  sink.SetTrack(FieldNumber<uint8_t>(source.Track()));
  sink.SetTitle(WideToAnsi(source.Title()));
  sink.SetComment(WideToAnsi(source.Comment()));
}

void CopyTagsToMP3(const TId3v2Tags& source, TId3v2Tags& sinkId3v2, TId3v1Tags& sinkId3v1) {
  CopyId3v2Tags(source, sinkId3v2);
  CopyId3v2ToId3v1(source, sinkId3v1);
}
