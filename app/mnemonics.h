// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Alt+letter as on the desktop the windows were designed for. Qt only moves the focus
// between buttons that share a letter ("&Stop" and "&Segment Cut"); here one of them is
// clicked: the first enabled one in tab order, or, when the buttons bear the same caption
// (the Joiner's two "&Open File"), the first one after the focused control, so that each
// serves the row the user is in.
namespace mnemonics {

// Takes over the letters of every button `window` holds now.
void Install(QWidget* window);

// Gives every control of `window` that has none an accessible name: a button or label its
// caption without the '&', any other control its hint, or the caption of the label that is
// its buddy.
void NameControls(QWidget* window);

}  // namespace mnemonics
