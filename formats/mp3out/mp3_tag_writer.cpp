#include "formats/mp3out/mp3_tag_writer.h"

#include <optional>
#include <string>

#include "pipeline/au_exception.h"
#include "tags/tag_text.h"

namespace {

// A year or track number as TagLib takes it; nothing for texts that are not a whole
// number of zero or more.
std::optional<unsigned> Number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const std::optional<int32_t> value = TTagText::ParseInt32(text);
  if (!value || *value < 0) return std::nullopt;
  return static_cast<unsigned>(*value);
}

}  // namespace

void WriteMP3Tags(const TTagLibApi& api, const std::filesystem::path& file,
                  const TId3v2Tags& tags) {
  std::lock_guard lock(TagLibUseLock());
  api.id3v2_set_default_text_encoding(TagLib_ID3v2_UTF16);
  // TagLib picks the format by the name's extension and hands out a handle even for a file
  // it could not read, so both the handle and its validity are checked.
  const TTagLibFile handle(api.file_new(file.c_str()), TTagLibFileCloser{&api});
  if (!handle || !api.file_is_valid(handle.get())) throw EAuException("Failed to write tags");
  TagLib_Tag* tag = api.file_tag(handle.get());
  if (tag == nullptr) throw EAuException("Failed to write tags");
  api.tag_set_title(tag, TTagText::WideToUtf8(tags.Title()).c_str());
  api.tag_set_artist(tag, TTagText::WideToUtf8(tags.Artist()).c_str());
  api.tag_set_album(tag, TTagText::WideToUtf8(tags.Album()).c_str());
  api.tag_set_genre(tag, TTagText::WideToUtf8(tags.Genre()).c_str());
  if (const auto year = Number(tags.Year())) api.tag_set_year(tag, *year);
  if (const auto track = Number(tags.Track())) api.tag_set_track(tag, *track);
  if (!api.file_save(handle.get())) throw EAuException("Failed to save tags");
}
