// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "tags/tag_file.h"

// One tag value: null, an integer of one of six widths, narrow text (Windows-1252 bytes)
// or wide text (UTF-16).
using TAuTagValue =
    std::variant<std::monostate, std::int8_t, std::int16_t, std::int32_t, std::uint8_t,
                 std::uint16_t, std::uint32_t, std::string, std::u16string>;

// Two nulls are equal and null differs from any value; integers compare by number and
// texts by their characters, whatever width they are stored in.
bool SameTagValue(const TAuTagValue& a, const TAuTagValue& b);

// Base of every tag container: a fixed set of keys, declared by the constructor of the
// concrete class, each holding one value. Keys compare case-insensitively, which is what
// lets Assign carry values between classes that spell the same key differently.
class TAuTags {
 public:
  TAuTags() = default;
  TAuTags(const TAuTags&) = delete;
  TAuTags& operator=(const TAuTags&) = delete;
  virtual ~TAuTags() = default;

  int ValueCount() const { return static_cast<int>(FValues.size()); }
  // The key at `index` in sorted order; empty text outside 0..ValueCount()-1.
  std::string KeyAt(int index) const;
  TAuTagValue GetValue(std::string_view key) const;
  // Does nothing for an undeclared key or an unchanged value.
  void SetValue(std::string_view key, const TAuTagValue& value);
  std::int64_t ValueAsInteger(std::string_view key) const;
  std::string ValueAsText(std::string_view key) const;
  std::u16string ValueAsWideText(std::string_view key) const;
  void ClearValues();

  // Clears this object, then copies every key both objects declare.
  virtual void Assign(const TAuTags& source);
  virtual void AssignTo(TAuTags& dest) const;

  // Base file operations: fail on the invalid handle, otherwise succeed without touching
  // the file (ReadTag clears the values).
  virtual bool IsTagPresent(TTagFile& file);
  virtual bool ReadTag(TTagFile& file);
  virtual bool WriteTag(TTagFile& file, bool unicode);

  bool Empty() const { return FEmpty; }
  bool Changed() const { return FChanged; }

 protected:
  bool DeclareKey(std::string_view key, const TAuTagValue& initial);

 private:
  using TEntry = std::pair<std::string, TAuTagValue>;
  std::vector<TEntry>::const_iterator Find(std::string_view key) const;

  std::vector<TEntry> FValues;  // sorted by key, case-insensitively
  bool FEmpty = true;
  bool FChanged = false;
};
