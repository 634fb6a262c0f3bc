// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "cutting/marks/mark_sheet.h"

// A label file: one label a line, "start<TAB>end<TAB>text" with the times in seconds
// ("12.345678"). A label whose end lies after its start is a region, a stretch of its own
// named by its text; one whose end is its start (or that has no end) is a point, a boundary.
// Lines starting with a backslash (a label's frequency range) are passed over.

// ECutError naming the line for a time that is not a number of seconds, an end before its
// start, binary data, and a file with no label.
TMarkSheet ParseLabels(std::string_view bytes);

// A region for each mark, its text the mark's title, times to the microsecond (exact to the
// frame on reading back at any rate up to 1 MHz).
std::string WriteLabels(const TMarkSheet& marks, int rate);
