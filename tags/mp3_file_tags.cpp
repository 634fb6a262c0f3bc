// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/mp3_file_tags.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <iterator>
#include <string_view>

#include "tags/id3v1_genres.h"
#include "tags/id3v2_frames.h"
#include "tags/tag_file.h"
#include "tags/tag_text.h"
#include "tags/zlib_inflate.h"

namespace {

using TBytes = std::span<const std::byte>;

// A tag may hold pictures of any size, but memory is not unlimited: what lies beyond this
// much of an ID3v2 tag is not read (the texts come first in every tag we know).
constexpr std::size_t kMaxId3v2Bytes = 64u << 20;
// Compressed frames may each claim to inflate to almost 4 GiB: together they get no more
// than a whole tag may take.
constexpr std::size_t kMaxInflatedBytes = kMaxId3v2Bytes;
// APEv2 tags hold texts and small binaries; a larger size field is damage.
constexpr std::size_t kMaxApeBytes = 1u << 20;
constexpr std::size_t kApeFooterSize = 32;
constexpr std::size_t kId3v1Size = 128;

unsigned U8(std::byte b) {
  return std::to_integer<unsigned>(b);
}

uint32_t LittleEndian32(TBytes bytes) {
  return U8(bytes[0]) | (U8(bytes[1]) << 8) | (U8(bytes[2]) << 16) | (U8(bytes[3]) << 24);
}

// Undoes the unsynchronisation scheme: every 0xFF 0x00 pair stands for 0xFF.
std::vector<std::byte> Resynchronise(TBytes bytes) {
  std::vector<std::byte> out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (U8(bytes[i]) == 0xFF && i + 1 < bytes.size() && U8(bytes[i + 1]) == 0) ++i;
  }
  return out;
}

// One text of `encoding` from the start of `data`, and the bytes it took with its
// terminator. Encoding 0 is the narrow text of this program (Windows-1252, a superset of
// the ISO-8859-1 the format names); 1 is UTF-16 after a byte-order mark, 2 UTF-16BE, 3 UTF-8.
std::u16string NextText(TBytes& data, unsigned encoding) {
  if (encoding == 0 || encoding == 3) {
    const auto zero = std::find(data.begin(), data.end(), std::byte{0});
    const std::string_view text(reinterpret_cast<const char*>(data.data()),
                                static_cast<std::size_t>(zero - data.begin()));
    data = data.subspan(std::min(data.size(), text.size() + 1));
    return encoding == 0 ? tag_text::AnsiToWide(text) : tag_text::Utf8ToWide(text);
  }
  bool bigEndian = encoding == 2;
  std::size_t i = 0;
  if (encoding == 1 && data.size() >= 2) {
    if (U8(data[0]) == 0xFE && U8(data[1]) == 0xFF) bigEndian = true;
    if ((U8(data[0]) == 0xFE && U8(data[1]) == 0xFF) ||
        (U8(data[0]) == 0xFF && U8(data[1]) == 0xFE))
      i = 2;
  }
  std::u16string text;
  bool terminated = false;
  for (; i + 1 < data.size(); i += 2) {
    const unsigned a = U8(data[i]), b = U8(data[i + 1]);
    const auto unit = static_cast<char16_t>(bigEndian ? (a << 8) | b : a | (b << 8));
    if (unit == 0) {
      i += 2;
      terminated = true;
      break;
    }
    text.push_back(unit);
  }
  // An unterminated text takes the rest, including an odd last byte: leaving that byte
  // behind would hand the caller the same one-byte text again and again.
  data = terminated ? data.subspan(i) : TBytes{};
  return text;
}

// Every value of a text frame, joined with "/" when there are several.
std::u16string JoinedValues(TBytes data, int& count) {
  count = 0;
  if (data.empty()) return {};
  const unsigned encoding = U8(data[0]);
  if (encoding > 3) return {};
  data = data.subspan(1);
  std::u16string joined;
  while (!data.empty()) {
    const std::u16string value = NextText(data, encoding);
    if (value.empty() && data.empty()) break;  // the terminator after the last value
    if (count++ > 0) joined += u'/';
    joined += value;
  }
  return joined;
}

std::string PictureMimeOfV2Format(std::string_view format) {
  std::string lower;
  for (const char c : format)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (lower == "jpg") return "image/jpeg";
  return "image/" + lower;
}

// APIC (versions 3 and 4) or PIC (version 2): encoding, MIME type (or a three-letter
// format), picture type, description, then the image bytes.
std::optional<TTagPicture> ReadPicture(TBytes data, int version) {
  if (data.size() < 2) return std::nullopt;
  const unsigned encoding = U8(data[0]);
  if (encoding > 3) return std::nullopt;
  data = data.subspan(1);
  TTagPicture picture;
  if (version == 2) {
    if (data.size() < 3) return std::nullopt;
    picture.MimeType = PictureMimeOfV2Format({reinterpret_cast<const char*>(data.data()), 3});
    data = data.subspan(3);
  } else {
    picture.MimeType = tag_text::WideToUtf8(NextText(data, 0));
  }
  if (data.empty()) return std::nullopt;
  picture.Type = static_cast<uint8_t>(U8(data[0]));
  data = data.subspan(1);
  picture.Description = NextText(data, encoding);
  picture.Data.assign(data.begin(), data.end());
  return picture;
}

struct TFrameFlags {
  bool Skip = false;  // encrypted, or compressed without its size: the data cannot be read
  bool Compressed = false;
  bool Unsynchronised = false;
  bool Misread = false;    // flags the media runtime takes for others (see TMP3FileTags)
  std::size_t Prefix = 0;  // bytes before the data: inflated size, group id, data length
};

// Each version puts the extra fields in the order of its flags: version 3 the inflated size
// (4 bytes), the encryption method and the group id (1 byte each); version 4 the group id,
// the encryption method and the data length (4 bytes, synchsafe), which a compressed frame
// must have. An encrypted frame is skipped, so its method byte is never counted.
TFrameFlags FlagsOf(TBytes header, int version) {
  TFrameFlags flags;
  if (version == 2) return flags;
  const unsigned format = U8(header[9]);
  if (version == 3) {
    flags.Skip = (format & 0x40) != 0;
    flags.Compressed = (format & 0x80) != 0;
    flags.Prefix = (flags.Compressed ? 4 : 0) + ((format & 0x20) ? 1 : 0);
    flags.Misread = (format & 0xE0) != 0;
  } else {
    flags.Compressed = (format & 0x08) != 0;
    flags.Skip = (format & 0x04) != 0 || (flags.Compressed && !(format & 0x01));
    flags.Unsynchronised = (format & 0x02) != 0;
    flags.Prefix = ((format & 0x40) ? 1 : 0) + ((format & 0x01) ? 4 : 0);
  }
  return flags;
}

// The size a compressed frame inflates to, from the extra fields before its data.
std::size_t InflatedSize(TBytes prefix, int version) {
  if (version == 3)
    return (std::size_t{U8(prefix[0])} << 24) | (U8(prefix[1]) << 16) | (U8(prefix[2]) << 8) |
           U8(prefix[3]);
  return id3v2_layout::ReadSynchsafe(prefix.last<4>());
}

// A frame's data as its flags leave it: the stored bytes, or new ones where they changed.
struct TFrameData {
  TBytes Stored;
  std::optional<std::vector<std::byte>> Changed;
  TBytes Bytes() const { return Changed ? TBytes(*Changed) : Stored; }
};

// The data of a frame whose bytes after its header are `stored`: the extra fields taken
// off, unsynchronisation undone, inflated. Nothing for an encrypted frame or one that does not
// inflate. A compressed frame that states more inflated bytes than `inflateBudget` holds is
// not tried; what a tried one states is taken from the budget.
std::optional<TFrameData> FrameData(TBytes stored, const TFrameFlags& flags, int version,
                                    std::size_t& inflateBudget) {
  if (flags.Skip || flags.Prefix > stored.size()) return std::nullopt;
  TFrameData frame{stored.subspan(flags.Prefix), std::nullopt};
  if (flags.Unsynchronised) frame.Changed = Resynchronise(frame.Stored);
  if (flags.Compressed) {
    const std::size_t size = InflatedSize(stored.first(flags.Prefix), version);
    if (size > inflateBudget) return std::nullopt;
    inflateBudget -= size;
    frame.Changed = InflateZlib(frame.Bytes(), size);
    if (!frame.Changed) return std::nullopt;
  }
  return frame;
}

// COMM (versions 3 and 4) or COM (version 2): encoding, language, description, then the text.
std::optional<TTagComment> ReadComment(TBytes data) {
  if (data.size() < 4 || U8(data[0]) > 3) return std::nullopt;
  const unsigned encoding = U8(data[0]);
  TTagComment comment;
  const std::string language(reinterpret_cast<const char*>(data.data()) + 1, 3);
  if (std::all_of(language.begin(), language.end(),
                  [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }))
    comment.Language = language;
  data = data.subspan(4);
  comment.Description = NextText(data, encoding);
  comment.Text = NextText(data, encoding);
  return comment;
}

void UseFrame(std::string_view id, TBytes data, int version, bool misread, TMP3FileTags& out) {
  struct TTextFrame {
    std::string_view ShortId, LongId;
    std::u16string TMP3FileTags::*Field;
  };
  static constexpr TTextFrame kTexts[] = {{"TP1", "TPE1", &TMP3FileTags::Artist},
                                          {"TAL", "TALB", &TMP3FileTags::Album},
                                          {"TT2", "TIT2", &TMP3FileTags::Title},
                                          {"TCM", "TCOM", &TMP3FileTags::Composer}};
  if (id == (version == 2 ? "PIC" : "APIC")) {
    if (auto picture = ReadPicture(data, version)) out.Pictures.push_back(std::move(*picture));
    return;
  }
  if (id == (version == 2 ? "COM" : "COMM")) {
    if (auto comment = ReadComment(data)) out.Comments.push_back(std::move(*comment));
    return;
  }
  if (misread && id.starts_with('T')) {
    int count = 0;
    out.Version3Texts.emplace(id, JoinedValues(data, count));
  }
  for (const auto& frame : kTexts) {
    if (id != (version == 2 ? frame.ShortId : frame.LongId)) continue;
    int count = 0;
    std::u16string joined = JoinedValues(data, count);
    if (count > 1) out.*frame.Field = std::move(joined);
  }
}

// Where the frames start: after the header and, when there is one, the extended header.
std::size_t FirstFrame(TBytes body, int version, unsigned flags) {
  if (version == 2 || !(flags & 0x40) || body.size() < 4) return 0;
  // Version 3 counts the extended header without its size field, version 4 with it.
  if (version == 3)
    return 4 + std::size_t{(U8(body[0]) << 24) | (U8(body[1]) << 16) | (U8(body[2]) << 8) |
                           U8(body[3])};
  return id3v2_layout::ReadSynchsafe(body.first<4>());
}

// The bytes of an APEv2 item value as text: UTF-8, several values split by zero bytes.
std::u16string ApeText(TBytes value) {
  std::u16string text = tag_text::Utf8ToWide(
      std::string_view(reinterpret_cast<const char*>(value.data()), value.size()));
  while (!text.empty() && text.back() == 0) text.pop_back();
  std::replace(text.begin(), text.end(), u'\0', u'/');
  return text;
}

std::vector<std::byte> ReadRange(TTagFile& file, int64_t offset, std::size_t size) {
  std::vector<std::byte> bytes(size);
  if (!file.SeekTo(offset)) return {};
  bytes.resize(file.Read(bytes));
  return bytes;
}

void ReadTrailingTags(TTagFile& file, int64_t size, TMP3FileTags& out) {
  int64_t end = size;
  out.Id3v1.emplace();
  if (size >= static_cast<int64_t>(kId3v1Size) && out.Id3v1->ReadTag(file))
    end -= kId3v1Size;
  else
    out.Id3v1.reset();
  if (end < static_cast<int64_t>(kApeFooterSize)) return;
  const auto footer = ReadRange(file, end - kApeFooterSize, kApeFooterSize);
  if (footer.size() != kApeFooterSize || std::memcmp(footer.data(), "APETAGEX", 8) != 0) return;
  const std::size_t tagSize = LittleEndian32(TBytes(footer).subspan(12, 4));
  if (tagSize < kApeFooterSize || tagSize > kMaxApeBytes || static_cast<int64_t>(tagSize) > end)
    return;
  const auto tag = ReadRange(file, end - static_cast<int64_t>(tagSize), tagSize);
  out.APEv2.emplace();
  if (tag.size() != tagSize || !ReadAPEv2(tag, *out.APEv2)) out.APEv2.reset();
}

// What the ID3v1 record says (`fromV1`), or when it says nothing, the APEv2 tag (`fromApe`).
template <class TFromV1, class TFromApe>
auto Older(const TMP3FileTags& file, TFromV1 fromV1, TFromApe fromApe) {
  decltype(fromV1(*file.Id3v1)) value{};
  if (file.Id3v1) value = fromV1(*file.Id3v1);
  if (value.empty() && file.APEv2) value = fromApe(*file.APEv2);
  return value;
}

// A genre given by its ID3v1 number, "(17)" or "17" as older writers put it, by its name.
std::u16string GenreText(const std::u16string& text) {
  std::size_t at = text.starts_with(u'(') ? 1 : 0;
  unsigned number = 0;
  const std::size_t digits = at;
  while (at < text.size() && at - digits < 3 && text[at] >= u'0' && text[at] <= u'9')
    number = number * 10 + (text[at++] - u'0');
  if (at == digits || number >= kId3v1GenreCount) return text;
  return tag_text::AnsiToWide(kId3v1Genres[number]);
}

// Frames that only describe how the old file was encoded (gapless playback, loudness), which
// a new encoding would contradict.
bool IsEncoderNote(const TTagComment& comment) {
  return comment.Description.starts_with(u"iTun");
}

void UseVersion3Texts(const TMP3FileTags& file, TId3v2Tags& tags) {
  const auto text = [&file](std::string_view id) -> std::optional<std::u16string> {
    const auto found = file.Version3Texts.find(id);
    if (found == file.Version3Texts.end()) return std::nullopt;
    return found->second;
  };
  using tag_text::WideToAnsi;
  if (auto v = text("TIT2")) tags.SetTitle(*v);
  if (auto v = text("TPE1")) tags.SetArtist(*v);
  if (auto v = text("TALB")) tags.SetAlbum(*v);
  if (auto v = text("TCON")) tags.SetGenre(GenreText(*v));
  if (auto v = text("TYER")) tags.SetYear(WideToAnsi(*v));
  if (auto v = text("TRCK")) tags.SetTrack(WideToAnsi(*v));
  if (auto v = text("TCOM")) tags.SetComposer(*v);
  if (auto v = text("TCOP")) tags.SetCopyright(*v);
}

void UseComments(const TMP3FileTags& file, TId3v2Tags& tags) {
  const auto main = std::find_if(file.Comments.begin(), file.Comments.end(),
                                 [](const TTagComment& c) { return c.Description.empty(); });
  if (main != file.Comments.end()) tags.SetComment(main->Text);
  TTagComments comments;
  std::copy_if(file.Comments.begin(), file.Comments.end(), std::back_inserter(comments),
               [](const TTagComment& c) { return !IsEncoderNote(c); });
  tags.SetComments(std::move(comments));
}

}  // namespace

void ReadId3v2Extras(std::span<const std::byte> tag, TMP3FileTags& out) {
  if (tag.size() < id3v2_layout::kHeaderSize) return;
  const auto header = id3v2_layout::ParseHeader(tag.first<id3v2_layout::kHeaderSize>());
  if (!header) return;
  const int version = header->version;
  const unsigned flags = U8(tag[5]);
  TBytes body = tag.subspan(id3v2_layout::kHeaderSize);
  body = body.first(std::min<std::size_t>(body.size(), header->size));
  // Versions 2 and 3 unsynchronise the whole tag, version 4 each frame on its own.
  std::vector<std::byte> whole;
  if (version < 4 && (flags & 0x80)) {
    whole = Resynchronise(body);
    body = whole;
  }
  const std::size_t headerSize = id3v2_layout::FrameHeaderSize(version);
  const std::size_t idSize = version == 2 ? 3 : 4;
  std::size_t inflateBudget = kMaxInflatedBytes;
  std::size_t at = FirstFrame(body, version, flags);
  while (at < body.size() && body.size() - at >= headerSize) {
    const TBytes frameHeader = body.subspan(at, headerSize);
    if (U8(frameHeader[0]) < 'A' || U8(frameHeader[0]) > 'Z') break;  // padding
    const std::size_t size = id3v2_layout::FrameDataSize(frameHeader, version);
    at += headerSize;
    if (size > body.size() - at) break;
    const std::string_view id(reinterpret_cast<const char*>(frameHeader.data()), idSize);
    const TFrameFlags frameFlags = FlagsOf(frameHeader, version);
    const TBytes data = body.subspan(at, size);
    at += size;
    if (const auto frame = FrameData(data, frameFlags, version, inflateBudget)) {
      UseFrame(id, frame->Bytes(), version, frameFlags.Misread, out);
    } else if (frameFlags.Misread && id.starts_with('T')) {
      // What the runtime made of a text no one can read is noise: it stands as no text.
      out.Version3Texts.emplace(id, u"");
    }
  }
}

bool ReadAPEv2(std::span<const std::byte> tag, TAPEv2Tags& out) {
  if (tag.size() < kApeFooterSize) return false;
  const TBytes footer = tag.last(kApeFooterSize);
  if (std::memcmp(footer.data(), "APETAGEX", 8) != 0) return false;
  const std::size_t tagSize = LittleEndian32(footer.subspan(12, 4));
  const uint32_t count = LittleEndian32(footer.subspan(16, 4));
  if (tagSize < kApeFooterSize || tagSize > tag.size()) return false;
  TBytes items = tag.subspan(tag.size() - tagSize, tagSize - kApeFooterSize);
  for (uint32_t i = 0; i < count && items.size() >= 9; ++i) {
    const std::size_t valueSize = LittleEndian32(items.first(4));
    const uint32_t itemFlags = LittleEndian32(items.subspan(4, 4));
    items = items.subspan(8);
    const auto zero = std::find(items.begin(), items.end(), std::byte{0});
    if (zero == items.end()) break;
    const std::string key(reinterpret_cast<const char*>(items.data()),
                          static_cast<std::size_t>(zero - items.begin()));
    items = items.subspan(key.size() + 1);
    if (valueSize > items.size()) break;
    // Only text items (bits 1 and 2 clear) are texts; the rest are binaries and links.
    if ((itemFlags & 0x06) == 0) out.SetValue(key, ApeText(items.first(valueSize)));
    items = items.subspan(valueSize);
  }
  return true;
}

void ReadMP3FileTags(const std::filesystem::path& file, TMP3FileTags& tags) {
  // Opened without blocking, so that a pipe or device under an MP3 name cannot hang us.
  TTagFile handle(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (!handle.IsValid() || ::fstat(handle.Fd(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  const int64_t size = info.st_size;
  const auto head = ReadRange(handle, 0, id3v2_layout::kHeaderSize);
  if (head.size() == id3v2_layout::kHeaderSize) {
    if (const auto header = id3v2_layout::ParseHeader(std::span(head).first<10>())) {
      const auto length =
          std::min<int64_t>({header->TotalLength(), size, static_cast<int64_t>(kMaxId3v2Bytes)});
      ReadId3v2Extras(ReadRange(handle, 0, static_cast<std::size_t>(length)), tags);
    }
  }
  ReadTrailingTags(handle, size, tags);
}

void CompleteFromMP3File(const TMP3FileTags& file, TId3v2Tags& tags) {
  using tag_text::AnsiToWide;
  if (!file.Artist.empty()) tags.SetArtist(file.Artist);
  if (!file.Album.empty()) tags.SetAlbum(file.Album);
  if (!file.Title.empty()) tags.SetTitle(file.Title);
  if (!file.Composer.empty()) tags.SetComposer(file.Composer);
  UseVersion3Texts(file, tags);
  UseComments(file, tags);
  tags.SetPictures(file.Pictures);

  const auto wide = [](std::string (TId3v1Tags::*get)() const) {
    return [get](const TId3v1Tags& v1) { return AnsiToWide((v1.*get)()); };
  };
  const auto number = [](auto(TId3v1Tags::*get)() const) {
    return [get](const TId3v1Tags& v1) {
      const auto value = (v1.*get)();
      return value != 0 ? std::to_string(value) : std::string();
    };
  };
  // A genre byte outside the list (255 by convention) means the record names none.
  const auto genre = [](const TId3v1Tags& v1) {
    return v1.ValueAsInteger("genre") < 148 ? AnsiToWide(v1.Genre()) : std::u16string();
  };
  const auto ape = [](auto get) { return std::mem_fn(get); };
  if (tags.Artist().empty())
    tags.SetArtist(Older(file, wide(&TId3v1Tags::Artist), ape(&TAPEv2Tags::Artist)));
  if (tags.Album().empty())
    tags.SetAlbum(Older(file, wide(&TId3v1Tags::Album), ape(&TAPEv2Tags::Album)));
  if (tags.Title().empty())
    tags.SetTitle(Older(file, wide(&TId3v1Tags::Title), ape(&TAPEv2Tags::Title)));
  if (tags.Comment().empty())
    tags.SetComment(Older(file, wide(&TId3v1Tags::Comment), ape(&TAPEv2Tags::Comment)));
  if (tags.Genre().empty()) tags.SetGenre(Older(file, genre, ape(&TAPEv2Tags::Genre)));
  if (tags.Year().empty())
    tags.SetYear(Older(file, number(&TId3v1Tags::Year), ape(&TAPEv2Tags::Year)));
  if (tags.Track().empty())
    tags.SetTrack(Older(file, number(&TId3v1Tags::Track), ape(&TAPEv2Tags::Track)));
}

void CompleteFromMP3File(const std::filesystem::path& file, TId3v2Tags& tags) {
  TMP3FileTags own;
  ReadMP3FileTags(file, own);
  CompleteFromMP3File(own, tags);
}
