// SPDX-License-Identifier: GPL-3.0-or-later
// What the reader carries beyond the samples, on files built in memory: the INFO texts
// before or after the data (also under hostile sizes), the extensible header's channel mask,
// and floats handed out as stored.

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <string>

#include "formats/wave/wave_in.h"
#include "wave_test_support.h"

namespace {

using namespace wave_test;

TBytes Text(std::string_view text) {
  TBytes body(text.begin(), text.end());
  body.push_back(0);
  return body;
}

TBytes Info(std::initializer_list<TBytes> texts, int64_t declaredSize = -1) {
  TBytes body{'I', 'N', 'F', 'O'};
  for (const auto& t : texts) body.insert(body.end(), t.begin(), t.end());
  return Chunk("LIST", body, declaredSize);
}

const TBytes kFmt = Chunk("fmt ", FmtBody(1, 2, 8000, 4, 16));
const TBytes kData = Chunk("data", Pcm16Frames(2, 0, 10));
const TBytes kSong = Chunk("INAM", Text("Song"));
const TBytes kBand = Chunk("IART", Text("Band"));

TEST(WaveInfo, TextsBeforeOrAfterTheDataBecomeTagsWithinTheirChunks) {
  const struct {
    const char* Name;
    TBytes File;
    std::u16string Title, Artist;
    std::string Year, Track;
  } cases[] = {
      {"before the data", Riff({kFmt, Info({kSong, kBand}), kData}), u"Song", u"Band", "", ""},
      {"after the data", Riff({kFmt, kData, Info({kSong, kBand})}), u"Song", u"Band", "", ""},
      {"after an odd data chunk and its pad",
       Riff({kFmt, Chunk("data", TBytes(41, 0)), {0}, Info({kBand})}), u"", u"Band", "", ""},
      {"after an odd data chunk without its pad",
       Riff({kFmt, Chunk("data", TBytes(41, 0)), Info({kBand})}), u"", u"Band", "", ""},
      {"Windows-1252 and UTF-8",
       Riff({kFmt, Info({Chunk("INAM", Text("Caf\xE9")), Chunk("IART", Text("Caf\xC3\xA9"))}),
             kData}),
       u"Caf\u00E9", u"Caf\u00E9", "", ""},
      {"year and either track id",
       Riff({kFmt, Info({Chunk("ICRD", Text("2019")), Chunk("IPRT", Text("7/12"))}), kData}), u"",
       u"", "2019", "7/12"},
      {"the first of an id counts",
       Riff({kFmt, Info({kSong, Chunk("INAM", Text("Other"))}), kData}), u"Song", u"", "", ""},
      {"a list of another type",
       Riff({kFmt, Chunk("LIST", Concat({{'a', 'd', 't', 'l'}, kSong})), kData}), u"", u"", "", ""},
      {"a text past its list's end",
       Riff({kFmt, kData,
             Info({Chunk("IART", Text("Band")), Chunk("INAM", Text("So"), 0xFFFFFFF0)})}),
       u"So", u"Band", "", ""},
      {"a list past the file's end", Riff({kFmt, kData, Info({kSong}, 0xFFFFFFF0)}), u"Song", u"",
       "", ""},
      {"a text without its zero", Riff({kFmt, kData, Info({Chunk("INAM", TBytes{'S', 'o'})})}),
       u"So", u"", "", ""},
      {"a data size past the file", Riff({kFmt, Chunk("data", TBytes(40, 0), 0x7FFFFFFF)}), u"",
       u"", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryWave w(c.File);
    ASSERT_TRUE(w.In.Valid());
    EXPECT_EQ(w.In.Id3v2Tags().Title(), c.Title);
    EXPECT_EQ(w.In.Id3v2Tags().Artist(), c.Artist);
    EXPECT_EQ(w.In.Id3v2Tags().Year(), c.Year);
    EXPECT_EQ(w.In.Id3v2Tags().Track(), c.Track);
    EXPECT_EQ(w.In.TotalSamples() > 0, true) << "the samples are still read";
  }
}

TBytes ExtensibleFmt(uint16_t tag, uint16_t channels, uint16_t bits, uint32_t mask) {
  TBytes body = FmtBody(0xFFFE, channels, 8000, uint16_t(channels * bits / 8), bits);
  PutU16(body, 22);
  PutU16(body, bits);
  PutU32(body, mask);
  PutU16(body, tag);
  const TBytes rest = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  body.insert(body.end(), rest.begin(), rest.end());
  return Chunk("fmt ", body);
}

template <typename T>
TBytes FloatBytes(std::initializer_list<T> values) {
  TBytes out(values.size() * sizeof(T));
  std::memcpy(out.data(), std::data(values), out.size());
  return out;
}

TEST(WaveInfo, KeepFloatHandsOutTheStoredFloatsBitForBit) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const TBytes f32 = FloatBytes<float>({1.5f, -1.5f, 0.25f, -1e-30f, 1.0f, -2.0f});
  const TBytes f64 = FloatBytes<double>({1.5, -1.5, 0.1, nan, 1e300, -1.0});
  const struct {
    const char* Name;
    TBytes Fmt, Data;
    int Channels, Bits;
  } cases[] = {
      {"32-bit stereo", Chunk("fmt ", FmtBody(3, 2, 8000, 8, 32)), f32, 2, 32},
      {"64-bit mono", Chunk("fmt ", FmtBody(3, 1, 8000, 8, 64)), f64, 1, 64},
      {"extensible 32-bit 3 channels", ExtensibleFmt(3, 3, 32, 0x7), f32, 3, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryWave w(Riff({c.Fmt, Chunk("data", c.Data)}));
    EXPECT_FALSE(w.In.FloatSamples());
    EXPECT_EQ(w.In.BitsPerSample(), 32) << "integers unless asked";
    w.In.SetKeepFloat(true);
    EXPECT_TRUE(w.In.FloatSamples());
    EXPECT_EQ(w.In.BitsPerSample(), c.Bits);
    EXPECT_EQ(w.In.TotalSamples(), int64_t(c.Data.size()) / (c.Channels * c.Bits / 8));
    EXPECT_EQ(ReadAll(w.In, 7 * 8 * 3), c.Data);
    w.In.SetKeepFloat(false);
    EXPECT_EQ(ReadAll(w.In).size(), c.Data.size() * 32 / c.Bits);
  }
}

}  // namespace
