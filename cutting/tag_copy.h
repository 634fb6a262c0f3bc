#pragma once

#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"

// How a cut carries a source's descriptive texts (its ID3v2 container, which the MP3 and
// WMA sources fill from the file) into its sink.

// The twelve texts, unchanged: artist, album, genre, year, track, title, comment, composer,
// encoder, copyright, language and link. MP3 and WMA sinks alike.
void CopyId3v2Tags(const TId3v2Tags& source, TId3v2Tags& sink);

// The ID3v1 record's fields from the same texts: narrow text, the genre by its name, year
// and track as numbers (0 when not a number the field can hold).
void CopyId3v2ToId3v1(const TId3v2Tags& source, TId3v1Tags& sink);

// Both, as an MP3 cut does.
void CopyTagsToMP3(const TId3v2Tags& source, TId3v2Tags& sinkId3v2, TId3v1Tags& sinkId3v1);
