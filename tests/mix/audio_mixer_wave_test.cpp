// SPDX-License-Identifier: GPL-3.0-or-later
// Two real WAV files, written by sox and by FFmpeg, joined and mixed through the WAV reader by
// a sink on its worker thread, against FFmpeg's concat and amix filters on the same files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/wave/wave_in.h"
#include "formats/wave/wave_out.h"
#include "mix/audio_mixer.h"
#include "mix_test_support.h"
#include "pipeline_test_support.h"

using namespace mix_test;
using pipeline_test::RunToEnd;
using pipeline_test::TMemoryOut;
using test_support::Quoted;

namespace {

namespace fs = std::filesystem;

class MixerWave : public testing::Test {
 protected:
  // The two files, with a mixer over them joined in `mode`.
  struct TPair {
    TWaveIn In1, In2;
    TAudioMixer Mixer;
    TPair(const MixerWave& test, TAudioMixerMode mode) {
      In1.SetFileName(test.Path("a.wav"));
      In2.SetFileName(test.Path("b.wav"));
      Mixer.Mode = mode;
      Mixer.SetInput1(&In1);
      Mixer.SetInput2(&In2);
    }
  };

  void SetUp() override {
    // Peaks stay below 16368, where 16-bit samples come back from float unchanged. The FFmpeg
    // file carries a LIST chunk before its data.
    Run("sox -n -r 44100 -c 2 -b 16 " + Quoted(Path("a.wav")) + " synth 1.0 sine 440 vol 0.4");
    Run("ffmpeg -v error -f lavfi -i sine=frequency=1000:sample_rate=44100:duration=0.6 -ac 2 "
        "-c:a pcm_s16le " +
        Quoted(Path("b.wav")));
  }

  std::string Path(const std::string& name) const { return (Folder / name).string(); }
  static void Run(const std::string& command) {
    ASSERT_EQ(test_support::Shell(command + " </dev/null").Status, 0) << command;
  }
  // FFmpeg's 16-bit output of `filter` over a.wav and b.wav.
  std::vector<int64_t> FFmpeg(const std::string& filter) const {
    const std::string out = Path("ref.raw");
    Run("ffmpeg -v error -y -i " + Quoted(Path("a.wav")) + " -i " + Quoted(Path("b.wav")) +
        " -filter_complex '" + filter + "' -f s16le -c:a pcm_s16le " + Quoted(out));
    return Values(2, test_support::ReadBytes(out));
  }
  // What a sink reads from the mixer over a.wav and b.wav in `mode`.
  std::vector<int64_t> Trimora(TAudioMixerMode mode) const {
    TPair pair(*this, mode);
    TMemoryOut sink;
    sink.BlockBytes = 16384;
    sink.SetInput(&pair.Mixer);
    EXPECT_EQ(RunToEnd(sink), "");
    return Values(2, sink.Data);
  }

  test_support::TTempFolder Folder;
};

TEST_F(MixerWave, JoinMatchesFFmpegConcatSampleForSample) {
  const auto ours = Trimora(amConcatenate);
  const auto theirs = FFmpeg("[0:a][1:a]concat=n=2:v=0:a=1");
  EXPECT_EQ(ours.size(), (44100u + 26460u) * 2);
  ASSERT_EQ(ours.size(), theirs.size());
  EXPECT_EQ(ours, theirs);
}

// FFmpeg rounds the halved sum on its own way; one step either side is the same mix.
TEST_F(MixerWave, MixMatchesFFmpegAmixAtHalfWeights) {
  const auto ours = Trimora(amMix);
  const auto theirs = FFmpeg("amix=inputs=2:duration=longest:normalize=0:weights=0.5 0.5");
  EXPECT_EQ(ours.size(), 44100u * 2);
  ASSERT_EQ(ours.size(), theirs.size());
  for (std::size_t i = 0; i < ours.size(); ++i)
    ASSERT_NEAR(ours[i], theirs[i], 1) << "at sample " << i;
}

// A run that fails on a missing file leaves the sink, the mixer and both sources ready: with
// the file back, the next run of the same components succeeds. The sink is the WAV writer,
// which ends only a read it started.
TEST_F(MixerWave, AFailedRunLeavesEveryComponentReadyForTheNext) {
  const struct {
    const char* name;
    bool mixed;
    const char* missing;
  } rows[] = {{"one source", false, "a.wav"},
              {"mixer, first input", true, "a.wav"},
              {"mixer, second input", true, "b.wav"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TPair pair(*this, amConcatenate);
    TWaveOut sink;
    sink.SetFileName(Path("out.wav"));
    sink.SetInput(row.mixed ? static_cast<TAuInput*>(&pair.Mixer) : &pair.In1);
    fs::rename(Path(row.missing), Path("away"));
    EXPECT_NE(RunToEnd(sink), "");
    fs::rename(Path("away"), Path(row.missing));
    for (const TAuInput* component :
         {static_cast<TAuInput*>(&pair.Mixer), static_cast<TAuInput*>(&pair.In1),
          static_cast<TAuInput*>(&pair.In2)})
      EXPECT_FALSE(component->IsBusy());
    EXPECT_EQ(RunToEnd(sink), "");
    const int64_t frames = row.mixed ? 44100 + 26460 : 44100;
    EXPECT_EQ(fs::file_size(Path("out.wav")), 44u + static_cast<uint64_t>(frames) * 4);
  }
}

}  // namespace
