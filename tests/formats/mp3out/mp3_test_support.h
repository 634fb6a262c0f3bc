// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Test helpers for the MP3 sink: a PCM source over generated samples, what FFmpeg (an
// independent decoder that honours the encoder's delay and padding) makes of a file, and a
// run of a sink to its end.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "pipeline/au_output.h"
#include "pipeline/au_stream.h"
#include "pipeline/file_input.h"
#include "pipeline_test_support.h"
#include "test_support.h"

namespace mp3_test {

enum class TSignal { Tone, Noise, Clicks };

// Interleaved 16-bit PCM: a tone rising from 200 to 800 Hz (660 Hz on the right), so that
// any shift in time shows, or white noise, or silence with a one-sample click on every
// channel at each kClickFirst + k × kClickSpacing.
inline constexpr int64_t kClickFirst = 5000, kClickSpacing = 10007;
std::vector<int16_t> MakePcm(int rate, int channels, int64_t frames, TSignal signal);

// A file source over such PCM held in memory. ReportedBits other than 16 make it claim a
// sample width it does not have.
class TPcmIn : public TAuFileIn {
 public:
  TPcmIn(int rate, int channels, int64_t frames, TSignal signal = TSignal::Tone);
  ~TPcmIn() override { CloseFile(); }
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
  int Channels = 0, SampleRate = 0;
  int64_t BitRate = 0;           // as FFmpeg reports the stream's
  std::vector<int16_t> Samples;  // interleaved, delay and padding trimmed
  int64_t Frames() const { return Channels ? static_cast<int64_t>(Samples.size()) / Channels : 0; }
};
TDecoded DecodeWithFFmpeg(const std::filesystem::path& file);

// What the first frame of an MP3 file (after any ID3v2 tag) says: its tag ("Info", "Xing"
// or empty) and its channel mode (0 stereo, 1 joint stereo, 3 mono; -1 when no frame).
struct TFirstFrame {
  std::string Tag;
  int Mode = -1;
};
TFirstFrame FirstFrame(const std::vector<uint8_t>& file);

using pipeline_test::RunToEnd;
using test_support::ReadBytes;

}  // namespace mp3_test
