// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// A byte stream that sources read from and sinks write to: a file (TAuFileStream) or memory.
// Sizes and positions are 64-bit throughout.
class TAuStream {
 public:
  virtual ~TAuStream() = default;

  // Reads up to `count` bytes; returns how many, 0 at the end.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes `count` bytes or raises EAuException with the reason.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position from the start.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size() = 0;
  // Cuts or extends the stream to `size` bytes.
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }
  // Reads exactly `count` bytes or raises EAuException "Stream read error".
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count) { Write(buffer, count); }
};

// A stream over a growable byte vector, for callers that hand a source or sink their own data.
class TAuMemoryStream : public TAuStream {
 public:
  TAuMemoryStream() = default;
  explicit TAuMemoryStream(std::vector<uint8_t> data) : FData(std::move(data)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t size) override;

  const std::vector<uint8_t>& Bytes() const { return FData; }

 private:
  std::vector<uint8_t> FData;
  int64_t FPos = 0;
};
