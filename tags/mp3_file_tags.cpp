// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/mp3_file_tags.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <string_view>

#include "tags/id3v2_frames.h"
#include "tags/tag_file.h"
#include "tags/tag_text.h"

namespace {

using TBytes = std::span<const std::byte>;

// A tag may hold pictures of any size, but memory is not unlimited: what lies beyond this
// much of an ID3v2 tag is not read (the texts come first in every tag we know).
constexpr std::size_t kMaxId3v2Bytes = 64u << 20;
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
  bool Skip = false;  // compressed or encrypted: its bytes are not the frame's data
  bool Unsynchronised = false;
  std::size_t Prefix = 0;  // bytes before the data: group id, data length
};

TFrameFlags FlagsOf(TBytes header, int version) {
  TFrameFlags flags;
  if (version == 2) return flags;
  const unsigned format = U8(header[9]);
  if (version == 3) {
    flags.Skip = (format & 0xC0) != 0;
    flags.Prefix = (format & 0x20) ? 1 : 0;
  } else {
    flags.Skip = (format & 0x0C) != 0;
    flags.Unsynchronised = (format & 0x02) != 0;
    flags.Prefix = ((format & 0x40) ? 1 : 0) + ((format & 0x01) ? 4 : 0);
  }
  return flags;
}

void UseFrame(std::string_view id, TBytes data, int version, TMP3FileTags& out) {
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
  std::size_t at = FirstFrame(body, version, flags);
  while (at < body.size() && body.size() - at >= headerSize) {
    const TBytes frameHeader = body.subspan(at, headerSize);
    if (U8(frameHeader[0]) < 'A' || U8(frameHeader[0]) > 'Z') break;  // padding
    const std::size_t size = id3v2_layout::FrameDataSize(frameHeader, version);
    at += headerSize;
    if (size > body.size() - at) break;
    const TFrameFlags frameFlags = FlagsOf(frameHeader, version);
    TBytes data = body.subspan(at, size);
    at += size;
    if (frameFlags.Skip || frameFlags.Prefix > data.size()) continue;
    data = data.subspan(frameFlags.Prefix);
    std::vector<std::byte> resynchronised;
    if (frameFlags.Unsynchronised) {
      resynchronised = Resynchronise(data);
      data = resynchronised;
    }
    const std::string_view id(reinterpret_cast<const char*>(frameHeader.data()), idSize);
    UseFrame(id, data, version, out);
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
