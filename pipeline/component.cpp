// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/component.h"

#include <algorithm>

TComponent::~TComponent() {
  NotifyDestroying();
}

void TComponent::FreeNotification(TComponent* other) {
  if (other == nullptr || other == this) return;
  if (std::find(FreeNotifies.begin(), FreeNotifies.end(), other) == FreeNotifies.end())
    FreeNotifies.push_back(other);
  auto& back = other->FreeNotifies;
  if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  std::erase(FreeNotifies, other);
  if (other != nullptr) std::erase(other->FreeNotifies, this);
}

void TComponent::NotifyDestroying() {
  if (Destroying) return;
  Destroying = true;
  // Each notified component may remove itself from the list, so work on a copy.
  const auto others = FreeNotifies;
  for (TComponent* other : others) {
    std::erase(other->FreeNotifies, this);
    other->Notification(this);
  }
  FreeNotifies.clear();
}
