// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

// Every message box of the windows: the caption "Quarvo Trimora" and the information icon.
namespace message_box {

inline constexpr char kCaption[] = "Quarvo Trimora";

void Show(QWidget* owner, const QString& text);
// Yes and No buttons; true for Yes.
bool AskYesNo(QWidget* owner, const QString& text);

}  // namespace message_box
