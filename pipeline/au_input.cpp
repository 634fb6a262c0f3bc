// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/au_input.h"

#include <cstring>
#include <exception>

#include "pipeline/au_exception.h"

void TAuInput::StartRead() {
  std::lock_guard lock(DataLock);
  EndOfStream = false;
  try {
    DoStartRead();
  } catch (const std::exception& e) {
    EndOfStream = true;
    throw EAuException(e.what());
  }
}

void TAuInput::EndRead() {
  std::lock_guard lock(DataLock);
  DoEndRead();
}

void TAuInput::ReadData(uint8_t*& buffer, uint32_t& bytes) {
  std::lock_guard lock(DataLock);
  ReadBlock(buffer, bytes);
}

uint32_t TAuInput::ReadInto(void* dest, uint32_t size) {
  uint8_t* data = nullptr;
  uint32_t count = size;
  ReadData(data, count);
  if (count > size) count = size;
  if (count > 0) std::memcpy(dest, data, count);
  return count;
}

uint32_t TAuInput::ReadFull(void* dest, uint32_t size, bool& endOfData) {
  auto* out = static_cast<uint8_t*>(dest);
  uint32_t total = 0;
  endOfData = false;
  while (total < size) {
    uint8_t* data = nullptr;
    uint32_t count = size - total;
    ReadData(data, count);
    if (count == 0) {
      endOfData = true;
      break;
    }
    if (count > size - total) count = size - total;  // never trust a source past the space
    std::memcpy(out + total, data, count);
    total += count;
  }
  return total;
}
