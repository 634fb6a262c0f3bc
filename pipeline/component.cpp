// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/component.h"

#include <algorithm>

TComponent::~TComponent() {
  NotifyDestroying();
}

void TComponent::FreeNotification(TComponent* other) {
  if (other == nullptr || other == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), other) == FFreeNotifies.end())
    FFreeNotifies.push_back(other);
  auto& back = other->FFreeNotifies;
  if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  std::erase(FFreeNotifies, other);
  if (other != nullptr) std::erase(other->FFreeNotifies, this);
}

void TComponent::NotifyDestroying() {
  if (FDestroying) return;
  FDestroying = true;
  // Each notified component may remove itself from the list, so work on a copy.
  const auto others = FFreeNotifies;
  for (TComponent* other : others) {
    std::erase(other->FFreeNotifies, this);
    other->Notification(this);
  }
  FFreeNotifies.clear();
}
