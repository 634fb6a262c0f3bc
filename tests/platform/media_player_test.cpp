// SPDX-License-Identifier: GPL-3.0-or-later
// The preview player with its silent output: the same clock-paced consumption that stands in
// for a sound device on machines without one.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/media_play_decoder.h"
#include "platform/media_player.h"
#include "test_support.h"

namespace trimora::media {
namespace {

using namespace test_support;
constexpr int kRate = 44100;

// Polls `done` until it holds or ten seconds have gone (a broken player, not a slow one).
bool WaitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// How many of this process's open files are `path`.
int OpenHandles(const std::filesystem::path& path) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) == path) ++count;
  }
  return count;
}

class MediaPlayer : public ::testing::Test {
 protected:
  // A 1.5-second stereo file of the kind `extension` with clicks at 0.5 s and 1.0 s.
  std::filesystem::path Sound(const std::string& extension) {
    const auto path = Folder / ("sound" + extension);
    if (!std::filesystem::exists(path))
      WriteClickFile(path, {kRate, 2, kRate * 3 / 2, {kRate / 2, kRate}});
    return path;
  }
  TMediaPlayer& Opened(const std::string& extension) {
    Player.SetFileName(Sound(extension));
    Player.Open();
    return Player;
  }

  TTempFolder Folder;
  TMediaPlayer Player{true};
};

TEST_F(MediaPlayer, TellsTheLengthOfEachKindInMilliseconds) {
  // MP3 and WMA add the coder's padding to the whole frames they hold.
  const struct {
    const char* Extension;
    int64_t Min, Max;
  } cases[] = {{".wav", 1500, 1500}, {".mp3", 1500, 1560}, {".wma", 1500, 1560}};
  for (const auto& c : cases) {
    EXPECT_GE(Opened(c.Extension).Length(), c.Min) << c.Extension;
    EXPECT_LE(Player.Length(), c.Max) << c.Extension;
    EXPECT_EQ(Player.Mode(), TPlayerMode::Stopped) << c.Extension;
  }
  Player.Close();
  EXPECT_EQ(Player.Length(), 0);
  EXPECT_EQ(Player.Mode(), TPlayerMode::NotReady);
}

TEST_F(MediaPlayer, FilesNoDecoderAcceptsFailToOpenWithAReason) {
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
  } cases[] = {
      {"empty.wav", {}},
      {"text.mp3", {'n', 'o', 't', ' ', 's', 'o', 'u', 'n', 'd', '\n'}},
      {"zeros.wma", std::vector<uint8_t>(4096, 0)},
  };
  for (const auto& c : cases) {
    WriteBytes(Folder / c.Name, c.Bytes);
    Player.SetFileName(Folder / c.Name);
    EXPECT_THROW(Player.Open(), EMediaPlayerError) << c.Name;
    EXPECT_THROW(Player.Play(), EMediaPlayerError) << c.Name;
    EXPECT_EQ(Player.Mode(), TPlayerMode::NotReady) << c.Name;
  }
  Player.SetFileName(Folder / "missing.wav");
  EXPECT_THROW(Player.Open(), EMediaPlayerError);
}

// What the decoder delivers for a range, read straight from its buffer: the frames of the
// range exactly as a straight decode of the whole file has them (clicks in place, length to
// the frame), WAV through the demuxer, MP3 and WMA through the media runtime.
TEST_F(MediaPlayer, DecodesExactlyTheRangeAskedFor) {
  const struct {
    const char* Extension;
    int64_t FromMs, ToMs;
  } cases[] = {
      {".wav", 0, -1},     {".wav", 400, 1200}, {".wav", 700, 1000}, {".mp3", 0, -1},
      {".mp3", 400, 1200}, {".wma", 0, -1},     {".wma", 400, 1200}, {".wma", 1000, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Extension) + " from " + std::to_string(c.FromMs));
    const auto path = Sound(c.Extension);
    const std::vector<int16_t> straight = DecodeS16(path);
    TPlayBuffer buffer(4096);  // small: the decoder must wait for the reader; outlives it
    TPlayDecoder decoder(path);
    ASSERT_EQ(decoder.SourceFormat().Rate, kRate);
    ASSERT_EQ(decoder.SourceFormat().Channels, 2);
    decoder.Start(decoder.SourceFormat(), c.FromMs, c.ToMs, buffer);
    std::vector<int16_t> samples;
    int16_t chunk[512];
    while (!buffer.Drained()) {
      const size_t got = buffer.Read(reinterpret_cast<uint8_t*>(chunk), sizeof chunk);
      samples.insert(samples.end(), chunk, chunk + got / 2);
      if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto from = static_cast<ptrdiff_t>(c.FromMs * kRate / 1000 * 2);
    const auto to = c.ToMs < 0 ? static_cast<ptrdiff_t>(straight.size())
                               : static_cast<ptrdiff_t>(c.ToMs * kRate / 1000 * 2);
    ASSERT_EQ(static_cast<ptrdiff_t>(samples.size()), to - from);
    EXPECT_EQ(FindClicks(samples, 2),
              FindClicks(std::vector<int16_t>(straight.begin() + from, straight.begin() + to), 2));
  }
}

TEST_F(MediaPlayer, APlayedRangeEndsAtItsEndByItself) {
  for (const char* extension : {".wav", ".mp3", ".wma"}) {
    Opened(extension).Play(900, 1200);
    EXPECT_EQ(Player.Mode(), TPlayerMode::Playing) << extension;
    EXPECT_GE(Player.Position(), 900) << extension;
    ASSERT_TRUE(WaitFor([&] { return Player.Mode() != TPlayerMode::Playing; })) << extension;
    EXPECT_EQ(Player.Mode(), TPlayerMode::Stopped) << extension;
    EXPECT_EQ(Player.Position(), 1200) << extension;
  }
}

TEST_F(MediaPlayer, PauseKeepsThePositionAndResumeGoesOnFromIt) {
  Opened(".wav").Play();
  ASSERT_TRUE(WaitFor([&] { return Player.Position() >= 200; }));
  Player.Pause();
  EXPECT_EQ(Player.Mode(), TPlayerMode::Paused);
  const int64_t paused = Player.Position();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Player.Position(), paused);
  Player.Resume();
  EXPECT_EQ(Player.Mode(), TPlayerMode::Playing);
  ASSERT_TRUE(WaitFor([&] { return Player.Position() > paused; }));
  // Stopping keeps the position too; a play without a range goes on from it.
  Player.Stop();
  const int64_t stopped = Player.Position();
  EXPECT_EQ(Player.Mode(), TPlayerMode::Stopped);
  Player.Play();
  EXPECT_GE(Player.Position(), stopped);
  ASSERT_TRUE(WaitFor([&] { return Player.Mode() == TPlayerMode::Stopped; }));
  EXPECT_EQ(Player.Position(), 1500);
}

TEST_F(MediaPlayer, StopAndCloseReleaseTheFile) {
  const auto path = Sound(".mp3");
  for (bool close : {false, true}) {
    Opened(".mp3").Play();
    EXPECT_GE(OpenHandles(path), 1);
    close ? Player.Close() : Player.Stop();
    EXPECT_EQ(OpenHandles(path), 0) << close;
  }
}

TEST_F(MediaPlayer, ResumeAfterACloseOpensAndPlaysFromTheStart) {
  Opened(".wav").Play(1000);
  Player.Close();
  Player.Resume();
  EXPECT_TRUE(Player.IsOpen());
  EXPECT_EQ(Player.Mode(), TPlayerMode::Playing);
  EXPECT_LT(Player.Position(), 1000);
  EXPECT_EQ(Player.SilentReason(), "the player was made silent");
}

}  // namespace
}  // namespace trimora::media
