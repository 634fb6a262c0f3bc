// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/mp3_tag_writer.h"

#include <algorithm>
#include <optional>
#include <string>

#include "pipeline/au_exception.h"
#include "tags/file_prepend.h"
#include "tags/id3v2_frames.h"
#include "tags/tag_file.h"
#include "tags/tag_text.h"

namespace {

// A year or track number as TagLib takes it; nothing for texts that are not a whole
// number of zero or more.
std::optional<unsigned> Number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const std::optional<int32_t> value = tag_text::ParseInt32(text);
  if (!value || *value < 0) return std::nullopt;
  return static_cast<unsigned>(*value);
}

void AppendV4Frame(std::vector<std::byte>& out, std::string_view id,
                   const std::vector<std::byte>& data) {
  const auto size = id3v2_layout::MakeSynchsafe(static_cast<uint32_t>(data.size()));
  for (const char c : id) out.push_back(static_cast<std::byte>(c));
  out.insert(out.end(), size.begin(), size.end());
  out.push_back(std::byte{0});
  out.push_back(std::byte{0});
  out.insert(out.end(), data.begin(), data.end());
}

void AppendText(std::vector<std::byte>& out, std::string_view text) {
  for (const char c : text) out.push_back(static_cast<std::byte>(c));
  out.push_back(std::byte{0});
}

std::vector<std::byte> PictureFrameData(const TTagPicture& picture) {
  std::vector<std::byte> data{std::byte{3}};  // UTF-8 description
  AppendText(data, picture.MimeType);
  data.push_back(static_cast<std::byte>(picture.Type));
  AppendText(data, tag_text::WideToUtf8(picture.Description));
  data.insert(data.end(), picture.Data.begin(), picture.Data.end());
  return data;
}

std::vector<std::byte> TextFrameData(const std::u16string& text) {
  std::vector<std::byte> data{std::byte{3}};  // UTF-8
  for (const char c : tag_text::WideToUtf8(text)) data.push_back(static_cast<std::byte>(c));
  return data;
}

std::vector<std::byte> CommentFrameData(const TTagComment& comment) {
  std::vector<std::byte> data{std::byte{3}};  // UTF-8 description and text
  const bool known = comment.Language.size() == 3;
  for (const char c : known ? comment.Language : std::string("XXX"))
    data.push_back(static_cast<std::byte>(c));
  AppendText(data, tag_text::WideToUtf8(comment.Description));
  for (const char c : tag_text::WideToUtf8(comment.Text)) data.push_back(static_cast<std::byte>(c));
  return data;
}

// The main comment is the container's comment text, in the language of the comment frame it
// came from; the described comments follow as they were.
TTagComments CommentsToWrite(const TId3v2Tags& tags) {
  TTagComments comments;
  const TTagComments& frames = tags.Comments();
  const auto main = std::find_if(frames.begin(), frames.end(),
                                 [](const TTagComment& c) { return c.Description.empty(); });
  if (!tags.Comment().empty()) {
    TTagComment first;
    if (main != frames.end()) first.Language = main->Language;
    first.Text = tags.Comment();
    comments.push_back(std::move(first));
  }
  for (auto it = frames.begin(); it != frames.end(); ++it)
    if (it != main) comments.push_back(*it);
  return comments;
}

}  // namespace

std::vector<std::byte> MP3ExtraFramesTag(const TId3v2Tags& tags) {
  std::vector<std::byte> frames;
  // A tag's size field holds 28 bits; a frame that would take it past them (a huge picture)
  // is left out rather than making the whole tag unreadable.
  constexpr std::size_t kPadding = 16;
  const auto append = [&frames](std::string_view id, const std::vector<std::byte>& data) {
    if (frames.size() + data.size() + 10 + kPadding > id3v2_layout::kMaxSynchsafe) return;
    AppendV4Frame(frames, id, data);
  };
  const std::string track = tags.Track();
  if (!track.empty() && !Number(track)) append("TRCK", TextFrameData(tag_text::AnsiToWide(track)));
  for (const TTagComment& comment : CommentsToWrite(tags))
    append("COMM", CommentFrameData(comment));
  if (!tags.Copyright().empty()) append("TCOP", TextFrameData(tags.Copyright()));
  for (const TTagPicture& picture : tags.Pictures()) append("APIC", PictureFrameData(picture));
  if (frames.empty()) return frames;
  const auto header = id3v2_layout::MakeV4Header(static_cast<uint32_t>(frames.size() + kPadding));
  frames.insert(frames.begin(), header.begin(), header.end());
  frames.resize(frames.size() + kPadding);
  return frames;
}

void WriteMP3Tags(const TTagLibApi& api, const std::filesystem::path& file,
                  const TId3v2Tags& tags) {
  // What TagLib's C binding cannot set goes in first, in a tag of its own; TagLib reads that
  // tag, keeps its frames and adds the texts to it.
  const std::vector<std::byte> extra = MP3ExtraFramesTag(tags);
  if (!extra.empty()) {
    TTagFile handle = TTagFile::Open(file, TTagFile::TMode::ReadWrite);
    if (!PrependToFile(handle, extra)) throw EAuException("Failed to save tags");
  }
  std::lock_guard lock(TagLibUseLock());
  api.id3v2_set_default_text_encoding(TagLib_ID3v2_UTF16);
  // TagLib picks the format by the name's extension and hands out a handle even for a file
  // it could not read, so both the handle and its validity are checked.
  const TTagLibFile handle(api.file_new(file.c_str()), TTagLibFileCloser{&api});
  if (!handle || !api.file_is_valid(handle.get())) throw EAuException("Failed to write tags");
  TagLib_Tag* tag = api.file_tag(handle.get());
  if (tag == nullptr) throw EAuException("Failed to write tags");
  api.tag_set_title(tag, tag_text::WideToUtf8(tags.Title()).c_str());
  api.tag_set_artist(tag, tag_text::WideToUtf8(tags.Artist()).c_str());
  api.tag_set_album(tag, tag_text::WideToUtf8(tags.Album()).c_str());
  api.tag_set_genre(tag, tag_text::WideToUtf8(tags.Genre()).c_str());
  if (const auto year = Number(tags.Year())) api.tag_set_year(tag, *year);
  if (const auto track = Number(tags.Track())) api.tag_set_track(tag, *track);
  if (!api.file_save(handle.get())) throw EAuException("Failed to save tags");
}
