// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Test components for the pipeline: a raw 16-bit stereo file source, a source of unknown
// size, and a sink that collects what it reads in memory, with switches to fail or stall.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "pipeline/au_exception.h"
#include "pipeline/file_input.h"
#include "pipeline/file_output.h"
#include "pipeline/main_thread_queue.h"
#include "test_support.h"

namespace pipeline_test {

// Runs the main thread's queue until `done` holds; false if it did not within 20 s, which
// only a hang would exceed.
inline bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    main_thread_queue::WaitAndProcess(std::chrono::milliseconds(2));
  }
  return true;
}

// Frame i of a test file holds the samples (i, -i) truncated to 16 bits, so any byte read
// tells which frame it came from.
inline std::vector<uint8_t> MakeFrames(int64_t first, int64_t count) {
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(count) * 4);
  for (int64_t i = first; i < first + count; ++i) {
    const auto l = static_cast<uint16_t>(i), r = static_cast<uint16_t>(-i);
    bytes.insert(bytes.end(), {uint8_t(l), uint8_t(l >> 8), uint8_t(r), uint8_t(r >> 8)});
  }
  return bytes;
}

// Headerless 16-bit stereo 44100 Hz PCM: the smallest real file source.
class TRawFileIn : public TAuFileIn {
 public:
  ~TRawFileIn() override { CloseFile(); }
  uint32_t MaxBlock = 4096;  // bytes per ReadBlock at most; odd sizes test trimming
  int OpenCalls = 0;

 protected:
  void OpenFile() override {
    std::lock_guard lock(FileLock);
    if (OpenCount > 0) return;
    ++OpenCalls;
    OpenStream();
    FValid = true;
    FBitsPerSample = 16;
    FChannels = 2;
    FSampleRate = 44100;
    FSize = Stream->Size();
    Stream->SetPosition(0);
    ++OpenCount;
  }
  void CloseFile() override {
    std::lock_guard lock(FileLock);
    if (OpenCount == 0) return;
    CloseStream();
    OpenCount = 0;
  }
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override {
    Buffer.resize(std::max(MaxBlock, 1u));
    const uint32_t want = std::min(bytes, MaxBlock);
    bytes = static_cast<uint32_t>(Stream->Read(Buffer.data(), want));
    buffer = Buffer.data();
  }
  bool DoSeek(int64_t& sampleNum) override {
    Stream->SetPosition(sampleNum * 4);
    return true;
  }

 private:
  std::vector<uint8_t> Buffer;
};

// A source whose size is unknown (-1) that delivers `Blocks` blocks of zeros.
class TUnknownSizeIn : public TAuInput {
 public:
  int Blocks = 3;

 protected:
  int QueryBitsPerSample() override { return 16; }
  int QueryChannels() override { return 1; }
  int QuerySampleRate() override { return 8000; }
  void DoStartRead() override {
    FSize = -1;
    Left = Blocks;
  }
  void DoEndRead() override {}
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override {
    buffer = Zeros;
    bytes = Left-- > 0 ? std::min<uint32_t>(bytes, sizeof Zeros) : 0;
  }

 private:
  int Left = 0;
  uint8_t Zeros[64] = {};
};

// Collects what it reads. It can fail in PrepareOutput or WriteBlock, or hold each block
// until the test releases it.
class TMemoryOut : public TAuOutput {
 public:
  ~TMemoryOut() override {
    Release();
    Shutdown();
  }

  std::vector<uint8_t> Data;       // written on the worker, read after OnDone
  std::vector<std::string> Calls;  // "prepare", "write", "finish"
  uint32_t BlockBytes = 1000;
  std::string FailInPrepare;
  std::string FailInWrite;
  std::string FailInFinish;
  std::atomic<bool> Gate{false};  // true: each WriteBlock waits for Release or an abort
  std::atomic<int> BlocksWritten{0};

  void Release() {
    {
      std::lock_guard lock(GateLock);
      Released = true;
    }
    GateOpen.notify_all();
  }
  void CloseGate() {
    std::lock_guard lock(GateLock);
    Released = false;
    Gate = true;
  }

 protected:
  void PrepareOutput() override {
    Calls.push_back("prepare");
    Data.clear();
    if (!FailInPrepare.empty()) throw EAuException(FailInPrepare);
    Input()->StartRead();
  }
  bool WriteBlock(bool Abort) override {
    Calls.push_back("write");
    if (Gate && !Abort) {
      std::unique_lock lock(GateLock);
      GateOpen.wait_for(lock, std::chrono::milliseconds(5), [&] { return Released; });
    }
    if (!FailInWrite.empty()) throw EAuException(FailInWrite);
    std::vector<uint8_t> block(BlockBytes);
    const uint32_t n = Input()->ReadInto(block.data(), BlockBytes);
    Data.insert(Data.end(), block.begin(), block.begin() + n);
    ++BlocksWritten;
    return n > 0;
  }
  void FinishOutput() override {
    Calls.push_back("finish");
    if (Input() != nullptr) Input()->EndRead();
    if (!FailInFinish.empty()) throw EAuException(FailInFinish);
  }

 private:
  std::mutex GateLock;
  std::condition_variable GateOpen;
  bool Released = false;
};

// Reads `input` to its end, as a sink does: its interleaved 16-bit samples.
std::vector<int16_t> ReadAll(TAuInput& input);

// Runs `sink` until its OnDone: the run's error message, empty when it succeeded, or "hung"
// when it did not end.
std::string RunToEnd(TAuOutput& sink);

// Points `sink`, a file sink, at the raw file its own source reads and runs it: the run must
// fail and leave the file as it was.
testing::AssertionResult RefusesToWriteOverItsInput(TAuFileOut& sink);

// A file of `frames` test frames in a fresh temporary folder.
class TTempFile {
 public:
  explicit TTempFile(int64_t frames, const std::string& name = "frames.raw");
  const std::filesystem::path& Path() const { return FilePath; }
  test_support::TTempFolder Folder;

 private:
  std::filesystem::path FilePath;
};

}  // namespace pipeline_test
