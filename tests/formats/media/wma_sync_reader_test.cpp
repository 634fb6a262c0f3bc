// SPDX-License-Identifier: GPL-3.0-or-later
// The reader layer on its own: rounding of the duration, pieces handed out, attributes.

#include <gtest/gtest.h>

#include "formats/media/wma_sync_reader.h"
#include "media_source_support.h"

namespace trimora::media::test {
namespace {

TEST(WmaSyncReader, DurationRoundsHundredthsToNearest) {
  TWmaSyncReader reader;
  for (const auto& [duration, hundredths] : std::vector<std::pair<uint64_t, int64_t>>{
           {12345678, 123}, {0, 0}, {49999, 0}, {50001, 1}, {150000, 2}, {100000000, 1000}}) {
    reader.Duration = duration;
    EXPECT_EQ(wma_reader_duration(reader), hundredths) << duration;
  }
}

TEST(WmaSyncReader, AReadNeverGoesBeyondTheCurrentRuntimeSample) {
  TAuMemoryStream stream(LoadMediaFixture("wma_v2_64k_44k_stereo.wma"));
  TWmaSyncReader reader;
  wma_reader_open(reader, stream, false, 0);
  ASSERT_TRUE(reader.HasAudio);
  uint32_t bytes = 1 << 20;
  ASSERT_NE(wma_reader_read(reader, bytes), nullptr);
  const uint32_t sample = bytes;
  EXPECT_EQ(sample, 2048u * 4);  // one decoded frame
  bytes = 10;
  wma_reader_read(reader, bytes);
  EXPECT_EQ(bytes, 10u);
  bytes = 1 << 20;
  wma_reader_read(reader, bytes);
  EXPECT_EQ(bytes, sample - 10);  // only the rest of that sample
  wma_reader_close(reader);
  bytes = 100;
  EXPECT_EQ(wma_reader_read(reader, bytes), nullptr);
  EXPECT_EQ(bytes, 0u);
}

TEST(WmaSyncReader, ASeekDropsWhatIsLeftOfTheSampleInHand) {
  TAuMemoryStream stream(LoadMediaFixture("mp3_lame_cbr128_44k_stereo.mp3"));
  const auto straight = StraightDecode("mp3_lame_cbr128_44k_stereo.mp3");
  TWmaSyncReader reader;
  wma_reader_open(reader, stream, false, 0);
  uint32_t bytes = 4;
  wma_reader_read(reader, bytes);
  ASSERT_EQ(wma_reader_seek(reader, 50), TMediaResult::Ok);  // 0.5 s: frame 22050
  bytes = 4;
  const uint8_t* data = wma_reader_read(reader, bytes);
  ASSERT_EQ(bytes, 4u);
  EXPECT_TRUE(std::equal(data, data + 4, straight.begin() + 22050 * 4));
  wma_reader_close(reader);
}

TEST(WmaSyncReader, TheDefaultRequestGivesTheFilesRateAndChannelsAtSixteenBits) {
  for (const auto& e : ExpectedFixtures()) {
    TAuMemoryStream stream(LoadMediaFixture(e.File));
    TWmaSyncReader reader;
    for (const int8_t request : {int8_t{0}, int8_t{-1}}) {
      wma_reader_open(reader, stream, false, request);
      uint16_t channels = 0;
      uint16_t bits = 0;
      uint32_t rate = 0;
      wma_reader_format(reader, channels, bits, rate);
      EXPECT_EQ(channels, e.Channels) << e.File;
      EXPECT_EQ(bits, 16) << e.File;
      EXPECT_EQ(rate, static_cast<uint32_t>(e.Rate)) << e.File;
      wma_reader_close(reader);
    }
    // An exact request the file cannot meet chooses nothing.
    wma_reader_open(reader, stream, true, 6);
    EXPECT_FALSE(reader.HasAudio) << e.File;
    EXPECT_EQ(wma_reader_bitrate(reader), 0u);
    EXPECT_EQ(wma_reader_text(reader, "Title"), u"");
    wma_reader_close(reader);
  }
}

TEST(WmaSyncReader, UnrecognisedStreamsLeaveTheReaderUnset) {
  TAuMemoryStream stream(std::vector<uint8_t>(4096, 0x55));
  TWmaSyncReader reader;
  wma_reader_open(reader, stream, false, 0);
  EXPECT_EQ(reader.Reader, nullptr);
  EXPECT_FALSE(reader.HasAudio);
  EXPECT_EQ(wma_reader_duration(reader), 0);
  EXPECT_EQ(wma_reader_seek(reader, 10), TMediaResult::Fail);
}

}  // namespace
}  // namespace trimora::media::test
