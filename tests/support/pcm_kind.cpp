// SPDX-License-Identifier: GPL-3.0-or-later
#include "pcm_kind.h"

#include <vector>

#include "cutting/kinds/kind_registry.h"
#include "pipeline_test_support.h"

namespace {

// Writes what it reads as it comes: the source's format is the file's.
class TRawFileOut : public TAuFileOut {
 public:
  ~TRawFileOut() override { Shutdown(); }

 protected:
  void PrepareOutput() override {
    CreateStream();
    Input()->StartRead();
  }
  bool WriteBlock(bool) override {
    FBlock.resize(1 << 16);
    const uint32_t bytes = Input()->ReadInto(FBlock.data(), static_cast<uint32_t>(FBlock.size()));
    if (bytes > 0) Stream->WriteBuffer(FBlock.data(), bytes);
    return bytes > 0;
  }
  void FinishOutput() override {
    if (Input() != nullptr) Input()->EndRead();
    CloseStream();
  }

 private:
  std::vector<uint8_t> FBlock;
};

}  // namespace

std::unique_ptr<TAuFileIn> TPcmTestKind::MakeSource() const {
  auto source = std::make_unique<pipeline_test::TRawFileIn>();
  source->MaxBlock = 1 << 16;
  return source;
}

std::unique_ptr<TAuFileOut> TPcmTestKind::MakeSink() const {
  return std::make_unique<TRawFileOut>();
}

void RegisterPcmTestKind() {
  static const bool registered = [] {
    TKindRegistry::Instance().Register(std::make_unique<TPcmTestKind>());
    return true;
  }();
  (void)registered;
}
