// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/silence_search.h"

#include <exception>

#include "cutting/kinds/kind_registry.h"

TSilenceSearch::~TSilenceSearch() {
  Stop();
}

void TSilenceSearch::Start(const QString& file, const TSilenceSettings& settings) {
  Stop();
  FStopAsked = false;
  FPercent = 0;
  FResult = {};
  FJob.Start([this, path = file.toStdString(), settings] {
    TSilenceDetector detector;
    {
      const std::lock_guard lock(FMutex);
      FDetector = &detector;
      if (FStopAsked) detector.Stop();  // asked before the detector existed
    }
    TResult result;
    try {
      TOpenedSource opened = OpenSource(path);
      result.Silences = detector.Detect(*opened.Source, settings,
                                        [this](int percent) { FPercent = percent; });
    } catch (const std::exception& e) {
      result.Error = e.what();
    }
    const std::lock_guard lock(FMutex);
    FDetector = nullptr;
    FResult = std::move(result);
  });
}

void TSilenceSearch::Stop() {
  if (!FJob.Started()) return;
  {
    const std::lock_guard lock(FMutex);
    FStopAsked = true;
    if (FDetector != nullptr) FDetector->Stop();
  }
  FJob.Wait();
}

TSilenceSearch::TResult TSilenceSearch::Take() {
  FJob.Wait();
  const std::lock_guard lock(FMutex);
  return std::move(FResult);
}
