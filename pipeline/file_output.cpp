// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/file_output.h"

#include "pipeline/au_file_stream.h"

void TAuStreamedOutput::SetStream(TAuStream* stream) {
  Stream = stream;
  StreamAssigned = stream != nullptr;
}

void TAuFileOut::SetFileMode(TFileOutputMode mode) {
  (void)mode;
  FFileMode = foRewrite;
}

void TAuFileOut::CreateStream() {
  OpenStream(fmCreate);
}

void TAuFileOut::OpenStream(uint16_t mode) {
  if (StreamAssigned) return;
  FOwnedStream = std::make_unique<TAuFileStream>(WideFileName, mode);
  Stream = FOwnedStream.get();
}

void TAuFileOut::CloseStream() {
  if (StreamAssigned) return;
  Stream = nullptr;
  FOwnedStream.reset();
}
