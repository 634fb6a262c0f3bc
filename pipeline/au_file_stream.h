// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "pipeline/au_stream.h"
#include "pipeline/unique_fd.h"

// Mode words of TAuFileStream: bits 0-1 the access (0 read, 1 write, 2 read and write), bits
// 4-7 what others may do meanwhile (0 and 1 nothing, 2 read, 3 write, 4 both); 0xFFFF
// creates the file, replacing an existing one, for reading and writing with no sharing.
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareExclusive = 0x0010;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyRead = 0x0030;
inline constexpr uint16_t fmShareDenyNone = 0x0040;
inline constexpr uint16_t fmCreate = 0xFFFF;

// A file stream opened by name with a mode word. Linux has no share modes, so they are kept
// in a registry of this process's open files (by device and inode): an open that the share
// mode of another open stream forbids fails, as it would where share modes exist. This is
// what keeps a cut from writing over the file it is reading.
class TAuFileStream : public TAuStream {
 public:
  // Raises EAuException with the system's text when the file cannot be opened or created.
  TAuFileStream(const std::filesystem::path& name, uint16_t mode);
  ~TAuFileStream() override;
  TAuFileStream(const TAuFileStream&) = delete;
  TAuFileStream& operator=(const TAuFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;

  int Handle() const { return FFd.Get(); }
  // Forces written data to the disk.
  void Flush();

  // A stream that reads the file this one has open, at a position of its own: the same file
  // even once its name is gone or names another. It is held against writers as this is.
  std::unique_ptr<TAuFileStream> Twin() const;
  // A name that opens the file this stream has open, for readers that take a name.
  std::filesystem::path HeldName() const;

 private:
  TAuFileStream() = default;

  TUniqueFd FFd;
  uint64_t FRegistryId = 0;
  int64_t FOffset = -1;  // a twin's own position (it shares the descriptor's); -1: none
};
