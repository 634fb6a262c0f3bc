// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace window_parts {

// The window comes back at the size it had when it was last hidden (never below what its
// layout needs), under `key` in the settings. Call it once the window is built, after its
// designed size is taken.
void RememberSize(QWidget* window, const char* key);

}  // namespace window_parts
