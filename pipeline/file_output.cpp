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
  OwnedStream = std::make_unique<TAuFileStream>(WideFileName, mode);
  Stream = OwnedStream.get();
}

void TAuFileOut::CloseStream() {
  if (StreamAssigned) return;
  Stream = nullptr;
  OwnedStream.reset();
}
