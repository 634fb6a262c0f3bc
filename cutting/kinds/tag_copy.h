// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

#include "cutting/marks/mark_sheet.h"
#include "pipeline/file_input.h"
#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"
#include "tags/tagged_file_out.h"

// How a cut carries a source's descriptive texts (its ID3v2 container, which the MP3 and
// WMA sources fill from the file) into its sink.

// The twelve texts, unchanged: artist, album, genre, year, track, title, comment, composer,
// encoder, copyright, language and link, the pictures and the comment frames. MP3 and WMA
// sinks alike (the WMA sink writes neither pictures nor more than the main comment).
void CopyId3v2Tags(const TId3v2Tags& source, TId3v2Tags& sink);

// The ID3v1 record's fields from the same texts: narrow text, the genre by its name, year
// and track as numbers (0 when not a number the field can hold; a track "7/12" is 7).
void CopyId3v2ToId3v1(const TId3v2Tags& source, TId3v1Tags& sink);

// Both, as an MP3 cut does.
void CopyTagsToMP3(const TId3v2Tags& source, TId3v2Tags& sinkId3v2, TId3v1Tags& sinkId3v1);

// As an MP3 cut does from the MP3 file `sourceFile` whose source filled `source`: the twelve
// texts, completed from the file's own tags (every value of a multi-valued frame, the frames
// the media runtime cannot read, the comments, what its ID3v2 tag lacks from its ID3v1
// record, then its APEv2 tag) and with its pictures, into the sink's ID3v2 container; the
// ID3v1 fields from that.
void CopyTagsToMP3(const TId3v2Tags& source, const std::filesystem::path& sourceFile,
                   TId3v2Tags& sinkId3v2, TId3v1Tags& sinkId3v1);

// The name through which a cut reads the own tags of the file `source` reads: the file its
// caller holds open, where it holds one (the source's name may lead elsewhere by now, as
// during a split), or else the source's name.
std::filesystem::path TagFileOf(TAuFileIn& source);

// The track of a cut's tags set over the source's to "number/count", as each piece of a split
// is numbered; the ID3v1 record gets the number where it fits.
void SetTrackOfCount(TAuTaggedFileOut& sink, int number, int count);

// The texts a piece made at a mark gets (a track's title, artist, album, ...) set over the
// source's in every container the sink writes; empty ones leave the source's.
void SetPieceTexts(TAuTaggedFileOut& sink, const TMarkPieceTexts& texts);
