// SPDX-License-Identifier: GPL-3.0-or-later
// The lossless Ogg Opus and Vorbis cut, judged by FFmpeg's and GStreamer's decoders: the copy
// of a range decodes to the samples FFmpeg decodes from the source over the range, from
// packets that are the source's own bytes, and carries the comment fields it was given.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/ogg/ogg_packet_copy_out.h"
#include "formats/ogg/ogg_stream_index.h"
#include "pipeline_test_support.h"

using namespace test_support;

namespace {

struct TSourceKind {
  const char* Name;
  int Rate;  // of the sound given to the encoder
  int Channels;
  const char* Codec;  // ffmpeg's options
  bool Vorbis;
};

constexpr TSourceKind kKinds[] = {
    {"Opus stereo", 48000, 2, "-c:a libopus -b:a 96k", false},
    {"Opus mono", 48000, 1, "-c:a libopus -b:a 48k", false},
    {"Opus from 44.1 kHz", 44100, 2, "-c:a libopus -b:a 64k", false},
    {"Vorbis stereo", 44100, 2, "-c:a libvorbis -q:a 4", true},
};

// A tone in noise, so that a decode shifted by one sample differs everywhere.
std::filesystem::path MakeSource(const TTempFolder& folder, const TSourceKind& kind) {
  const auto file = folder / (std::string(kind.Vorbis ? "in.ogg" : "in.opus"));
  const std::string rate = std::to_string(kind.Rate);
  EXPECT_TRUE(Ffmpeg("-f lavfi -i sine=f=440:r=" + rate +
                     ":d=4 -f lavfi -i anoisesrc=a=0.2:r=" + rate +
                     ":d=4 -filter_complex amix=inputs=2 -ac " + std::to_string(kind.Channels) +
                     " " + kind.Codec + " " + Quoted(file.string())));
  return file;
}

// Copies samples `start` to `end` (inclusive, -1: to the end) of `source` into `target`, as a
// cut does, with a title to carry: the run's error, or empty.
std::string CopyRange(const std::filesystem::path& source, const std::filesystem::path& target,
                      int64_t start, int64_t end, int64_t* leadIn = nullptr) {
  pipeline_test::TRawFileIn in;
  in.SetFileName(source);
  in.StartSample = start;
  in.EndSample = end;
  TOggPacketCopyOut copy;
  copy.SetInput(&in);
  copy.SetFileName(target);
  copy.XiphTags().Fields = {{"TITLE", "Kept"}};
  const std::string error = pipeline_test::RunToEnd(copy);
  copy.SetInput(nullptr);
  if (leadIn != nullptr) *leadIn = copy.LeadInSamples();
  if (error.empty() && copy.SamplesKept() != (end < 0 ? copy.SamplesKept() : end + 1 - start))
    return "SamplesKept is " + std::to_string(copy.SamplesKept());
  return error;
}

// Frames GStreamer decodes from the file.
int64_t GstreamerFrames(const std::filesystem::path& file, bool vorbis, int channels) {
  const auto raw = file.string() + ".raw";
  Shell("gst-launch-1.0 -q filesrc location=" + Quoted(file.string()) + " ! oggdemux ! " +
        (vorbis ? "vorbisdec" : "opusdec") + " ! audioconvert ! audio/x-raw,format=S16LE ! " +
        "filesink location=" + Quoted(raw));
  return static_cast<int64_t>(ReadBytes(raw).size()) / (2 * channels);
}

// The MD5 of each audio packet, as FFmpeg demuxes them.
std::vector<std::string> PacketHashes(const std::filesystem::path& file) {
  std::vector<std::string> hashes;
  const TShellRun run = Shell("ffmpeg -nostdin -loglevel error -i " + Quoted(file.string()) +
                              " -map 0:a -c copy -f framemd5 -");
  size_t from = 0;
  for (size_t to; (to = run.Out.find('\n', from)) != std::string::npos; from = to + 1) {
    const std::string line = run.Out.substr(from, to - from);
    // stream, dts, pts, duration, size, hash, then any side data's
    size_t field = 0;
    for (int comma = 0; comma < 5 && field != std::string::npos; ++comma)
      field = line.find(',', field + 1);
    if (!line.empty() && line[0] != '#' && field != std::string::npos)
      hashes.push_back(line.substr(field + 1, line.find(',', field + 1) - field - 1));
  }
  return hashes;
}

bool HoldsRun(const std::vector<std::string>& whole, const std::vector<std::string>& part) {
  return !part.empty() &&
         std::search(whole.begin(), whole.end(), part.begin(), part.end()) != whole.end();
}

// FFmpeg's complaints about the file, CRC errors among them.
std::string FfmpegErrors(const std::filesystem::path& file) {
  return Shell("ffmpeg -nostdin -v error -i " + Quoted(file.string()) + " -f null - 2>&1").Out;
}

// The largest difference between two decodes over `[from, to)` sample values, and the first
// value from which they agree to the end.
struct TAgreement {
  int MaxDifference = 0;
  size_t ExactFrom = 0;
};
TAgreement Compare(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  TAgreement result;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    const int d = std::abs(a[i] - b[i]);
    result.MaxDifference = std::max(result.MaxDifference, d);
    if (d != 0) result.ExactFrom = i + 1;
  }
  return result;
}

}  // namespace

// Every kind, cut from its start, in its middle at odd samples, to its end, and over less
// than the 80 ms an Opus decoder settles in. FFmpeg decodes the copy to the range's samples
// (a Vorbis copy first gives the lead-in that FFmpeg plays), equal to its decode of the source
// after the decoder has settled and close before; GStreamer decodes as many; the packets are
// a run of the source's; the pages are sound, and the title went in.
TEST(OggPacketCopy, EveryKindDecodesToTheRangeFromTheSourcesOwnPackets) {
  TTempFolder folder;
  for (const TSourceKind& kind : kKinds) {
    const auto source = MakeSource(folder, kind);
    const std::vector<int16_t> whole = DecodeS16(source);
    const int channels = kind.Channels;
    const auto frames = static_cast<int64_t>(whole.size()) / channels;
    const int64_t rate = kind.Vorbis ? kind.Rate : 48000;
    const std::vector<std::string> sourcePackets = PacketHashes(source);
    const std::pair<int64_t, int64_t> ranges[] = {{0, 2 * rate},
                                                  {rate * 13 / 10 + 17, rate * 31 / 10 + 4},
                                                  {rate * 5 / 2 + 3, -1},
                                                  {rate * 17 / 10 + 11, rate * 175 / 100 + 11}};
    for (const auto& [start, end] : ranges) {
      SCOPED_TRACE(std::string(kind.Name) + " from " + std::to_string(start));
      const auto target = folder / (kind.Vorbis ? "out.ogg" : "out.opus");
      int64_t lead = 0;
      ASSERT_EQ(CopyRange(source, target, start, end, &lead), "");
      const int64_t stop = end < 0 ? frames : end + 1;
      const std::vector<int16_t> expected(whole.begin() + (start - lead) * channels,
                                          whole.begin() + stop * channels);
      const std::vector<int16_t> decoded = DecodeS16(target);
      ASSERT_EQ(decoded.size(), expected.size());
      // Opus's decoder, started 80 ms early, has not quite settled by the range: its output
      // differs by up to 3% of full scale at first, by under 0.4% after 80 ms, and
      // not at all after a second.
      const TAgreement agreement = Compare(decoded, expected);
      const size_t settled = static_cast<size_t>(kOpusPreRoll * channels);
      const TAgreement later =
          Compare({decoded.begin() + std::min(settled, decoded.size()), decoded.end()},
                  {expected.begin() + std::min(settled, expected.size()), expected.end()});
      std::cout << kind.Name << " [" << start << ", " << stop << "): lead-in " << lead
                << ", largest difference " << agreement.MaxDifference << ", after 80 ms "
                << later.MaxDifference << ", exact from frame " << agreement.ExactFrom / channels
                << "\n";
      EXPECT_LE(agreement.MaxDifference, 1024);
      EXPECT_LE(later.MaxDifference, 128);
      EXPECT_LE(agreement.ExactFrom, static_cast<size_t>(48000 * channels));
      const int64_t gstreamer = GstreamerFrames(target, kind.Vorbis, channels);
      EXPECT_LE(std::abs(gstreamer - (stop - start + lead)), kind.Vorbis ? 1 : 0);
      EXPECT_TRUE(HoldsRun(sourcePackets, PacketHashes(target)));
      EXPECT_EQ(FfmpegErrors(target), "");
      EXPECT_EQ(Probe(target, "stream_tags=title"), "Kept");
    }
  }
}

// Damaged files and ranges the stream does not hold fail the run with the reason and leave no
// file.
TEST(OggPacketCopy, DamagedFilesAndImpossibleRangesAreRefusedWithTheReason) {
  TTempFolder folder;
  const auto source = MakeSource(folder, kKinds[0]);
  const std::vector<uint8_t> bytes = ReadBytes(source);
  std::vector<size_t> pages;
  for (size_t at = 0;
       (at = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())
                 .find("OggS", at)) != std::string_view::npos;
       ++at)
    pages.push_back(at);
  ASSERT_GE(pages.size(), 4u);
  const auto badCrc = folder / "bad_crc.opus";
  std::vector<uint8_t> damaged = bytes;
  damaged[pages[3] - 10] ^= 0x40;  // inside the audio of the third page
  WriteBytes(badCrc, damaged);
  const auto truncated = folder / "truncated.opus";
  WriteBytes(truncated, {bytes.begin(), bytes.end() - 100});
  const auto noComments = folder / "no_comments.opus";
  std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(pages[1]));
  cut.insert(cut.end(), bytes.begin() + static_cast<ptrdiff_t>(pages[2]), bytes.end());
  WriteBytes(noComments, cut);

  struct TCase {
    std::filesystem::path File;
    int64_t Start, End;
    const char* Reason;
  };
  const TCase cases[] = {
      {badCrc, 0, -1, "checksum is wrong"},
      {truncated, 48000, -1, "ends inside a page"},
      {noComments, 0, -1, "lacks its comment header"},
      {source, 48000, 47999, "holds no samples"},
      {source, 480000, -1, "begins beyond the end"},
      {source, 0, 480000, "ends beyond the end"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.File.filename().string() + " from " + std::to_string(c.Start));
    const auto target = folder / "out.opus";
    const std::string error = CopyRange(c.File, target, c.Start, c.End);
    EXPECT_NE(error.find(c.Reason), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(target));
  }
}
