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

void AppendEmptyComments(std::vector<uint8_t>& out, const std::string& vendor) {
  const auto put = [&](uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  put(static_cast<uint32_t>(vendor.size()));
  out.insert(out.end(), vendor.begin(), vendor.end());
  put(0);
}
