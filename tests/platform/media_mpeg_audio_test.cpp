// SPDX-License-Identifier: GPL-3.0-or-later
// MPEG audio frame headers, ID3v2 tag lengths and the decode timeline.

#include <gtest/gtest.h>

#include <vector>

#include "platform/media_mpeg_audio.h"
#include "platform/media_timeline.h"

namespace trimora::media {
namespace {

struct THeaderCase {
  uint32_t Word;
  int Version, Layer, Bitrate, Rate, Channels, Bytes, Samples;
};

TEST(MpegHeader, FrameLengthsFollowVersionLayerRateAndPadding) {
  const std::vector<THeaderCase> cases = {
      {0xFFFB9040, 0, 3, 128000, 44100, 2, 417, 1152},  // MPEG-1 Layer III
      {0xFFFB9240, 0, 3, 128000, 44100, 2, 418, 1152},  // the same, padded
      {0xFFF340C0, 1, 3, 32000, 22050, 1, 104, 576},    // MPEG-2, mono
      {0xFFE318C0, 2, 3, 8000, 8000, 1, 72, 576},       // MPEG-2.5
      {0xFFFDA400, 0, 2, 192000, 48000, 2, 576, 1152},  // Layer II
      {0xFFFFC000, 0, 1, 384000, 44100, 2, 416, 384},   // Layer I: slots of 4 bytes
      {0xFFFFC200, 0, 1, 384000, 44100, 2, 420, 384},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.Word);
    const auto h = ParseMpegHeader(c.Word);
    ASSERT_TRUE(h.has_value());
    EXPECT_EQ(h->Version, c.Version);
    EXPECT_EQ(h->Layer, c.Layer);
    EXPECT_EQ(h->Bitrate, c.Bitrate);
    EXPECT_EQ(h->SampleRate, c.Rate);
    EXPECT_EQ(h->Channels, c.Channels);
    EXPECT_EQ(h->FrameBytes, c.Bytes);
    EXPECT_EQ(h->SamplesPerFrame, c.Samples);
  }
}

TEST(MpegHeader, RefusesWordsThatAreNoFrameHeader) {
  for (uint32_t word : {0xFFFBF040u,     // bit-rate index 15
                        0xFFFB0040u,     // free format
                        0xFFFB9C40u,     // sample-rate index 3
                        0xFFEB9040u,     // reserved version
                        0xFFF99040u,     // reserved layer
                        0x7FFB9040u,     // no sync
                        0x49443303u}) {  // "ID3"
    EXPECT_FALSE(ParseMpegHeader(word).has_value()) << std::hex << word;
  }
  const std::vector<uint8_t> short_bytes = {0xFF, 0xFB, 0x90};
  EXPECT_FALSE(ParseMpegHeader(short_bytes).has_value());
}

TEST(MpegVbrTag, AFrameWithoutTagCarriesAudio) {
  const auto h = ParseMpegHeader(0xFFFB9040u);
  std::vector<uint8_t> frame(static_cast<size_t>(h->FrameBytes), 0);
  EXPECT_EQ(ParseMpegVbrTag(frame, *h).Kind, TMpegVbrTag::TKind::None);
  // A tag cut off after its name yields the kind and nothing else.
  frame.resize(36 + 6);
  frame[36] = 'X', frame[37] = 'i', frame[38] = 'n', frame[39] = 'g';
  const auto tag = ParseMpegVbrTag(frame, *h);
  EXPECT_EQ(tag.Kind, TMpegVbrTag::TKind::Xing);
  EXPECT_FALSE(tag.Frames.has_value());
  EXPECT_FALSE(tag.HasEncoderDelays);
}

TEST(Id3v2, TagLengthCountsHeaderBodyAndFooter) {
  std::vector<uint8_t> tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 2, 1};
  EXPECT_EQ(Id3v2TagLength(tag), 10 + 257);
  tag[5] = 0x10;  // footer present
  EXPECT_EQ(Id3v2TagLength(tag), 10 + 257 + 10);
  tag[8] = 0x82;  // not a syncsafe number
  EXPECT_EQ(Id3v2TagLength(tag), 0);
  EXPECT_EQ(Id3v2TagLength(std::vector<uint8_t>{'I', 'D', '3'}), 0);
}

TEST(MediaTimeline, IndexesSkipTheLeadingSamplesAndTheDiscardedStretch) {
  // An MP3 of 100 frames with 576 samples of encoder delay and 1000 of padding.
  const TMediaTimeline line{576 + 529, 115200 - 1000 + 529, 115200};
  EXPECT_EQ(line.Kept(115200), 115200 - 576 - 1000);
  EXPECT_EQ(line.Kept(500), 0);
  EXPECT_EQ(line.ToIndex(1105), 0);
  EXPECT_EQ(line.ToRaw(0), 1105);
  const int64_t lastKept = line.DiscardBegin - 1;
  EXPECT_EQ(line.ToRaw(line.ToIndex(lastKept)), lastKept);
  // Past the stretch (frames beyond the tag's count) indexes go on without a gap.
  EXPECT_EQ(line.ToIndex(115200), line.ToIndex(lastKept) + 1);
  EXPECT_EQ(line.ToRaw(line.ToIndex(lastKept) + 1), 115200);
  EXPECT_FALSE(line.Discarded(lastKept));
  EXPECT_TRUE(line.Discarded(lastKept + 1));
  EXPECT_TRUE(line.Discarded(1104));
}

}  // namespace
}  // namespace trimora::media
