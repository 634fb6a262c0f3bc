// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline_test_support.h"

namespace pipeline_test {

TTempFile::TTempFile(int64_t frames, const std::string& name) : FilePath(Folder / name) {
  test_support::WriteBytes(FilePath, MakeFrames(0, frames));
}

std::vector<int16_t> ReadAll(TAuInput& input) {
  std::vector<int16_t> samples;
  input.StartRead();
  for (;;) {
    uint8_t* data = nullptr;
    uint32_t bytes = 4096;
    input.ReadData(data, bytes);
    if (bytes == 0) break;
    const auto* values = reinterpret_cast<const int16_t*>(data);
    samples.insert(samples.end(), values, values + bytes / 2);
  }
  input.EndRead();
  return samples;
}

std::string RunToEnd(TAuOutput& sink) {
  bool done = false;
  sink.OnDone = [&done](TComponent*) { done = true; };
  sink.Run();
  if (!PumpUntil([&] { return done; })) return "hung";
  sink.OnDone = nullptr;
  return sink.ExceptionMessage();
}

testing::AssertionResult RefusesToWriteOverItsInput(TAuFileOut& sink) {
  const TTempFile file(20000);
  const auto before = test_support::ReadBytes(file.Path());
  TRawFileIn source;
  source.SetFileName(file.Path());
  sink.SetInput(&source);
  sink.SetFileName(file.Path());
  const std::string message = RunToEnd(sink);
  sink.SetInput(nullptr);
  if (message.empty()) return testing::AssertionFailure() << "the run succeeded";
  if (test_support::ReadBytes(file.Path()) != before)
    return testing::AssertionFailure() << "the input changed (" << message << ")";
  return testing::AssertionSuccess();
}

}  // namespace pipeline_test
