// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/media/wma_out.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "pipeline/au_exception.h"
#include "tags/tag_text.h"

namespace {

// The runtime's failure, with the file's reason for a failed write (a full disk) where known.
EAuException OutputError(const std::string& reason) {
  return EAuException("Windows Media output error" + (reason.empty() ? "" : ": " + reason));
}

}  // namespace

struct TWMAOut::TRunState {
  TWmaWriter Writer;
  std::vector<uint8_t> Block;
  bool EndOfInput = false;
  bool ReadStarted = false;  // the source's read is ours to end
  bool CreatedFile = false;  // this run created the output file
};

TWMAOut::TWMAOut() {
  wma_codec_names(FCodecNames);
}

TWMAOut::~TWMAOut() {
  Shutdown();
}

const std::vector<std::string>& TWMAOut::FormatList(int32_t codecIndex) {
  FFormatList.clear();
  const auto codec = static_cast<uint16_t>(codecIndex);
  if (codec < FCodecNames.size()) wma_codec_formats(codec, VBR || Lossless, FFormatList);
  return FFormatList;
}

int TWMAOut::FormatCount(int32_t codecIndex) {
  return static_cast<int>(FormatList(codecIndex).size());
}

void TWMAOut::OnWriterError(void* owner, uint32_t) {
  static_cast<TWMAOut*>(owner)->FError = true;
}

void TWMAOut::OpenWriter(TWmaWriter& w) {
  wma_writer_open_file(w, WideFileName, this, OnWriterError);
}

void TWMAOut::PrepareOutput() {
  FRun = std::make_unique<TRunState>();
  Prepare(*FRun);
}

void TWMAOut::Prepare(TRunState& run) {
  if (!Streaming() && !StreamAssigned && WideFileName.empty())
    throw EAuException("File name is not assigned.");
  FError = false;
  // The source is opened before the output is created: it holds its file against writers,
  // so an output named like the source is refused instead of truncating it.
  Input()->StartRead();  // a failed start is undone by the source; only ours is ended
  run.ReadStarted = true;
  if (StreamAssigned)
    wma_writer_open_stream(run.Writer, *Stream, this, OnWriterError);
  else
    OpenWriter(run.Writer);
  if (!run.Writer.Ok) throw EAuException("Cannot create file");
  run.CreatedFile = !StreamAssigned && !Streaming();

  const int channels = Input()->Channels();
  const int bits = Input()->BitsPerSample();
  const int rate = Input()->SampleRate();
  ChooseFormat(channels, bits, rate);
  // 80 ms of 16-bit audio; never less than one frame.
  const int64_t frameBytes = std::max<int64_t>(1, int64_t{channels} * bits / 8);
  const int64_t blockBytes = int64_t{channels} * bits * rate / 100;
  run.Block.resize(static_cast<size_t>(std::max(blockBytes, frameBytes)));
  WriteAttributes();
  if (!wma_writer_begin(run.Writer))
    throw EAuException(
        "Filed to set data writer, possible reason: required WMA codec not installed.");
  run.Writer.TotalTime = 0;
  run.EndOfInput = false;
  FError = false;
}

void TWMAOut::ChooseFormat(int channels, int bits, int rate) {
  TWmaWriter& w = FRun->Writer;
  if (CodecIndex >= 0)
    wma_writer_use_format(w, channels, bits, rate, VBR || Lossless, CodecIndex, FormatIndex);
  else if (VBR)
    wma_writer_use_nearest(w, channels, bits, VBRQuality, true, Lossless, rate);
  else
    wma_writer_use_nearest(w, channels, bits, DesiredBitrate, false, Lossless, rate);
}

void TWMAOut::WriteAttributes() {
  const TId3v2Tags& tags = Id3v2Tags();
  TWmaWriter& w = FRun->Writer;
  const auto put = [&w](const char* name, const std::u16string& text) {
    if (!text.empty()) wma_writer_set_attribute(w, name, text);
  };
  put("Author", tags.Artist());
  put("WM/AlbumTitle", tags.Album());
  put("WM/Genre", tags.Genre());
  put("WM/Year", tag_text::AnsiToWide(tags.Year()));
  put("WM/Track", tag_text::AnsiToWide(tags.Track()));
  put("Title", tags.Title());
  put("Copyright", tags.Copyright());
  put("Description", tags.Comment());
}

bool TWMAOut::WriteBlock(bool Abort) {
  if (FError) {
    const std::string reason =
        FRun && FRun->Writer.FileSink ? FRun->Writer.FileSink->WriteError() : std::string();
    throw OutputError(reason);
  }
  if (!Active) return true;
  if (Abort || !FRun || FRun->EndOfInput) return false;
  TRunState& run = *FRun;
  bool endOfData = false;
  const uint32_t got =
      Input()->ReadFull(run.Block.data(), static_cast<uint32_t>(run.Block.size()), endOfData);
  run.EndOfInput = endOfData;
  // Handed over even when empty: the runtime sees where the data ended.
  wma_writer_write(run.Writer, run.Block.data(), got);
  return true;
}

void TWMAOut::FinishOutput() {
  std::unique_ptr<TRunState> run = std::move(FRun);
  if (!run) return;
  if (run->ReadStarted && Input() != nullptr) Input()->EndRead();
  std::string reason;
  const bool completed = wma_writer_close(run->Writer, &reason) && !FError;
  const bool failed = RunFailed() || !completed;
  if (failed && run->CreatedFile) {
    std::error_code ignored;
    std::filesystem::remove(WideFileName, ignored);
  }
  if (!RunFailed() && !completed) throw OutputError(reason);
}

uint64_t TWMAOut::WrittenTime() const {
  return FRun ? FRun->Writer.TotalTime : 0;
}
