// SPDX-License-Identifier: GPL-3.0-or-later
// Tag texts as FFmpeg hands them over: UTF-8, or the single bytes of an ID3v1 record.
#include <gtest/gtest.h>

#include "platform/media_metadata.h"

namespace trimora::media {
namespace {

TEST(MediaMetadata, TextsThatAreNotUtf8AreWindows1252) {
  const struct {
    const char* Raw;
    std::u16string Text;
  } rows[] = {
      {"Caf\xC3\xA9", u"Caf\u00E9"},  // UTF-8
      {"Caf\xE9", u"Caf\u00E9"},      // an ID3v1 record's single byte
      {"Bj\xF8rk \x80 \x9C", u"Bj\u00F8rk \u20AC \u0153"},
      {"\x81\x8D", u"\u0081\u008D"},      // undefined in Windows-1252: kept as codes
      {"\xC0\xAF", u"\u00C0\u00AF"},      // an overlong sequence is no UTF-8
      {"\xEF\xBF\xBD ok", u"\uFFFD ok"},  // a replacement character spelled out
      {"plain", u"plain"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Raw);
    EXPECT_EQ(MediaAttributeText({{"title", row.Raw}}, "Title"), row.Text);
  }
}

}  // namespace
}  // namespace trimora::media
