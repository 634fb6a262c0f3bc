// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cutting/kinds/kind.h"
#include "cutting/marks/mark_sheet.h"
#include "cutting/operations/split_plan.h"

// A split's plan written as marks for another program: a cue sheet or a label file, whatever
// mode made the plan.

// The sheet's own texts (album, performer, genre, date) from the tags of `source`, for a plan
// that was not made from a sheet.
TMarkSheet AlbumTextsOf(const TKind& kind, TAuFileIn& source);

// A mark for each piece, a region from its start to its end with its texts; `album` gives the
// sheet's texts, and a piece's artist or composer is written only where it is not the album's.
TMarkSheet MarksOfPlan(const std::vector<TSplitPiece>& pieces, int rate, const TMarkSheet& album);

// The cue sheet of the plan of `sound`; its FILE line names the file, of type MP3 or WAVE as
// it is. ECutError for more than 99 pieces.
std::string PlanCueSheet(const std::vector<TSplitPiece>& pieces, int rate, const TMarkSheet& album,
                         const std::filesystem::path& sound);
std::string PlanLabels(const std::vector<TSplitPiece>& pieces, int rate);

// Writes `text` into `target` through the safe save: never over `sound`, over a file that
// exists only when `replace`. ESafeOutputError or ECutError with the reason.
void WritePlanText(const std::filesystem::path& target, const std::string& text, bool replace,
                   const std::filesystem::path& sound);
