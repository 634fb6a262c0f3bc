// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <span>

#include "tags/tag_file.h"

// Puts `block` in front of the file's content, moving the content up in place through a
// shared memory mapping rather than copying it to a new file. Files that would reach
// 4 GiB are refused. If the mapping fails after the file was extended, the previous length
// is restored, so nothing of the content is lost. Leaves the position at the new end.
bool PrependToFile(TTagFile& file, std::span<const std::byte> block);
