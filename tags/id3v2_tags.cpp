// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/id3v2_tags.h"

#include <array>
#include <vector>

#include "tags/file_prepend.h"
#include "tags/id3v2_frames.h"
#include "tags/tag_text.h"

namespace {

struct TFrameIds {
  std::string_view shortId;  // version 2
  std::string_view longId;   // versions 3 and 4
};

constexpr std::array<TFrameIds, 12> kFrameIds = {{{"TAL", "TALB"},
                                                  {"TP1", "TPE1"},
                                                  {"TCO", "TCON"},
                                                  {"TT2", "TIT2"},
                                                  {"TRK", "TRCK"},
                                                  {"TYE", "TYER"},
                                                  {"COM", "COMM"},
                                                  {"TCM", "TCOM"},
                                                  {"TEN", "TENC"},
                                                  {"TCR", "TCOP"},
                                                  {"TLA", "TLAN"},
                                                  {"WXX", "WXXX"}}};

constexpr std::size_t kCommentRow = 6;

bool StartsWithCapital(std::byte b) {
  const auto c = std::to_integer<unsigned>(b);
  return c >= 'A' && c <= 'Z';
}

}  // namespace

TId3v2Tags::TId3v2Tags() {
  for (const auto& ids : kFrameIds) {
    DeclareKey(ids.shortId, {});
    DeclareKey(ids.longId, {});
  }
}

void TId3v2Tags::Assign(const TAuTags& source) {
  TAuTags::Assign(source);
  if (const auto* id3 = dynamic_cast<const TId3v2Tags*>(&source); id3 != nullptr && id3 != this) {
    FPictures = id3->FPictures;
    FComments = id3->FComments;
  }
}

std::string_view TId3v2Tags::Key(TField field) const {
  const auto& ids = kFrameIds[static_cast<std::size_t>(field)];
  return FLongFrameIds ? ids.longId : ids.shortId;
}

bool TId3v2Tags::IsTagPresent(TTagFile& file) {
  const auto position = file.Position();
  if (!position) {
    return false;
  }
  std::array<std::byte, id3v2_layout::kHeaderSize> raw{};
  const bool present = file.Read(raw) == raw.size() && id3v2_layout::ParseHeader(raw).has_value();
  file.SeekTo(*position);
  return present;
}

bool TId3v2Tags::ReadTag(TTagFile& file) {
  if (!file.IsValid()) {
    return false;
  }
  ClearValues();
  const auto start = file.Position();
  if (!start) {
    return false;
  }
  std::array<std::byte, id3v2_layout::kHeaderSize> raw{};
  if (file.Read(raw) != raw.size()) {
    return false;
  }
  const auto header = id3v2_layout::ParseHeader(raw);
  if (!header) {
    return false;
  }
  FLongFrameIds = header->version != 2;
  const std::int64_t end = *start + header->TotalLength();
  WalkFrames(file, header->version, *start + std::int64_t{id3v2_layout::kHeaderSize}, end);
  file.SeekTo(end);
  return true;
}

// Reads frames from `start` up to `end`. An extended header or padding ends the walk,
// since neither begins with a capital letter; unsynchronisation is not undone.
void TId3v2Tags::WalkFrames(TTagFile& file, int version, std::int64_t start, std::int64_t end) {
  const auto fileSize = file.Size();
  if (!fileSize || *fileSize < end) {
    return;  // truncated tag: the header counts, the frames are not trusted
  }
  const std::size_t headerSize = id3v2_layout::FrameHeaderSize(version);
  // Texts end at the frame's end at the latest: two zero bytes cover a UTF-16 unit.
  const std::size_t zeroTail = version == 2 ? 1 : 2;
  std::int64_t position = start;
  std::array<std::byte, 10> frameHeader{};
  std::vector<std::byte> data;
  while (position < end) {
    const std::span<std::byte> head(frameHeader.data(), headerSize);
    if (file.Read(head) != headerSize || !StartsWithCapital(head[0])) {
      return;
    }
    position += static_cast<std::int64_t>(headerSize);
    if (position >= end) {
      return;
    }
    const std::uint32_t size = id3v2_layout::FrameDataSize(head, version);
    if (size == 0) {
      continue;
    }
    // A frame reaching past the tag's end is damaged; stop before reading (or
    // allocating) anything for it.
    if (std::int64_t{size} > end - position) {
      return;
    }
    const std::string id(reinterpret_cast<const char*>(head.data()), headerSize == 6 ? 3 : 4);
    data.assign(size + zeroTail, std::byte{0});
    if (file.Read(std::span(data.data(), size)) != size) {
      return;
    }
    position += size;
    DecodeFrame(id, data);
  }
}

void TId3v2Tags::DecodeFrame(std::string_view id, std::span<const std::byte> data) {
  for (std::size_t row = 0; row < kFrameIds.size(); ++row) {
    const auto& ids = kFrameIds[row];
    if ((FLongFrameIds ? ids.longId : ids.shortId) != id) {
      continue;
    }
    // Comments carry a language and a description before the text; they are not read.
    if (row == kCommentRow) {
      return;
    }
    if (auto value = id3v2_layout::DecodeTextFrame(data)) {
      SetValue(id, *value);
    }
    return;
  }
}

bool TId3v2Tags::WriteTag(TTagFile& file, bool unicode) {
  if (!file.IsValid()) {
    return false;
  }
  std::vector<std::byte> tag(id3v2_layout::kHeaderSize);
  for (std::size_t row = 0; row < kFrameIds.size(); ++row) {
    if (row == kCommentRow) {
      continue;
    }
    const std::string_view id = kFrameIds[row].longId;
    const TAuTagValue value = GetValue(id);
    const auto* wide = std::get_if<std::u16string>(&value);
    // Empty fields are left out one by one; a missing artist must not drop the title.
    if (unicode && wide) {
      if (!wide->empty()) {
        id3v2_layout::AppendV4TextFrame(tag, id, 3, tag_text::WideToUtf8(*wide));
      }
    } else if (const std::string text = ValueAsText(id); !text.empty()) {
      id3v2_layout::AppendV4TextFrame(tag, id, 0, text);
    }
  }
  // Pad with 1 to 16 zero bytes so that the whole tag is a multiple of 16 bytes long.
  const std::size_t frames = tag.size() - id3v2_layout::kHeaderSize;
  const std::size_t padding = 16 - (tag.size() % 16);
  const std::size_t bodySize = frames + padding;
  if (bodySize > id3v2_layout::kMaxSynchsafe) {
    return false;
  }
  tag.resize(tag.size() + padding, std::byte{0});
  const auto header = id3v2_layout::MakeV4Header(static_cast<std::uint32_t>(bodySize));
  std::copy(header.begin(), header.end(), tag.begin());
  return PrependToFile(file, tag);
}
