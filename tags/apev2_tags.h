// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "tags/au_tags.h"

// The item keys of the APEv2 standard. A container only: nothing here reads or writes
// APEv2 tags in files, so the file operations are the base ones.
class TAPEv2Tags : public TAuTags {
 public:
  TAPEv2Tags();

  std::u16string Artist() const { return ValueAsWideText("Artist"); }
  void SetArtist(const std::u16string& v) { SetValue("Artist", v); }
  std::u16string Composer() const { return ValueAsWideText("Composer"); }
  void SetComposer(const std::u16string& v) { SetValue("Composer", v); }
  std::u16string Album() const { return ValueAsWideText("Album"); }
  void SetAlbum(const std::u16string& v) { SetValue("Album", v); }
  std::u16string DebutAlbum() const { return ValueAsWideText("Debut album"); }
  void SetDebutAlbum(const std::u16string& v) { SetValue("Debut album", v); }
  std::u16string Publisher() const { return ValueAsWideText("Publisher"); }
  void SetPublisher(const std::u16string& v) { SetValue("Publisher", v); }
  std::u16string Conductor() const { return ValueAsWideText("Conductor"); }
  void SetConductor(const std::u16string& v) { SetValue("Conductor", v); }
  std::u16string Copyright() const { return ValueAsWideText("Copyright"); }
  void SetCopyright(const std::u16string& v) { SetValue("Copyright", v); }
  std::string ISBN() const { return ValueAsText("ISBN"); }
  void SetISBN(const std::string& v) { SetValue("ISBN", v); }
  std::string ISRC() const { return ValueAsText("ISRC"); }
  void SetISRC(const std::string& v) { SetValue("ISRC", v); }
  std::string BarCode() const { return ValueAsText("EAN/UPC"); }
  void SetBarCode(const std::string& v) { SetValue("EAN/UPC", v); }
  std::string LabelCode() const { return ValueAsText("LC"); }
  void SetLabelCode(const std::string& v) { SetValue("LC", v); }
  std::string Catalog() const { return ValueAsText("Catalog"); }
  void SetCatalog(const std::string& v) { SetValue("Catalog", v); }
  std::u16string Language() const { return ValueAsWideText("Language"); }
  void SetLanguage(const std::u16string& v) { SetValue("Language", v); }
  std::u16string Genre() const { return ValueAsWideText("Genre"); }
  void SetGenre(const std::u16string& v) { SetValue("Genre", v); }
  std::string Year() const { return ValueAsText("Year"); }
  void SetYear(const std::string& v) { SetValue("Year", v); }
  std::string RecordDate() const { return ValueAsText("Record Date"); }
  void SetRecordDate(const std::string& v) { SetValue("Record Date", v); }
  std::u16string RecordLocation() const { return ValueAsWideText("Record Location"); }
  void SetRecordLocation(const std::u16string& v) { SetValue("Record Location", v); }
  std::u16string File() const { return ValueAsWideText("File"); }
  void SetFile(const std::u16string& v) { SetValue("File", v); }
  std::u16string Related() const { return ValueAsWideText("Related"); }
  void SetRelated(const std::u16string& v) { SetValue("Related", v); }
  std::u16string Abstract() const { return ValueAsWideText("Abstract"); }
  void SetAbstract(const std::u16string& v) { SetValue("Abstract", v); }
  std::u16string Bibliography() const { return ValueAsWideText("Bibliography"); }
  void SetBibliography(const std::u16string& v) { SetValue("Bibliography", v); }
  std::string Track() const { return ValueAsText("Track"); }
  void SetTrack(const std::string& v) { SetValue("Track", v); }
  std::u16string Title() const { return ValueAsWideText("Title"); }
  void SetTitle(const std::u16string& v) { SetValue("Title", v); }
  std::u16string SubTitle() const { return ValueAsWideText("Subtitle"); }
  void SetSubTitle(const std::u16string& v) { SetValue("Subtitle", v); }
  std::u16string Comment() const { return ValueAsWideText("Comment"); }
  void SetComment(const std::u16string& v) { SetValue("Comment", v); }
};
