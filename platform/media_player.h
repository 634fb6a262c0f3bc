#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace trimora::media {

// A file the player cannot open, with the reason.
class EMediaPlayerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The preview player of the windows. For now it opens a sound file, tells its length and
// closes it again; playback joins later. MP3 and WMA lengths come from the media runtime's
// reader (the length a full decode delivers), other files (WAV) from FFmpeg's demuxer, which
// counts PCM frames exactly.
class TMediaPlayer {
 public:
  TMediaPlayer();
  ~TMediaPlayer();
  TMediaPlayer(const TMediaPlayer&) = delete;
  TMediaPlayer& operator=(const TMediaPlayer&) = delete;

  const std::filesystem::path& FileName() const { return FFileName; }
  void SetFileName(const std::filesystem::path& name) { FFileName = name; }

  // Opens FileName, closing whatever was open first. EMediaPlayerError when the file holds
  // no sound this player can decode.
  void Open();
  void Close();
  bool IsOpen() const { return FOpen; }
  // The open file's length in milliseconds, rounded down; 0 when nothing is open.
  int64_t Length() const { return FOpen ? FLengthMs : 0; }

 private:
  std::filesystem::path FFileName;
  bool FOpen = false;
  int64_t FLengthMs = 0;
};

}  // namespace trimora::media
