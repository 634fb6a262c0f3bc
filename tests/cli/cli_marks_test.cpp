// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli split at the marks of a cue sheet or a label file: pieces that start on the
// sheet's frames exactly (FLAC with its frames kept, checked by the flac tool; MP3 within its
// decoder's rounding), each tagged with its track's texts; and the plan written as marks reads
// back as the same pieces.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

constexpr int kRate = 44100;
constexpr int64_t kCueFrame = kRate / 75;  // 588 sample frames

// An album of three tracks as a ripper writes it, for a rip of a .wav; the second track's
// pregap (INDEX 00) belongs to the first.
const char* const kAlbumSheet =
    "REM GENRE Jazz\r\nREM DATE 2004\r\nREM COMMENT \"from the test\"\r\n"
    "PERFORMER \"The Band\"\r\nTITLE \"Some Album\"\r\nFILE \"album.wav\" WAVE\r\n"
    "  TRACK 01 AUDIO\r\n    TITLE \"First Song\"\r\n    INDEX 01 00:00:00\r\n"
    "  TRACK 02 AUDIO\r\n    TITLE \"Second / Song\"\r\n    PERFORMER \"Guest\"\r\n"
    "    SONGWRITER \"Writer\"\r\n    ISRC GBAYE0400002\r\n    INDEX 00 00:01:50\r\n"
    "    INDEX 01 00:02:13\r\n  TRACK 03 AUDIO\r\n    TITLE \"Third\"\r\n"
    "    FLAGS DCP\r\n    INDEX 01 00:04:01\r\n";
const int64_t kTrackStarts[] = {0, (2 * 75 + 13) * kCueFrame, (4 * 75 + 1) * kCueFrame};
constexpr int64_t kAlbumFrames = 6 * kRate;
const char* const kPieceNames[] = {"01 - First Song", "02 - Second _ Song", "03 - Third"};

int64_t TrackEnd(size_t k) {
  return k + 1 < std::size(kTrackStarts) ? kTrackStarts[k + 1] : kAlbumFrames;
}

// The frames of a 16-bit stereo FLAC as the reference tool decodes them.
std::vector<uint8_t> FlacDecoded(const std::filesystem::path& file) {
  return Shell("flac -s -d -c --force-raw-format --endian=little --sign=signed '" + file.string() +
               "'");
}

void ExpectTrackTags(const std::filesystem::path& piece, size_t k) {
  const char* titles[] = {"First Song", "Second / Song", "Third"};
  EXPECT_EQ(test_support::Probe(piece, "format_tags=title"), titles[k]);
  EXPECT_EQ(test_support::Probe(piece, "format_tags=artist"), k == 1 ? "Guest" : "The Band");
  EXPECT_EQ(test_support::Probe(piece, "format_tags=album"), "Some Album");
  EXPECT_EQ(test_support::Probe(piece, "format_tags=genre"), "Jazz");
  EXPECT_EQ(test_support::Probe(piece, "format_tags=composer"), k == 1 ? "Writer" : "");
}

TEST(CliMarks, AFlacAlbumSplitsOnTheSheetsFramesWithTheTracksTags) {
  TScratch folder;
  WriteBytes(folder / "album.wav", CountingWave(kAlbumFrames, kRate));
  ASSERT_TRUE(test_support::Ffmpeg("-i '" + (folder / "album.wav").string() + "' '" +
                                   (folder / "album.flac").string() + "'"));
  std::filesystem::remove(folder / "album.wav");
  WriteBytes(folder / "album.cue",
             std::vector<uint8_t>(kAlbumSheet, kAlbumSheet + strlen(kAlbumSheet)));
  const auto run = folder.Cli({"split", "album.flac", "--cue", "album.cue", "--copy", "--quiet"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Err.find("the sheet names 'album.wav'; its tracks are taken from 'album.flac'"),
            std::string::npos)
      << run.Err;
  for (size_t k = 0; k < 3; ++k) {
    const std::filesystem::path piece = folder / (std::string(kPieceNames[k]) + ".flac");
    SCOPED_TRACE(piece.string());
    const std::vector<uint8_t> raw = FlacDecoded(piece);
    ASSERT_EQ(static_cast<int64_t>(raw.size()) / 4, TrackEnd(k) - kTrackStarts[k]);
    size_t wrong = 0;
    for (size_t f = 0; f < raw.size() / 4; ++f)
      wrong += static_cast<int16_t>(raw[4 * f] | raw[4 * f + 1] << 8) !=
               CountingSample(kTrackStarts[k] + static_cast<int64_t>(f), 0);
    EXPECT_EQ(wrong, 0u);
    ExpectTrackTags(piece, k);
    EXPECT_EQ(test_support::Probe(piece, "format_tags=TRACKTOTAL"), "3");
    EXPECT_EQ(test_support::Probe(piece, "format_tags=date"), "2004");
  }
}

// With its frames kept the pieces start on the sheet's frames; re-encoded, the MP3 reader
// seeks to the hundredth of a second (half of it: 221 frames).
TEST(CliMarks, AnMp3AlbumSplitsOnTheSheetsFramesWithinItsDecodersRounding) {
  TScratch folder;
  // A click a tenth of a second into each track.
  std::vector<int64_t> clicks;
  for (const int64_t start : kTrackStarts) clicks.push_back(start + kRate / 10);
  test_support::WriteClickFile(folder / "album.mp3", {kRate, 2, kAlbumFrames, clicks},
                               {{"title", "Whole"}});
  WriteBytes(folder / "album.cue",
             std::vector<uint8_t>(kAlbumSheet, kAlbumSheet + strlen(kAlbumSheet)));
  for (const auto& [option, tolerance] : {std::pair{"--copy", 2}, std::pair{"--force", 223}}) {
    SCOPED_TRACE(option);
    const auto run = folder.Cli({"split", "album.mp3", "--cue", "album.cue", "--quiet", option});
    ASSERT_EQ(run.Status, 0) << run.Err;
    for (size_t k = 0; k < 3; ++k) {
      const std::filesystem::path piece = folder / (std::string(kPieceNames[k]) + ".mp3");
      SCOPED_TRACE(piece.string());
      const auto samples = test_support::DecodeS16(piece);
      EXPECT_NEAR(static_cast<int64_t>(samples.size()) / 2, TrackEnd(k) - kTrackStarts[k],
                  tolerance);
      const auto found = test_support::FindClicks(samples, 2);
      ASSERT_EQ(found.size(), 1u);
      EXPECT_NEAR(found[0], kRate / 10, tolerance);
      ExpectTrackTags(piece, k);
      EXPECT_EQ(test_support::Probe(piece, "format_tags=track"), std::to_string(k + 1) + "/3");
    }
  }
}

// Regions are pieces named by their texts, points bound pieces; fractional seconds land on
// the nearest frame. Written back as labels and as a cue sheet, the plan reads back the same:
// the labels to the frame, the sheet within half a cue frame.
TEST(CliMarks, LabelsSplitAWaveToTheFrameAndWrittenMarksReadBackTheSame) {
  TScratch folder;
  WriteBytes(folder / "show.wav", CountingWave(10 * kRate, kRate));
  const std::string labels = "0.5\t2.25\tIntro\n3.000011\t3.000011\tMiddle\n7.123456\t9.5\tOutro\n";
  WriteBytes(folder / "show.txt", std::vector<uint8_t>(labels.begin(), labels.end()));
  const auto run = folder.Cli({"split", "show.wav", "--labels", "show.txt", "-o", "{n} {title}",
                               "--write-labels", "plan.txt", "--write-cue", "plan.cue"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const struct {
    const char* Name;
    int64_t Start, End;
  } pieces[] = {{"01 Intro.wav", kRate / 2, kRate * 9 / 4},
                {"02 Middle.wav", 132300, 314144},  // 3.000011 s and 7.123456 s, rounded
                {"03 Outro.wav", 314144, kRate * 19 / 2}};
  for (const auto& piece : pieces) {
    SCOPED_TRACE(piece.Name);
    const auto raw = DecodeWithFfmpeg(folder / piece.Name, "s16le");
    ASSERT_EQ(static_cast<int64_t>(raw.size()) / 4, piece.End - piece.Start);
    EXPECT_EQ(static_cast<int16_t>(raw[0] | raw[1] << 8), CountingSample(piece.Start, 0));
  }
  const auto startsOf = [&](const std::vector<std::string>& mode) {
    std::vector<std::string> args{"split", "show.wav", "--plan", "--json"};
    args.insert(args.end(), mode.begin(), mode.end());
    const auto plan = folder.Cli(args);
    EXPECT_EQ(plan.Status, 0) << plan.Err;
    return plan.Out;
  };
  const std::string fromLabels = startsOf({"--labels", "plan.txt"});
  for (const auto& piece : pieces)
    EXPECT_NE(fromLabels.find("\"start_frame\":" + std::to_string(piece.Start) +
                              ",\"frames\":" + std::to_string(piece.End - piece.Start)),
              std::string::npos)
        << fromLabels;
  // A cue sheet says where each piece starts, to the nearest cue frame; each runs to the next.
  const std::string fromCue = startsOf({"--cue", "plan.cue"});
  std::vector<int64_t> starts;
  for (size_t at = fromCue.find("\"start_frame\":"); at != std::string::npos;
       at = fromCue.find("\"start_frame\":", at + 1))
    starts.push_back(std::stoll(fromCue.substr(at + 14)));
  ASSERT_EQ(starts.size(), 3u) << fromCue;
  for (size_t k = 0; k < 3; ++k) EXPECT_LE(std::abs(starts[k] - pieces[k].Start), kCueFrame / 2);
  EXPECT_NE(fromCue.find("\"title\":\"Middle\""), std::string::npos) << fromCue;
}

// The marks a file carries, as other programs write them: `info` lists them, `split --chapters`
// splits at them, and the pieces carry none, as their times would be the whole file's.
TEST(CliMarks, EmbeddedMarksAreListedAndSplitAtAndNotCarriedIntoThePieces) {
  TScratch folder;
  WriteBytes(folder / "album.wav", CountingWave(kAlbumFrames, kRate));
  WriteBytes(folder / "album.cue",
             std::vector<uint8_t>(kAlbumSheet, kAlbumSheet + strlen(kAlbumSheet)));
  const std::string chapters =
      ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=2500\ntitle=Hello\n"
      "[CHAPTER]\nTIMEBASE=1/1000\nSTART=2500\nEND=6000\ntitle=World\n";
  WriteBytes(folder / "chapters.txt", std::vector<uint8_t>(chapters.begin(), chapters.end()));
  const std::string in = "cd '" + folder.Path().string() + "' && ";
  ASSERT_TRUE(test_support::Ffmpeg("-i '" + (folder / "album.wav").string() + "' '" +
                                   (folder / "block.flac").string() + "'"));
  std::filesystem::copy(folder / "block.flac", folder / "comment.flac");
  Shell(in +
        "metaflac --import-cuesheet-from=album.cue block.flac && "
        "metaflac --set-tag-from-file=CUESHEET=album.cue comment.flac && "
        "ffmpeg -loglevel error -i album.wav -i chapters.txt -map_metadata 1 -map_chapters 1 "
        "podcast.mp3 && echo");
  const struct {
    const char* File;
    const char* From;
    std::vector<int64_t> Starts;
    const char* FirstTitle;
  } cases[] = {
      {"block.flac", "FLAC CUESHEET block", {0, kTrackStarts[1], kTrackStarts[2]}, ""},
      {"comment.flac", "CUESHEET comment", {0, kTrackStarts[1], kTrackStarts[2]}, "First Song"},
      {"podcast.mp3", "ID3v2 chapters", {0, kRate * 5 / 2}, "Hello"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const auto info = folder.Cli({"info", c.File, "--json"});
    ASSERT_EQ(info.Status, 0) << info.Err;
    EXPECT_NE(info.Out.find(std::string("\"marks_from\":\"") + c.From + "\""), std::string::npos)
        << info.Out;
    EXPECT_NE(info.Out.find(std::string("\"title\":\"") + c.FirstTitle + "\""), std::string::npos)
        << info.Out;
    const auto plan = folder.Cli({"split", c.File, "--chapters", "--plan", "--json"});
    ASSERT_EQ(plan.Status, 0) << plan.Err;
    for (const int64_t start : c.Starts)
      EXPECT_NE(plan.Out.find("\"start_frame\":" + std::to_string(start) + ","), std::string::npos)
          << start << " in " << plan.Out;
    const auto run =
        folder.Cli({"split", c.File, "--chapters", "-o", "piece{n}", "--quiet", "--force"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::string piece =
        std::string("piece01") + std::filesystem::path(c.File).extension().string();
    const auto pieceInfo = folder.Cli({"info", piece, "--json"});
    EXPECT_NE(pieceInfo.Out.find("\"marks_from\":\"\",\"marks\":[]"), std::string::npos)
        << pieceInfo.Out;
  }
  const auto none = folder.Cli({"split", "album.wav", "--chapters"});
  EXPECT_EQ(none.Status, 1);
  EXPECT_NE(none.Err.find("'album.wav' carries no marks to split at"), std::string::npos)
      << none.Err;
}

}  // namespace
