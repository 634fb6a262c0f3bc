#include "app/output_run.h"

#include "cutting/safe_output.h"
#include "pipeline/file_output.h"

TOutputRun::TOutputRun() = default;
TOutputRun::~TOutputRun() = default;

void TOutputRun::Watch(std::initializer_list<TAuFileOut*> sinks) {
  for (TAuFileOut* sink : sinks)
    sink->OnThreadException = [this, sink](TComponent*) {
      if (FError.empty()) FError = sink->ExceptionMessage();
    };
}

const std::filesystem::path& TOutputRun::OpenTarget(
    const std::filesystem::path& target, bool replace,
    const std::vector<std::filesystem::path>& inputs) {
  FOutput = std::make_unique<TSafeOutput>(target, replace, inputs);
  return FOutput->TempPath();
}

void TOutputRun::Start(TAuFileOut& sink) {
  FError.clear();
  FRunning = &sink;
  try {
    sink.Run();
  } catch (...) {
    FRunning = nullptr;
    throw;
  }
}

std::string TOutputRun::Finish(bool last) {
  std::string error = FError;
  if (FRunning != nullptr && error.empty()) error = FRunning->ExceptionMessage();
  FRunning = nullptr;
  FError.clear();
  if (error.empty() && last && FOutput) {
    try {
      FOutput->Commit();
    } catch (const std::exception& e) {
      error = e.what();
    }
  }
  if (last || !error.empty()) FOutput.reset();
  return error;
}

void TOutputRun::Stop() {
  TAuFileOut* running = FRunning;
  FRunning = nullptr;
  if (running != nullptr) running->Stop();
  FOutput.reset();
}
