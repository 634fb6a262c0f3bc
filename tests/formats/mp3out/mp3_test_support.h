#pragma once

// Test helpers for the MP3 sink: a PCM source over generated samples, a decode through
// FFmpeg (an independent decoder that honours the encoder's delay and padding), a walk over
// the MPEG frame headers of a file, and a run of a sink to its end.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pipeline/au_stream.h"
#include "pipeline/file_input.h"
#include "pipeline/file_output.h"

namespace mp3_test {

enum class TSignal { Sine, Noise };

// Interleaved PCM of `frames` frames: a tone rising from 200 to 1400 Hz (a steady 660 Hz on
// the right), or white noise.
std::vector<int16_t> MakePcm(int rate, int channels, int64_t frames, TSignal signal);

// A file source over PCM held in memory. BitsPerSample may be set to something other than
// 16 to see the sink refuse it; the data stays 16-bit.
class TPcmIn : public TAuFileIn {
 public:
  TPcmIn(int rate, int channels, int64_t frames, TSignal signal = TSignal::Sine);
  ~TPcmIn() override;
  const std::vector<int16_t>& Samples() const { return Pcm; }
  int ReportedBits = 16;

 protected:
  void OpenFile() override;
  void CloseFile() override;
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override;
  bool DoSeek(int64_t& sampleNum) override;

 private:
  int Rate, ChannelCount;
  std::vector<int16_t> Pcm;
  TAuMemoryStream Memory;
  std::vector<uint8_t> Block;
};

struct TDecoded {
  bool Opened = false;
  int64_t Frames = 0;
  int Channels = 0;
  int SampleRate = 0;
  int64_t BitRate = 0;
  std::vector<float> FirstChannel;           // decoded samples of channel 0, -1..1
  std::map<std::string, std::string> Tags;  // FFmpeg's metadata of the file
};
TDecoded DecodeWithFFmpeg(const std::filesystem::path& file);

// The layer III frames of a file (after an ID3v2 tag) as their headers describe them.
struct TFrameWalk {
  std::string TagFrame;  // "Info", "Xing" or empty: what the first frame carries
  int Frames = 0;        // audio frames, the tag frame not counted
  int Mode = -1;         // channel mode of the first audio frame: 0 stereo .. 3 mono
  std::vector<int> Kbps;  // bit rate of each audio frame
  double AverageKbps() const;
};
TFrameWalk WalkFrames(const std::vector<uint8_t>& file);

std::vector<uint8_t> ReadFile(const std::filesystem::path& file);

// Runs `sink` and waits for its done event; returns its exception message ("" when none).
std::string RunToEnd(TAuOutput& sink);

}  // namespace mp3_test
