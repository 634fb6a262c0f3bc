// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// Base of every source and sink. Components refer to each other without owning (a sink's
// Input, a mixer's two inputs); a component asks to be told when one it refers to goes away.
// Components are created, wired and destroyed on the main thread only.
class TComponent {
 public:
  TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  virtual ~TComponent();

  std::string Name;

  // `other` is told through Notification when this component is destroyed (and vice versa).
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

 protected:
  // `destroyed` is going away; drop every reference to it.
  virtual void Notification(TComponent* destroyed) { (void)destroyed; }

  // Tells the components that refer to this one that it is going away. A class whose
  // teardown others may still be using calls it first thing in its destructor, while the
  // whole object is intact; the base destructor calls it again, harmlessly.
  void NotifyDestroying();

 private:
  std::vector<TComponent*> FFreeNotifies;
  bool FDestroying = false;
};
