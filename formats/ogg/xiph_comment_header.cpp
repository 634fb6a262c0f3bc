// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ogg/xiph_comment_header.h"

#include "pipeline/au_exception.h"

std::string CommentHeaderVendor(const uint8_t* data, size_t size) {
  if (size < 4) throw EAuException("The comment header is cut short");
  const size_t length =
      size_t(data[0]) | size_t(data[1]) << 8 | size_t(data[2]) << 16 | size_t(data[3]) << 24;
  if (length > size - 4) throw EAuException("The comment header's vendor string is cut short");
  return std::string(reinterpret_cast<const char*>(data + 4), length);
}

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value, bool bigEndian) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(value >> (8 * (bigEndian ? 3 - i : i))));
}

// A FLAC PICTURE block's body, its integers big-endian.
std::vector<uint8_t> PictureBlock(const TXiphPicture& picture) {
  std::vector<uint8_t> block;
  const auto text = [&](const std::string& value) {
    Put32(block, static_cast<uint32_t>(value.size()), true);
    block.insert(block.end(), value.begin(), value.end());
  };
  Put32(block, picture.Type, true);
  text(picture.MimeType);
  text(picture.Description);
  for (const uint32_t value :
       {picture.Width, picture.Height, picture.ColorDepth, picture.NumColors})
    Put32(block, value, true);
  Put32(block, static_cast<uint32_t>(picture.Data.size()), true);
  block.insert(block.end(), picture.Data.begin(), picture.Data.end());
  return block;
}

std::string Base64(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  const size_t n = bytes.size();
  for (size_t i = 0; i < n; i += 3) {
    const uint32_t chunk = uint32_t{bytes[i]} << 16 |
                           (i + 1 < n ? uint32_t{bytes[i + 1]} << 8 : 0) |
                           (i + 2 < n ? uint32_t{bytes[i + 2]} : 0);
    text += kDigits[(chunk >> 18) & 63];
    text += kDigits[(chunk >> 12) & 63];
    text += i + 1 < n ? kDigits[(chunk >> 6) & 63] : '=';
    text += i + 2 < n ? kDigits[chunk & 63] : '=';
  }
  return text;
}

}  // namespace

void AppendComments(std::vector<uint8_t>& out, const std::string& vendor, const TXiphTags& tags) {
  Put32(out, static_cast<uint32_t>(vendor.size()), false);
  out.insert(out.end(), vendor.begin(), vendor.end());
  std::vector<std::string> fields;
  for (const auto& [name, value] : tags.Fields) fields.push_back(name + "=" + value);
  for (const TXiphPicture& picture : tags.Pictures)
    fields.push_back("METADATA_BLOCK_PICTURE=" + Base64(PictureBlock(picture)));
  Put32(out, static_cast<uint32_t>(fields.size()), false);
  for (const std::string& field : fields) {
    Put32(out, static_cast<uint32_t>(field.size()), false);
    out.insert(out.end(), field.begin(), field.end());
  }
}
