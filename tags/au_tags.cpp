// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/au_tags.h"

#include <algorithm>

#include "tags/tag_text.h"

namespace {

bool IsText(const TAuTagValue& v) {
  return std::holds_alternative<std::string>(v) || std::holds_alternative<std::u16string>(v);
}

bool IsNull(const TAuTagValue& v) {
  return std::holds_alternative<std::monostate>(v);
}

std::int64_t IntegerOf(const TAuTagValue& v) {
  return std::visit(
      [](const auto& x) -> std::int64_t {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_integral_v<T>) {
          return static_cast<std::int64_t>(x);
        } else {
          return 0;
        }
      },
      v);
}

std::u16string WideOf(const TAuTagValue& v) {
  if (const auto* narrow = std::get_if<std::string>(&v)) {
    return tag_text::AnsiToWide(*narrow);
  }
  if (const auto* wide = std::get_if<std::u16string>(&v)) {
    return *wide;
  }
  return tag_text::AnsiToWide(std::to_string(IntegerOf(v)));
}

bool KeyLess(const std::pair<std::string, TAuTagValue>& entry, std::string_view key) {
  return tag_text::CompareNoCase(entry.first, key) < 0;
}

}  // namespace

bool SameTagValue(const TAuTagValue& a, const TAuTagValue& b) {
  if (IsNull(a) || IsNull(b)) {
    return IsNull(a) && IsNull(b);
  }
  if (IsText(a) != IsText(b)) {
    return false;
  }
  if (!IsText(a)) {
    return IntegerOf(a) == IntegerOf(b);
  }
  if (a.index() == b.index()) {
    return a == b;
  }
  return WideOf(a) == WideOf(b);
}

std::vector<TAuTags::TEntry>::const_iterator TAuTags::Find(std::string_view key) const {
  auto it = std::lower_bound(FValues.begin(), FValues.end(), key, KeyLess);
  if (it != FValues.end() && tag_text::SameTextNoCase(it->first, key)) {
    return it;
  }
  return FValues.end();
}

std::string TAuTags::KeyAt(int index) const {
  if (index < 0 || index >= ValueCount()) {
    return {};
  }
  return FValues[static_cast<std::size_t>(index)].first;
}

TAuTagValue TAuTags::GetValue(std::string_view key) const {
  const auto it = Find(key);
  return it == FValues.end() ? TAuTagValue{} : it->second;
}

void TAuTags::SetValue(std::string_view key, const TAuTagValue& value) {
  const auto found = Find(key);
  if (found == FValues.end() || SameTagValue(found->second, value)) {
    return;
  }
  FValues[static_cast<std::size_t>(found - FValues.begin())].second = value;
  FEmpty = false;
  FChanged = true;
}

std::int64_t TAuTags::ValueAsInteger(std::string_view key) const {
  const TAuTagValue v = GetValue(key);
  if (const auto* narrow = std::get_if<std::string>(&v)) {
    return tag_text::ParseInt32(*narrow).value_or(0);
  }
  if (const auto* wide = std::get_if<std::u16string>(&v)) {
    return tag_text::ParseInt32(*wide).value_or(0);
  }
  return IntegerOf(v);
}

std::string TAuTags::ValueAsText(std::string_view key) const {
  const TAuTagValue v = GetValue(key);
  if (IsNull(v)) {
    return {};
  }
  if (const auto* narrow = std::get_if<std::string>(&v)) {
    return *narrow;
  }
  if (const auto* wide = std::get_if<std::u16string>(&v)) {
    return tag_text::WideToAnsi(*wide);
  }
  return std::to_string(IntegerOf(v));
}

std::u16string TAuTags::ValueAsWideText(std::string_view key) const {
  const TAuTagValue v = GetValue(key);
  return IsNull(v) ? std::u16string{} : WideOf(v);
}

bool TAuTags::DeclareKey(std::string_view key, const TAuTagValue& initial) {
  if (key.empty()) {
    return false;
  }
  const auto it = std::lower_bound(FValues.begin(), FValues.end(), key, KeyLess);
  if (it == FValues.end() || !tag_text::SameTextNoCase(it->first, key)) {
    FValues.insert(it, TEntry(std::string(key), initial));
  }
  return true;
}

void TAuTags::ClearValues() {
  for (auto& entry : FValues) {
    entry.second = std::monostate{};
  }
  FEmpty = true;
  FChanged = true;
}

void TAuTags::Assign(const TAuTags& source) {
  if (&source == this) {
    return;  // clearing first would lose the values we are asked to copy
  }
  ClearValues();
  for (const auto& [key, value] : source.FValues) {
    SetValue(key, value);
  }
}

void TAuTags::AssignTo(TAuTags& dest) const {
  dest.Assign(*this);
}

bool TAuTags::IsTagPresent(TTagFile& file) {
  return file.IsValid();
}

bool TAuTags::ReadTag(TTagFile& file) {
  if (!file.IsValid()) {
    return false;
  }
  ClearValues();
  return true;
}

bool TAuTags::WriteTag(TTagFile& file, bool /*unicode*/) {
  return file.IsValid();
}
