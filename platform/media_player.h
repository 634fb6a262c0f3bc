// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace trimora::media {

// A file the player cannot open, with the reason.
class EMediaPlayerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IPlayOutput;
class TPlayBuffer;
class TPlayDecoder;

enum class TPlayerMode { NotReady, Stopped, Playing, Paused };

// The preview player of the windows: opens a sound file, tells its length and plays it, or a
// range of it, on the default sound device. MP3 and WMA lengths come from the media
// runtime's reader (the length a full decode delivers), other files (WAV) from FFmpeg's
// demuxer, which counts PCM frames exactly. Playing decodes on a thread of the player's own;
// without a sound device (or with TRIMORA_SILENT_AUDIO=1, or `silent`) a clock consumes the
// sound at real-time pace instead, so positions and ranges behave the same, and the player
// says once on stderr why nothing is heard. All calls come from one thread, the one running
// the Qt application when there is one.
class TMediaPlayer {
 public:
  explicit TMediaPlayer(bool silent = false);
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

  // NotReady while no file is open; Stopped once a play has reached its end by itself.
  TPlayerMode Mode() const;
  // Starts playing from `fromMs` (default: the current position, 0 after opening) to `toMs`
  // (default: the end) and returns at once. Opens FileName first when nothing is open.
  // EMediaPlayerError when the file cannot be opened or decoded.
  void Play(std::optional<int64_t> fromMs = {}, std::optional<int64_t> toMs = {});
  // Halts playing, keeping the position.
  void Pause();
  // Continues a paused play; anything else plays (as Play without a range).
  void Resume();
  // Ends playing and releases the file; the position stays.
  void Stop();
  // Where the sound played so far has reached, in milliseconds of the file.
  int64_t Position() const;
  // Why the last play was silent; empty when it went to a sound device.
  const std::string& SilentReason() const { return FSilentReason; }

 private:
  void StopPlaying();
  std::unique_ptr<IPlayOutput> ChooseOutput();

  std::filesystem::path FFileName;
  bool FOpen = false;
  bool FSilent = false;
  int64_t FLengthMs = 0;
  int64_t FPosition = 0;  // while not playing
  int64_t FFrom = 0;      // of the current play
  int64_t FTo = -1;
  int FRate = 0;
  bool FPaused = false;
  std::string FSilentReason;
  // The output is stopped before the decoder, and both before the buffer they share goes.
  std::unique_ptr<TPlayBuffer> FBuffer;
  std::unique_ptr<TPlayDecoder> FDecoder;
  std::unique_ptr<IPlayOutput> FOutput;
};

}  // namespace trimora::media
