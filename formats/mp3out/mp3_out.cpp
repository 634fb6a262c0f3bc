// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/mp3_out.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "formats/mp3out/be_config.h"
#include "formats/mp3out/id3v1_record.h"
#include "formats/mp3out/lame_enc.h"
#include "formats/mp3out/lame_library.h"
#include "formats/mp3out/mp3_lanes.h"
#include "formats/mp3out/mp3_tag_writer.h"
#include "pipeline/au_exception.h"

struct TMP3Out::TRunState {
  TBeStreamHandle Encoder;
  std::unique_ptr<TMP3Lanes> Lanes;  // instead of Encoder when several encoders share the work
  uint32_t SamplesPerChunk = 0;      // 16-bit samples of all channels per encoder call
  uint32_t OutputSize = 0;
  std::vector<int16_t> InputBuffer;
  std::vector<uint8_t> OutputBuffer;
  bool Downmix = false;      // a stereo source encoded as a mono stream
  bool ReadStarted = false;  // the source's read is ours to end
  bool CreatedFile = false;  // this run created the output file
  bool Completed = false;    // the file holds all its audio and is closed
  int64_t AudioStart = 0;    // where the encoder's first frame went in the stream
};

namespace {

// Runs a cleanup however the scope is left.
template <typename F>
class TScopeExit {
 public:
  explicit TScopeExit(F f) : FAction(std::move(f)) {}
  ~TScopeExit() { FAction(); }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

 private:
  F FAction;
};

[[noreturn]] void RaiseLameError(BE_ERR error) {
  throw EAuException("LAME Error: " + std::to_string(error));
}

// Sample frames a read takes when the lanes encode: their chunks gather any amount.
constexpr size_t kLaneReadFrames = 4608;

int LaneCount(int setting) {
  if (setting > 0) return setting;
  const auto cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(cores, 1, kMP3MaxAutoLanes);
}

// Averages the channels of `frames` interleaved stereo frames into their first half.
void DownmixToMono(int16_t* samples, uint32_t frames) {
  for (uint32_t i = 0; i < frames; ++i)
    samples[i] = static_cast<int16_t>((samples[2 * i] + samples[2 * i + 1]) / 2);
}

}  // namespace

TMP3Out::TMP3Out() = default;

TMP3Out::~TMP3Out() {
  Shutdown();
}

void TMP3Out::PrepareOutput() {
  FRun = std::make_unique<TRunState>();
  Prepare(*FRun);
}

void TMP3Out::Prepare(TRunState& run) {
  if (!StreamAssigned && WideFileName.empty()) throw EAuException("File name is not assigned.");
  // The source is opened before the output is created: it holds its file against writers,
  // so an output named like the source is refused instead of truncating it.
  Input()->StartRead();  // a failed start is undone by the source; only ours is ended
  run.ReadStarted = true;
  const int channels = Input()->Channels();
  if (Input()->BitsPerSample() != 16 || channels < 1 || channels > 2)
    throw EAuException("Only 16-bit mono or stereo input can be encoded to MP3");
  CreateStream();
  run.CreatedFile = !StreamAssigned;
  run.AudioStart = Stream->Position();

  const BE_CONFIG config =
      MakeBeConfig(*this, static_cast<uint32_t>(Input()->SampleRate()), channels);
  run.Downmix = channels == 2 && config.nMode == BE_MP3_MODE_MONO;
  const int lanes = LaneCount(Lanes);
  if (lanes > 1 && TMP3Lanes::Applies(config)) {
    try {
      run.Lanes = std::make_unique<TMP3Lanes>(config, TMP3LaneOptions{lanes, LaneChunkFrames});
    } catch (const EAuException&) {
      UndoPrepare(run);
      throw;
    }
    run.InputBuffer.resize(static_cast<size_t>(channels) * kLaneReadFrames);
    return;
  }
  HBE_STREAM handle = nullptr;
  const BE_ERR error = beInitStream(&config, &run.SamplesPerChunk, &run.OutputSize, &handle);
  if (error != BE_ERR_SUCCESSFUL) {
    UndoPrepare(run);
    RaiseLameError(error);
  }
  run.Encoder.reset(handle);
  // channels x samples-per-chunk bytes: one whole chunk for stereo, half of one for mono.
  run.InputBuffer.resize(static_cast<size_t>(channels) * run.SamplesPerChunk / 2);
  run.OutputBuffer.resize(run.OutputSize);
}

bool TMP3Out::WriteBlock(bool Abort) {
  if (!Active) return true;
  if (Abort || !FRun || FRun->Completed) return false;
  return EncodeStep(*FRun);
}

bool TMP3Out::EncodeStep(TRunState& run) {
  bool endOfData = false;
  const auto room = static_cast<uint32_t>(run.InputBuffer.size() * sizeof(int16_t));
  const uint32_t bytes = Input()->ReadFull(run.InputBuffer.data(), room, endOfData);
  if (bytes == 0) {
    CompleteFile(run, false);
    return false;
  }
  uint32_t samples = bytes / 2;
  if (run.Downmix) {
    samples /= 2;
    DownmixToMono(run.InputBuffer.data(), samples);
  }
  if (run.Lanes) {
    const auto frames = samples / static_cast<uint32_t>(run.Lanes->Channels());
    run.Lanes->Encode(run.InputBuffer.data(), frames,
                      [this](const uint8_t* data, uint32_t count) { WriteEncoded(data, count); });
    if (endOfData) CompleteFile(run, false);
    return !endOfData;
  }
  uint32_t produced = 0;
  const BE_ERR error = beEncodeChunk(run.Encoder.get(), samples, run.InputBuffer.data(),
                                     run.OutputBuffer.data(), &produced);
  if (error != BE_ERR_SUCCESSFUL) RaiseLameError(error);
  WriteEncoded(run.OutputBuffer.data(), produced);
  if (!endOfData) return true;
  CompleteFile(run, false);
  return false;
}

void TMP3Out::CompleteFile(TRunState& run, bool stopped) {
  const auto write = [this](const uint8_t* data, uint32_t count) { WriteEncoded(data, count); };
  if (run.Lanes) {
    if (stopped)
      run.Lanes->Stop();
    else
      run.Lanes->Finish(write);
  } else {
    uint32_t produced = 0;
    const BE_ERR error = beDeinitStream(run.Encoder.get(), run.OutputBuffer.data(), &produced);
    if (error != BE_ERR_SUCCESSFUL) RaiseLameError(error);
    WriteEncoded(run.OutputBuffer.data(), produced);
  }
  const auto record = MakeId3v1Record(Id3v1Tags());
  WriteEncoded(record.data(), static_cast<uint32_t>(record.size()));
  // A caller's stream has no name to reopen it by: the tag frame goes in through it. The
  // frame of several encoders' stream is ours to write anyway.
  if (run.Lanes)
    WriteTagFrame(run, run.Lanes->TagFrame());
  else if (StreamAssigned)
    WriteTagFrame(run, beLameTagFrame(run.Encoder.get()));
  CloseStream();
  run.Encoder.reset();
  const bool lanes = run.Lanes != nullptr;
  run.Lanes.reset();
  run.Completed = true;
  run.InputBuffer = {};
  run.OutputBuffer = {};
  if (StreamAssigned || WideFileName.empty()) return;

  if (!lanes) {
    const BE_ERR error = beWriteVBRHeader(WideFileName.c_str());
    if (error != BE_ERR_SUCCESSFUL) RaiseLameError(error);
  }
  WriteMP3Tags(WideFileName, Id3v2Tags());
}

// After a refused encoder: FinishOutput will not run, so the read is ended here.
void TMP3Out::UndoPrepare(TRunState& run) {
  DiscardFile(run);
  Busy = false;
  Input()->EndRead();
  FRun.reset();
}

void TMP3Out::WriteTagFrame(TRunState& run, const std::vector<uint8_t>& frame) {
  if (frame.empty()) return;
  const int64_t end = Stream->Position();
  Stream->SetPosition(run.AudioStart);
  WriteEncoded(frame.data(), static_cast<uint32_t>(frame.size()));
  Stream->SetPosition(end);
}

void TMP3Out::DiscardFile(TRunState& run) {
  run.Lanes.reset();
  run.Encoder.reset();
  CloseStream();
  if (!run.CreatedFile) return;
  run.CreatedFile = false;
  std::error_code ignored;
  std::filesystem::remove(WideFileName, ignored);
}

void TMP3Out::WriteEncoded(const uint8_t* data, uint32_t count) {
  if (count == 0) return;
  int64_t written = 0;
  std::string reason = "the file took only part of the data";
  try {
    written = Stream->Write(data, count);
  } catch (const EAuException& e) {
    written = -1;  // a full disk or a lost device: its reason goes with the message
    reason = e.what();
  }
  if (written < static_cast<int64_t>(count))
    throw EAuException("Error writing down mp3 file: " + reason);
}

void TMP3Out::FinishOutput() {
  std::unique_ptr<TRunState> run = std::move(FRun);
  if (!run) return;
  // However this ends, the encoder and the file are closed and the source's read ended.
  const TScopeExit cleanup([&] {
    run->Lanes.reset();
    run->Encoder.reset();
    CloseStream();
    if (run->ReadStarted && Input() != nullptr) Input()->EndRead();
  });
  if (run->Completed) return;
  if (RunFailed() || (!run->Encoder && !run->Lanes)) {
    DiscardFile(*run);
    return;
  }
  // A stopped run keeps what it encoded, as a finished file; the lanes drop what they hold.
  CompleteFile(*run, true);
}
