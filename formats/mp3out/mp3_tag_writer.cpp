// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/mp3_tag_writer.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "pipeline/au_exception.h"
#include "tags/id3v2_frames.h"
#include "tags/tag_text.h"

namespace {

// Every frame is made here with its encoding, so TagLib's process-wide default encoding
// plays no part and needs no lock.
constexpr TagLib::String::Type kEncoding = TagLib::String::UTF16;

// A year or track number; nothing for texts that are not a whole number of zero or more.
std::optional<unsigned> Number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const std::optional<int32_t> value = tag_text::ParseInt32(text);
  if (!value || *value < 0) return std::nullopt;
  return static_cast<unsigned>(*value);
}

// Zero stands for no number, as in TagLib's own setters.
TagLib::String NumberText(unsigned value) {
  return value == 0 ? TagLib::String() : TagLib::String::number(static_cast<int>(value));
}

TagLib::String ToTagLib(const std::u16string& text) {
  return TagLib::String(tag_text::WideToUtf8(text), TagLib::String::UTF8);
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

// Adds frames to a tag while its size stays within what the size field can hold.
class TFrameAdder {
 public:
  explicit TFrameAdder(TagLib::ID3v2::Tag& tag) : FTag(tag) {}

  void Add(std::unique_ptr<TagLib::ID3v2::Frame> frame) {
    // The rendered frame is the frame's header and data; padding comes on top.
    constexpr std::size_t kPadding = 1024;
    const std::size_t size = frame->render().size();
    if (FSize + size + id3v2_layout::kHeaderSize + kPadding > id3v2_layout::kMaxSynchsafe) return;
    FSize += size;
    FTag.addFrame(frame.release());
  }

  void AddText(const TagLib::ByteVector& id, const TagLib::String& text) {
    FTag.removeFrames(id);
    if (text.isEmpty()) return;
    auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(id, kEncoding);
    frame->setText(text);
    Add(std::move(frame));
  }

 private:
  TagLib::ID3v2::Tag& FTag;
  std::size_t FSize = 0;
};

std::unique_ptr<TagLib::ID3v2::Frame> CommentFrame(const TTagComment& comment) {
  auto frame = std::make_unique<TagLib::ID3v2::CommentsFrame>(kEncoding);
  const bool known = comment.Language.size() == 3;
  frame->setLanguage(TagLib::ByteVector(known ? comment.Language.c_str() : "XXX", 3));
  frame->setDescription(ToTagLib(comment.Description));
  frame->setText(ToTagLib(comment.Text));
  return frame;
}

std::unique_ptr<TagLib::ID3v2::Frame> PictureFrame(const TTagPicture& picture) {
  auto frame = std::make_unique<TagLib::ID3v2::AttachedPictureFrame>();
  frame->setTextEncoding(kEncoding);
  frame->setMimeType(TagLib::String(picture.MimeType, TagLib::String::Latin1));
  // TagLib's type is an enum of the 21 kinds ID3v2 names; a number beyond them is "other".
  using TType = TagLib::ID3v2::AttachedPictureFrame::Type;
  frame->setType(picture.Type <= TType::PublisherLogo ? static_cast<TType>(picture.Type)
                                                      : TType::Other);
  frame->setDescription(ToTagLib(picture.Description));
  frame->setPicture(TagLib::ByteVector(reinterpret_cast<const char*>(picture.Data.data()),
                                       static_cast<unsigned>(picture.Data.size())));
  return frame;
}

}  // namespace

void WriteMP3Tags(const std::filesystem::path& file, const TId3v2Tags& tags) {
  TagLib::MPEG::File mpeg(file.c_str());
  if (!mpeg.isValid()) throw EAuException("Failed to write tags");
  TagLib::ID3v2::Tag& v2 = *mpeg.ID3v2Tag(true);
  TagLib::ID3v1::Tag& v1 = *mpeg.ID3v1Tag(true);

  const TagLib::String title = ToTagLib(tags.Title());
  const TagLib::String artist = ToTagLib(tags.Artist());
  const TagLib::String album = ToTagLib(tags.Album());
  const TagLib::String genre = ToTagLib(tags.Genre());
  const std::optional<unsigned> year = Number(tags.Year());
  const std::string track = tags.Track();
  const std::optional<unsigned> trackNumber = Number(track);

  TFrameAdder adder(v2);
  adder.AddText("TIT2", title);
  adder.AddText("TPE1", artist);
  adder.AddText("TALB", album);
  adder.AddText("TCON", genre);
  if (year) adder.AddText("TDRC", NumberText(*year));
  if (trackNumber)
    adder.AddText("TRCK", NumberText(*trackNumber));
  else if (!track.empty())
    adder.AddText("TRCK", ToTagLib(tag_text::AnsiToWide(track)));
  for (const TTagComment& comment : CommentsToWrite(tags)) adder.Add(CommentFrame(comment));
  if (!tags.Composer().empty()) adder.AddText("TCOM", ToTagLib(tags.Composer()));
  if (!tags.Copyright().empty()) adder.AddText("TCOP", ToTagLib(tags.Copyright()));
  for (const TTagPicture& picture : tags.Pictures()) adder.Add(PictureFrame(picture));

  v1.setTitle(title);
  v1.setArtist(artist);
  v1.setAlbum(album);
  v1.setGenre(genre);
  if (year) v1.setYear(*year);
  if (trackNumber) v1.setTrack(*trackNumber);

  // Duplicate fills what one tag lacks from the other: the record's comment reaches a tag
  // that has none.
  if (!mpeg.save(TagLib::MPEG::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v4,
                 TagLib::File::Duplicate))
    throw EAuException("Failed to save tags");
}
