// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "cutting/marks/mark_sheet.h"

// A FLAC CUESHEET metadata block's body: a mark for each track but the lead-out, at the
// track's offset plus its INDEX 01 (else its first index), in samples of `rate`. Nothing
// when the body is cut short or holds no track.
std::optional<TMarkSheet> ParseFlacCueSheetBlock(const uint8_t* body, size_t size, int rate);
