// SPDX-License-Identifier: GPL-3.0-or-later
// The lossless FLAC cut that cut_flac.sh times: flac_copy IN OUT START END (samples, END
// inclusive, -1 to the end) runs the frame-copy sink on its own worker thread as a cut does.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>

#include "formats/flac/flac_frame_copy_out.h"
#include "formats/flac/flac_stream.h"
#include "pipeline/file_input.h"
#include "pipeline/main_thread_queue.h"

namespace {

// Only what the copy asks of its input: the file, and the range.
class TFlacFileIn : public TAuFileIn {
 public:
  ~TFlacFileIn() override {
    NotifyDestroying();
    CloseFile();
  }

 protected:
  void OpenFile() override {
    std::lock_guard lock(FileLock);
    if (OpenCount > 0) return;
    OpenStream();
    const TFlacStreamInfo info = ReadFlacStart(*Stream).Info;
    FValid = true;
    FBitsPerSample = static_cast<int32_t>(info.BitsPerSample);
    FChannels = static_cast<int32_t>(info.Channels);
    FSampleRate = static_cast<int32_t>(info.SampleRate);
    ++OpenCount;
  }
  void CloseFile() override {
    std::lock_guard lock(FileLock);
    if (OpenCount == 0) return;
    CloseStream();
    OpenCount = 0;
  }
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override {
    buffer = nullptr;
    bytes = 0;
  }
  bool DoSeek(int64_t&) override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: flac_copy IN OUT START END\n";
    return 2;
  }
  TFlacFileIn in;
  in.SetFileName(argv[1]);
  in.StartSample = std::atoll(argv[3]);
  in.EndSample = std::atoll(argv[4]);
  TFlacFrameCopyOut copy;
  copy.SetInput(&in);
  copy.SetFileName(argv[2]);
  bool done = false;
  copy.OnDone = [&done](TComponent*) { done = true; };
  copy.Run();
  while (!done) main_thread_queue::WaitAndProcess(std::chrono::milliseconds(5));
  copy.SetInput(nullptr);
  if (!copy.ExceptionMessage().empty()) {
    std::cerr << copy.ExceptionMessage() << "\n";
    return 1;
  }
  std::printf("%lld samples\n", static_cast<long long>(copy.SamplesKept()));
  return 0;
}
