// SPDX-License-Identifier: GPL-3.0-or-later
// The lossless MP3 cut, checked by FFmpeg's decoder and by our own source: the copy of a range
// decodes to exactly the samples a decode of the source gives over that range, from frames
// that are the source's own bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "formats/media/mp3_in.h"
#include "formats/mp3copy/mp3_frame_copy_out.h"
#include "pipeline/au_file_stream.h"
#include "formats/media/audio_stream.h"
#include "pipeline_test_support.h"
#include "platform/media_mp3_frames.h"

using namespace test_support;
using namespace trimora::media;

namespace {

struct TSourceKind {
  const char* Name;
  int Rate;
  int Channels;
  const char* LameOptions;
};

// Noise goes in, so that a decode shifted by one sample differs everywhere.
constexpr TSourceKind kKinds[] = {
    {"CBR MPEG-1 stereo", 44100, 2, "-b 128"},
    {"VBR MPEG-1 stereo", 48000, 2, "-V 2"},
    {"MPEG-1 mono at 32 kbps", 32000, 1, "-b 32"},
    {"MPEG-2 joint stereo", 22050, 2, "-b 64"},
    {"MPEG-2.5 mono", 8000, 1, "-b 16"},
    {"no Info frame", 44100, 2, "-b 128 -t"},
};

std::filesystem::path MakeSource(const TTempFolder& folder, const TSourceKind& kind,
                                 const std::string& name = "in.mp3") {
  const auto wave = folder / "noise.wav";
  const auto mp3 = folder / name;
  EXPECT_TRUE(Ffmpeg("-f lavfi -i anoisesrc=a=0.3:d=6:r=" + std::to_string(kind.Rate) +
                     " -ac " + std::to_string(kind.Channels) + " " + Quoted(wave.string())));
  EXPECT_EQ(Shell("lame --quiet " + std::string(kind.LameOptions) + " " + Quoted(wave.string()) +
                  " " + Quoted(mp3.string()))
                .Status,
            0);
  return mp3;
}

// Copies samples `start` to `end` (inclusive, -1: to the end) of `source` into `target`, as a
// cut does: the range is set on an MP3 source that the sink reads. The run's error, or empty.
std::string CopyRange(const std::filesystem::path& source, const std::filesystem::path& target,
                      int64_t start, int64_t end) {
  TMP3In in;
  in.SetFileName(source);
  in.StartSample = start;
  in.EndSample = end;
  TMP3FrameCopyOut copy;
  copy.SetInput(&in);
  copy.SetFileName(target);
  const std::string error = pipeline_test::RunToEnd(copy);
  copy.SetInput(nullptr);
  return error;
}

// The bytes of the audio frames after the tag frame and the silent lead-in frame, up to the
// ID3v1 record.
std::vector<uint8_t> CopiedFrames(const std::filesystem::path& file) {
  TAuFileStream stream(file, fmOpenRead | fmShareDenyWrite);
  TAudioStream adapter(stream);
  TMediaByteReader reader(adapter);
  const auto start = LocateMp3Audio(reader);
  if (!start || start->Tag.Kind == TMpegVbrTag::TKind::None) return {};
  TMp3FrameIndex index(reader, *start);
  index.ReachEnd();
  if (index.Known() < 2) return {};
  const int64_t from = index.Frame(1).Offset;
  const TMp3FrameIndex::TFrame& last = index.Frame(index.Known() - 1);
  const std::vector<uint8_t> bytes = ReadBytes(file);
  return {bytes.begin() + from, bytes.begin() + last.Offset + last.Bytes};
}

bool HoldsRun(const std::vector<uint8_t>& whole, const std::vector<uint8_t>& part) {
  return !part.empty() && std::search(whole.begin(), whole.end(), part.begin(), part.end()) !=
                              whole.end();
}

}  // namespace

// Every kind, cut from its start, in its middle at odd samples, and to its end: FFmpeg decodes
// the copy to exactly the samples it decodes from the source over the range, our own source
// reads the same number, and the frames are a run of the source's bytes.
TEST(Mp3FrameCopy, EveryKindDecodesToExactlyTheRangeFromTheSourcesOwnFrames) {
  TTempFolder folder;
  for (const TSourceKind& kind : kKinds) {
    const auto source = MakeSource(folder, kind);
    const std::vector<int16_t> whole = DecodeS16(source);
    const auto frames = static_cast<int64_t>(whole.size()) / kind.Channels;
    const int64_t rate = kind.Rate;
    const std::pair<int64_t, int64_t> ranges[] = {
        {0, 2 * rate}, {rate * 13 / 10 + 17, rate * 41 / 10}, {3 * rate + 5, -1}};
    for (const auto& [start, end] : ranges) {
      SCOPED_TRACE(std::string(kind.Name) + " from " + std::to_string(start));
      const auto target = folder / "out.mp3";
      ASSERT_EQ(CopyRange(source, target, start, end), "");
      const int64_t stop = end < 0 ? frames : end + 1;
      const std::vector<int16_t> expected(whole.begin() + start * kind.Channels,
                                          whole.begin() + stop * kind.Channels);
      const std::vector<int16_t> decoded = DecodeS16(target);
      EXPECT_EQ(decoded.size(), expected.size());
      EXPECT_TRUE(decoded == expected) << "the copy decodes to other samples";

      TMP3In reread;
      reread.SetFileName(target);
      EXPECT_EQ(pipeline_test::ReadAll(reread).size(), expected.size());
      EXPECT_TRUE(HoldsRun(ReadBytes(source), CopiedFrames(target)));
    }
  }
}

// At 32 kbps the bit reservoir reaches several frames back. A cut whose first decoded frame
// borrows from beyond the frame before it still decodes exactly: the lead-in frame carries
// the bytes it borrows.
TEST(Mp3FrameCopy, AFrameThatBorrowsFromFramesBeforeTheCutDecodesExactly) {
  TTempFolder folder;
  const auto source = MakeSource(folder, {"reservoir", 32000, 2, "-b 32"});
  TAuFileStream stream(source, fmOpenRead | fmShareDenyWrite);
  TAudioStream adapter(stream);
  TMediaByteReader reader(adapter);
  const auto start = LocateMp3Audio(reader);
  ASSERT_TRUE(start);
  TMp3FrameIndex index(reader, *start);
  // A frame whose main data begins further back than the data of the frame before it.
  int64_t borrower = -1;
  for (int64_t k = 8; borrower < 0 && index.Reach(k); ++k) {
    const auto bytes = reader.Peek(index.Frame(k).Offset, 64);
    const int reach = MainDataBegin(bytes, start->Header);
    const int before = static_cast<int>(index.Frame(k - 1).Bytes) - 4 - 32;
    if (reach > before) borrower = k;
  }
  ASSERT_GT(borrower, 0) << "the encoder used no deep reservoir";
  // The copy starts one frame before the first wanted one: make that frame the borrower.
  const int64_t rawStart = (borrower + 1) * 1152 + 100;
  const int64_t first = rawStart - Mp3DecodeTimeline(start->Tag, 1152).Leading;
  const auto target = folder / "out.mp3";
  ASSERT_EQ(CopyRange(source, target, first, first + 32000), "");
  const std::vector<int16_t> whole = DecodeS16(source);
  const std::vector<int16_t> expected(whole.begin() + first * 2,
                                      whole.begin() + (first + 32001) * 2);
  EXPECT_TRUE(DecodeS16(target) == expected);
}

// Frames that cannot be kept fail the run with the reason and leave no file.
TEST(Mp3FrameCopy, FramesThatCannotBeKeptAreRefusedWithTheReason) {
  TTempFolder folder;
  const auto wave = folder / "in.wav";
  ASSERT_TRUE(Ffmpeg("-f lavfi -i anoisesrc=a=0.3:d=3:r=44100 -ac 2 " + Quoted(wave.string())));
  const auto mp2 = folder / "layer2.mp3";
  ASSERT_TRUE(Ffmpeg("-i " + Quoted(wave.string()) + " -c:a mp2 -f mp2 " + Quoted(mp2.string())));
  const auto layer3 = folder / "layer3.mp3";
  ASSERT_EQ(Shell("lame --quiet -t -b 128 " + Quoted(wave.string()) + " " +
                  Quoted(layer3.string()))
                .Status,
            0);
  // Layer II frames between two stretches of layer III.
  std::vector<uint8_t> mixed = ReadBytes(layer3);
  const std::vector<uint8_t> second = ReadBytes(mp2);
  mixed.insert(mixed.end(), second.begin(), second.end());
  const std::vector<uint8_t> third = ReadBytes(layer3);
  mixed.insert(mixed.end(), third.begin(), third.end());
  const auto mixedFile = folder / "mixed.mp3";
  WriteBytes(mixedFile, mixed);
  const auto freeFormat = folder / "free.mp3";
  ASSERT_EQ(Shell("lame --quiet --freeformat -b 400 " + Quoted(wave.string()) + " " +
                  Quoted(freeFormat.string()))
                .Status,
            0);

  const std::pair<std::filesystem::path, const char*> cases[] = {
      {mp2, "MPEG layer 2"}, {mixedFile, "mixes MPEG audio layers"}, {freeFormat, "free-format"}};
  for (const auto& [file, reason] : cases) {
    SCOPED_TRACE(file.filename().string());
    const auto target = folder / ("out-" + file.filename().string());
    const std::string error = CopyRange(file, target, 0, -1);
    EXPECT_NE(error.find(reason), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(target));
  }
}
