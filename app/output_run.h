#pragma once

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class TAuFileOut;
class TSafeOutput;

// The runs of a window that writes a new file: one sink run at a time, its error kept from
// the engine's first report, and the file written through the safe save, which moves it
// into place only after the last run has ended well. Everything here is used on the main
// thread; the engine's events reach it there.
class TOutputRun {
 public:
  TOutputRun();
  ~TOutputRun();
  TOutputRun(const TOutputRun&) = delete;
  TOutputRun& operator=(const TOutputRun&) = delete;

  // Keeps the first error each of `sinks` reports during a run (their OnThreadException).
  void Watch(std::initializer_list<TAuFileOut*> sinks);

  // Opens the safe save of `target` for the run that writes it (refusals raise
  // ESafeOutputError): the path that run's sink must write to.
  const std::filesystem::path& OpenTarget(const std::filesystem::path& target, bool replace,
                                          const std::vector<std::filesystem::path>& inputs);
  // Starts `sink`, set up by the caller.
  void Start(TAuFileOut& sink);
  bool Running() const { return FRunning != nullptr; }

  // At the sink's OnDone: the run's error, empty when it ended well. With `last`, a good
  // run is moved into place (a failed move is the error); after any error the safe save's
  // temporary file is gone and the older file of the target's name untouched.
  std::string Finish(bool last);
  // Stops the running sink (no OnDone follows) and drops the safe save's temporary file.
  void Stop();

 private:
  TAuFileOut* FRunning = nullptr;
  std::unique_ptr<TSafeOutput> FOutput;
  std::string FError;
};
