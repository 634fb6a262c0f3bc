// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/copying_file_out.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "pipeline/au_exception.h"

int TCopyingFileOut::Progress() const {
  const int64_t total = FBytesToCopy.load();
  if (total <= 0) return 0;
  const double done = static_cast<double>(FBytesCopied.load()) / static_cast<double>(total);
  return static_cast<int>(std::nearbyint(std::min(1.0, done) * 100));
}

TAuFileIn& TCopyingFileOut::CopiedSource(const std::string& refusal) {
  if (!StreamAssigned && WideFileName.empty()) throw EAuException("File name is not assigned.");
  auto* source = dynamic_cast<TAuFileIn*>(Input());
  if (source == nullptr || (dynamic_cast<TAuFileStream*>(source->CallerStream()) == nullptr &&
                            source->FileName().empty()))
    throw EAuException(refusal);
  return *source;
}

std::unique_ptr<TAuFileStream> TCopyingFileOut::OpenCopiedFile(TAuFileIn& source) {
  FSamplesKept = 0;
  FBytesCopied = 0;
  FBytesToCopy = 0;
  if (auto* held = dynamic_cast<TAuFileStream*>(source.CallerStream())) return held->Twin();
  return std::make_unique<TAuFileStream>(source.FileName(), fmOpenRead | fmShareDenyWrite);
}

void TCopyingFileOut::WriteCopied(const uint8_t* data, size_t count, const std::string& kind) {
  if (count == 0) return;
  int64_t written = 0;
  std::string reason = "the file took only part of the data";
  try {
    written = Stream->Write(data, static_cast<int64_t>(count));
  } catch (const EAuException& e) {
    written = -1;  // a full disk or a lost device: its reason goes with the message
    reason = e.what();
  }
  if (written < static_cast<int64_t>(count))
    throw EAuException("Error writing down " + kind + " file: " + reason);
}

void TCopyingFileOut::RewriteCopiedAt(int64_t offset, std::span<const uint8_t> bytes,
                                      const std::string& kind) {
  const int64_t end = Stream->Position();
  Stream->SetPosition(offset);
  WriteCopied(bytes.data(), bytes.size(), kind);
  Stream->SetPosition(end);
}

void TCopyingFileOut::RemoveCreatedFile(bool& created) {
  CloseStream();
  if (!created) return;
  created = false;
  std::error_code ignored;
  std::filesystem::remove(WideFileName, ignored);
}
