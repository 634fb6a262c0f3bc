// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/xiph_tags.h"

#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <memory>

namespace {

enum class TXiphFile { None, Flac, Vorbis, Opus };

// The kind of file by its first bytes: the name of a temporary file says nothing.
TXiphFile KindOf(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::array<char, 64> head{};
  in.read(head.data(), head.size());
  const std::string bytes(head.data(), static_cast<size_t>(in.gcount()));
  if (bytes.rfind("fLaC", 0) == 0) return TXiphFile::Flac;
  if (bytes.rfind("OggS", 0) != 0 || bytes.size() < 28) return TXiphFile::None;
  const std::string packet = bytes.substr(28);  // the first page holds one segment
  if (packet.rfind("OpusHead", 0) == 0) return TXiphFile::Opus;
  if (packet.rfind("\x01vorbis", 0) == 0) return TXiphFile::Vorbis;
  return TXiphFile::None;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

TXiphPicture FromTagLib(const TagLib::FLAC::Picture& picture) {
  TXiphPicture result;
  result.Type = static_cast<uint32_t>(picture.type());
  result.MimeType = picture.mimeType().to8Bit(true);
  result.Description = picture.description().to8Bit(true);
  result.Width = static_cast<uint32_t>(picture.width());
  result.Height = static_cast<uint32_t>(picture.height());
  result.ColorDepth = static_cast<uint32_t>(picture.colorDepth());
  result.NumColors = static_cast<uint32_t>(picture.numColors());
  const TagLib::ByteVector data = picture.data();
  result.Data.assign(data.begin(), data.end());
  return result;
}

// A picture of TagLib's, owned by whoever it is given to.
TagLib::FLAC::Picture* ToTagLib(const TXiphPicture& picture) {
  auto result = std::make_unique<TagLib::FLAC::Picture>();
  result->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.Type));
  result->setMimeType(TagLib::String(picture.MimeType, TagLib::String::UTF8));
  result->setDescription(TagLib::String(picture.Description, TagLib::String::UTF8));
  result->setWidth(static_cast<int>(picture.Width));
  result->setHeight(static_cast<int>(picture.Height));
  result->setColorDepth(static_cast<int>(picture.ColorDepth));
  result->setNumColors(static_cast<int>(picture.NumColors));
  result->setData(TagLib::ByteVector(reinterpret_cast<const char*>(picture.Data.data()),
                                     static_cast<unsigned>(picture.Data.size())));
  return result.release();
}

void ReadFields(TagLib::Ogg::XiphComment* comment, TXiphTags& tags) {
  if (comment == nullptr) return;
  for (const auto& [name, values] : comment->fieldListMap())
    for (const TagLib::String& value : values)
      tags.Fields.emplace_back(Upper(name.to8Bit(true)), value.to8Bit(true));
  for (const TagLib::FLAC::Picture* picture : comment->pictureList())
    tags.Pictures.push_back(FromTagLib(*picture));
}

void WriteFields(TagLib::Ogg::XiphComment& comment, const TXiphTags& tags, bool pictures) {
  for (const auto& [name, values] : comment.fieldListMap()) comment.removeFields(name);
  comment.removeAllPictures();
  for (const auto& [name, value] : tags.Fields)
    comment.addField(TagLib::String(name, TagLib::String::UTF8),
                     TagLib::String(value, TagLib::String::UTF8), false);
  if (pictures)
    for (const TXiphPicture& picture : tags.Pictures) comment.addPicture(ToTagLib(picture));
}

}  // namespace

std::string TXiphTags::Value(const std::string& name) const {
  const std::string wanted = Upper(name);
  for (const auto& [key, value] : Fields)
    if (Upper(key) == wanted) return value;
  return {};
}

void TXiphTags::Set(const std::string& name, const std::string& value) {
  const std::string wanted = Upper(name);
  auto first = std::find_if(Fields.begin(), Fields.end(),
                            [&](const auto& field) { return Upper(field.first) == wanted; });
  const auto at = first - Fields.begin();
  std::erase_if(Fields, [&](const auto& field) { return Upper(field.first) == wanted; });
  if (value.empty()) return;
  Fields.insert(Fields.begin() + std::min<std::ptrdiff_t>(at, std::ssize(Fields)), {wanted, value});
}

bool ReadXiphTags(const std::filesystem::path& file, TXiphTags& tags) {
  tags = {};
  switch (KindOf(file)) {
    case TXiphFile::Flac: {
      TagLib::FLAC::File flac(file.c_str(), false);
      if (!flac.isValid()) return false;
      ReadFields(flac.xiphComment(false), tags);
      for (const TagLib::FLAC::Picture* picture : flac.pictureList())
        tags.Pictures.push_back(FromTagLib(*picture));
      return true;
    }
    case TXiphFile::Vorbis: {
      TagLib::Ogg::Vorbis::File vorbis(file.c_str(), false);
      if (!vorbis.isValid()) return false;
      ReadFields(vorbis.tag(), tags);
      return true;
    }
    case TXiphFile::Opus: {
      TagLib::Ogg::Opus::File opus(file.c_str(), false);
      if (!opus.isValid()) return false;
      ReadFields(opus.tag(), tags);
      return true;
    }
    case TXiphFile::None:
      break;
  }
  return false;
}

bool WriteXiphTags(const std::filesystem::path& file, const TXiphTags& tags) {
  switch (KindOf(file)) {
    case TXiphFile::Flac: {
      TagLib::FLAC::File flac(file.c_str(), false);
      if (!flac.isValid()) return false;
      // FLAC keeps its pictures in blocks of their own, beside the comment block.
      WriteFields(*flac.xiphComment(true), tags, false);
      flac.removePictures();
      for (const TXiphPicture& picture : tags.Pictures) flac.addPicture(ToTagLib(picture));
      return flac.save();
    }
    case TXiphFile::Vorbis: {
      TagLib::Ogg::Vorbis::File vorbis(file.c_str(), false);
      if (!vorbis.isValid() || vorbis.tag() == nullptr) return false;
      WriteFields(*vorbis.tag(), tags, true);
      return vorbis.save();
    }
    case TXiphFile::Opus: {
      TagLib::Ogg::Opus::File opus(file.c_str(), false);
      if (!opus.isValid() || opus.tag() == nullptr) return false;
      WriteFields(*opus.tag(), tags, true);
      return opus.save();
    }
    case TXiphFile::None:
      break;
  }
  return false;
}
