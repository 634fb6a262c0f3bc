// SPDX-License-Identifier: GPL-3.0-or-later
// The range rules of a file source, read directly on this thread as a sink's worker would.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <string>
#include <vector>

#include "pipeline/au_file_stream.h"
#include "pipeline_test_support.h"

using namespace pipeline_test;

namespace {

// Reads the source's current range the way sinks do, block by block.
std::vector<uint8_t> ReadRange(TRawFileIn& source, int64_t start, int64_t end,
                               uint32_t request = 1000) {
  source.StartSample = start;
  source.EndSample = end;
  source.StartRead();
  std::vector<uint8_t> out;
  for (;;) {
    uint8_t* data = nullptr;
    uint32_t bytes = request;
    source.ReadData(data, bytes);
    if (bytes == 0) break;
    out.insert(out.end(), data, data + bytes);
  }
  source.EndRead();
  return out;
}

struct TRangeCase {
  const char* Name;
  int64_t Start, End;
  int64_t FirstFrame, Frames;  // what the read must deliver
};

class RangeRules : public ::testing::TestWithParam<TRangeCase> {};

}  // namespace

TEST_P(RangeRules, DeliverExactlyTheFramesTheRangeNames) {
  const TRangeCase& c = GetParam();
  TTempFile file(1000);
  TRawFileIn source;
  source.MaxBlock = 1003;  // blocks that cross the range's end at odd places
  source.SetFileName(file.Path());
  EXPECT_EQ(ReadRange(source, c.Start, c.End), MakeFrames(c.FirstFrame, c.Frames)) << c.Name;
  EXPECT_EQ(source.StartSample, 0) << "the range is reset after a read";
  EXPECT_EQ(source.EndSample, -1);
  EXPECT_FALSE(source.IsBusy());
}

INSTANTIATE_TEST_SUITE_P(
    FileSource, RangeRules,
    ::testing::Values(TRangeCase{"whole data", 0, -1, 0, 1000},
                      TRangeCase{"inner range, end inclusive", 100, 199, 100, 100},
                      TRangeCase{"single frame", 500, 500, 500, 1},
                      TRangeCase{"from the start to a frame", 0, 9, 0, 10},
                      TRangeCase{"to the end", 900, -1, 900, 100},
                      TRangeCase{"end at the frame count", 900, 1000, 900, 100},
                      TRangeCase{"end beyond the frame count", 900, 5000, 900, 100},
                      TRangeCase{"end below start reads to the end", 700, 10, 700, 300}),
    [](const auto& info) {
      std::string name = info.param.Name;
      for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST(FileSource, SizeAndTotalsFollowTheRange) {
  TTempFile file(1000);
  TRawFileIn source;
  source.SetFileName(file.Path());
  EXPECT_EQ(source.TotalSamples(), 1000);
  EXPECT_EQ(source.Channels(), 2);
  EXPECT_EQ(source.TotalTime(), 0) << "1000 frames at 44100 Hz round to 0 s";

  source.StartSample = 10;
  source.EndSample = 19;
  source.StartRead();
  EXPECT_EQ(source.Size(), 40);
  source.EndRead();

  // A range to the end covers exactly the frames left, whether its end is open or the count.
  for (const int64_t end : {int64_t{-1}, int64_t{1000}}) {
    source.StartSample = 900;
    source.EndSample = end;
    source.StartRead();
    EXPECT_EQ(source.Size(), 100 * 4) << end;
    source.EndRead();
  }

  TTempFile empty(0, "empty.raw");
  TRawFileIn none;
  none.SetFileName(empty.Path());
  EXPECT_EQ(none.TotalSamples(), -1);
}

TEST(FileSource, BlockCrossingTheSizeIsCutExactlyAndPositionStops) {
  TTempFile file(1000);
  TRawFileIn source;
  source.SetFileName(file.Path());
  source.StartSample = 0;
  source.EndSample = 2;  // 12 bytes
  source.StartRead();
  uint8_t* data = nullptr;
  uint32_t bytes = 1000;
  source.ReadData(data, bytes);
  EXPECT_EQ(bytes, 12u);
  EXPECT_EQ(source.Position(), 12);
  EXPECT_TRUE(source.IsEndOfStream());
  bytes = 1000;
  source.ReadData(data, bytes);
  EXPECT_EQ(bytes, 0u);
  source.EndRead();
}

TEST(FileSource, LoopingStartsTheRangeOverAndReadFullFillsAcrossBlocks) {
  TTempFile file(100);
  TRawFileIn source;
  source.MaxBlock = 40;  // ten frames a block
  source.SetFileName(file.Path());
  source.Loop = true;
  source.StartSample = 10;
  source.EndSample = 29;  // twenty frames, two blocks
  source.StartRead();
  std::vector<uint8_t> got(40 * 6);
  bool end = true;
  EXPECT_EQ(source.ReadFull(got.data(), static_cast<uint32_t>(got.size()), end), got.size());
  EXPECT_FALSE(end);
  source.EndRead();
  // Every pass delivers the whole range, its last block included.
  std::vector<uint8_t> expected;
  for (int pass = 0; pass < 3; ++pass) {
    const auto range = MakeFrames(10, 20);
    expected.insert(expected.end(), range.begin(), range.end());
  }
  EXPECT_EQ(got, expected);
}

TEST(FileSource, SeekBeforeAReadMovesTheStartAndDropsTheEnd) {
  TTempFile file(100);
  TRawFileIn source;
  source.SetFileName(file.Path());
  source.EndSample = 50;
  EXPECT_TRUE(source.Seek(30));
  EXPECT_EQ(source.StartSample, 30);
  EXPECT_EQ(source.EndSample, -1);
  EXPECT_EQ(ReadRange(source, 30, -1), MakeFrames(30, 70));
}

TEST(FileSource, InvalidOrMissingFilesFailClearly) {
  TRawFileIn source;
  source.SetFileName("/nonexistent/folder/file.raw");
  try {
    source.StartRead();
    FAIL() << "a missing file must raise";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "No such file or directory");
  }
  EXPECT_TRUE(source.IsEndOfStream());
}

TEST(FileStream, DenyWriteKeepsOthersFromWritingOrReplacingTheFile) {
  TTempFile file(10);
  {
    TAuFileStream reader(file.Path(), fmOpenRead | fmShareDenyWrite);
    // Another reader that also denies writing may join.
    TAuFileStream second(file.Path(), fmOpenRead | fmShareDenyWrite);
    EXPECT_THROW(TAuFileStream(file.Path(), fmCreate), EAuException);
    EXPECT_THROW(TAuFileStream(file.Path(), fmOpenReadWrite | fmShareDenyNone), EAuException);
    EXPECT_THROW(TAuFileStream(file.Path(), fmOpenWrite | fmShareDenyNone), EAuException);
    // A file the other side opened for writing cannot be opened with deny-write either.
  }
  EXPECT_EQ(std::filesystem::file_size(file.Path()), 40u) << "the refused create truncated nothing";
  {
    TAuFileStream writer(file.Path(), fmCreate);
    EXPECT_THROW(TAuFileStream(file.Path(), fmOpenRead | fmShareDenyWrite), EAuException);
  }
  TAuFileStream again(file.Path(), fmOpenRead | fmShareDenyWrite);  // all closed: fine
  EXPECT_EQ(again.Size(), 0);
}

// A pipe (which an open would wait on for ever) or a device is refused in every mode, before
// anything waits on it.
TEST(FileStream, RefusesPipesAndDevicesAtOnce) {
  TTempFile folder(0);
  const auto fifo = folder.Folder / "song.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::filesystem::path& path : {fifo, std::filesystem::path("/dev/null")}) {
    for (const uint16_t mode :
         {uint16_t(fmOpenRead | fmShareDenyWrite), fmOpenWrite, fmOpenReadWrite, fmCreate}) {
      SCOPED_TRACE(path.string() + " mode " + std::to_string(mode));
      try {
        TAuFileStream stream(path, mode);
        FAIL() << "opened";
      } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "The file is not a regular file.");
      }
    }
  }
}

TEST(FileStream, OpenSourceKeepsACutFromWritingOverIt) {
  TTempFile file(1000);
  TRawFileIn source;
  source.SetFileName(file.Path());
  ASSERT_EQ(source.TotalSamples(), 1000);  // a property query leaves the file open
  try {
    TAuFileStream(file.Path(), fmCreate);
    FAIL() << "creating the source file must be refused";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(),
                 "The process cannot access the file because it is being used by another process.");
  }
  EXPECT_EQ(std::filesystem::file_size(file.Path()), 4000u);
}

TEST(FileStream, ReadsWritesSeeksAndSizesPast4GiBOffsets) {
  TTempFile file(0);
  TAuFileStream stream(file.Path(), fmCreate);
  const int64_t far = (int64_t{5} << 30) + 3;  // past any 32-bit offset; sparse on disk
  EXPECT_EQ(stream.Seek(far, soBeginning), far);
  const char text[] = "end";
  stream.WriteBuffer(text, 3);
  EXPECT_EQ(stream.Size(), far + 3);
  stream.SetPosition(far);
  char back[3] = {};
  stream.ReadBuffer(back, 3);
  EXPECT_EQ(std::string(back, 3), "end");
  EXPECT_THROW(stream.ReadBuffer(back, 1), EAuException);
  stream.SetSize(0);
  EXPECT_EQ(stream.Size(), 0);
}
