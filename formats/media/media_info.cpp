// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/media/media_info.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "formats/media/mp3_in.h"
#include "pipeline/au_exception.h"

namespace {

std::string LowerExtension(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

}  // namespace

bool IsMediaFileName(const std::filesystem::path& file) {
  const std::string extension = LowerExtension(file);
  return extension == ".mp3" || extension == ".wma";
}

TMediaFileInfo ReadMediaFileInfo(const std::filesystem::path& file) {
  const std::string extension = LowerExtension(file);
  if (!IsMediaFileName(file)) throw EAuException("Not an MP3 or WMA file name");
  TMediaFileInfo info;
  info.Format = extension == ".mp3" ? "MP3" : "WMA";
  std::unique_ptr<TWMIn> source =
      extension == ".mp3" ? std::make_unique<TMP3In>() : std::make_unique<TWMIn>();
  source->SetFileName(file);
  try {
    info.Valid = source->Valid();
  } catch (const EAuException& e) {
    if (std::string_view(e.what()) != "File is protected") throw;
    info.Protected = true;
    return info;
  }
  info.Channels = source->Channels();
  info.SampleRate = source->SampleRate();
  info.BitsPerSample = source->BitsPerSample();
  info.Duration = source->Duration();
  info.TotalSamples = source->TotalSamples();
  info.Bitrate = source->Bitrate();
  info.VBR = source->IsVBR();
  const TId3v2Tags& tags = source->Id3v2Tags();
  info.Title = tags.Title();
  info.Artist = tags.Artist();
  info.Album = tags.Album();
  info.Genre = tags.Genre();
  info.Comment = tags.Comment();
  info.Year = tags.Year();
  info.Track = tags.Track();
  return info;
}
