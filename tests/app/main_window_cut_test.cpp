// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <cmath>

#include "cutting/time/sample_frames.h"
#include "cutting/time/time_text.h"
#include "file_size_limit.h"
#include "window_fixture.h"

using namespace test_support;

namespace {

constexpr int kRate = 44100;

int64_t Frame(double seconds) {
  return static_cast<int64_t>(seconds * kRate + 0.5);
}

struct TFormat {
  const char* Extension;
  int64_t Tolerance;  // frames a click or the length may move: 0 for WAV, a codec frame for WMA
  bool Tags;
};

// One selection of a 6.3-second source with clicks, and where the clicks and the end must
// come out.
struct TSelection {
  const char* Name;
  bool ByThumbs;
  int L, U;                     // thumbs, in half seconds
  QStringList Typed;            // or times typed one after the other: start, end, start, end
  std::vector<int64_t> Clicks;  // in the source
  std::vector<int64_t> Out;     // expected in the output
  int64_t Frames;               // expected length of the output
  QString Size;                 // "Splitted File Size"
};

const TSelection kSelections[] = {
    // The start thumb at 2 (00:00:01.0) and the end thumb at the end: everything after 1.0 s.
    {"thumbs",
     true,
     2,
     12,
     {},
     {Frame(1.2), Frame(3.0), Frame(6.2)},
     {Frame(0.2), Frame(2.0), Frame(5.2)},
     Frame(6.3) - Frame(1.0),
     "00:00:05.3"},
    // Times typed finer than the thumbs: 1.8 and 4.8 put them at 2.0 and 5.0, while the edits,
    // the size and the cut keep what was typed. The end is inclusive of the frame at its time.
    {"typed",
     false,
     0,
     0,
     {"00:00:01.5", "00:00:04.5", "00:00:01.8", "00:00:04.8"},
     {Frame(1.9), Frame(3.0), Frame(4.7)},
     {Frame(1.9) - Frame(1.8), Frame(3.0) - Frame(1.8), Frame(4.7) - Frame(1.8)},
     Frame(3.0) + 1,
     "00:00:03.0"},
};

const TFormat kFormats[] = {{".wav", 0, false}, {".mp3", 2, true}, {".wma", 2048, true}};

class WindowCut : public WindowTest {
 protected:
  void Select(const TSelection& s) {
    if (s.ByThumbs) {
      Window->tbAudio->SetPositionU(s.U);
      Window->tbAudio->SetPositionL(s.L);
    } else {
      for (int i = 0; i < s.Typed.size(); ++i)
        Type(i % 2 == 0 ? Window->eStart : Window->eEnd, s.Typed[i]);
      EXPECT_EQ(Window->eStart->text(), s.Typed[s.Typed.size() - 2]);
      EXPECT_EQ(Window->eEnd->text(), s.Typed.last());
      EXPECT_EQ(Window->tbAudio->PositionL(), 4);
      EXPECT_EQ(Window->tbAudio->PositionU(), 10);
    }
    EXPECT_EQ(Window->lFileTime->text(), s.Size);
  }
};

// "Keep the frames" copies the source's frames: FFmpeg decodes the cut to exactly the samples
// it decodes from the source over the typed times. The box is remembered, and it is off for
// a kind whose frames are not copied.
TEST_F(WindowCut, KeepingTheFramesCutsTheTypedTimesExactly) {
  TMessageLog messages;
  WriteClickFile(Folder / "src.wav", {kRate, 2, Frame(2.0), {}});
  Window->OpenFile(File("src.wav"));
  EXPECT_FALSE(Window->cbKeepFrames->isEnabled());
  for (const std::string kind : {".mp3", ".flac", ".m4a"}) {
    SCOPED_TRACE(kind);
    const std::string source = "src" + kind, out = "out" + kind;
    WriteClickFile(Folder / source, {kRate, 2, Frame(6.3), {Frame(1.9), Frame(3.0)}},
                   {{"title", "Kept Frames"}});
    Window->OpenFile(File(source));
    ASSERT_TRUE(Window->cbKeepFrames->isEnabled());
    if (!Window->cbKeepFrames->isChecked()) {
      EXPECT_EQ(kind, ".mp3") << "re-encoding stays the default";
      QTest::mouseClick(Window->cbKeepFrames, Qt::LeftButton);
    }
    ASSERT_TRUE(Window->cbKeepFrames->isChecked());
    Type(Window->eStart, "00:00:01.8");
    Type(Window->eEnd, "00:00:04.8");
    StartCut(File(out));
    ASSERT_TRUE(WaitForCut());

    const std::vector<int16_t> whole = DecodeS16(Folder / source);
    const std::vector<int16_t> expected(whole.begin() + Frame(1.8) * 2,
                                        whole.begin() + (Frame(4.8) + 1) * 2);
    std::vector<int16_t> decoded = DecodeS16(Folder / out);
    if (kind == ".m4a") {
      // FFmpeg starts an AAC where its edit list says and plays on to the end of the last
      // packet; the first packet kept decodes without the one before it.
      ASSERT_GE(decoded.size(), expected.size());
      EXPECT_LE(decoded.size(), expected.size() + 1023 * 2);
      decoded.resize(expected.size());
      for (size_t i = 0; i < 2048 * 2; ++i) decoded[i] = expected[i];
    }
    EXPECT_TRUE(decoded == expected);
    EXPECT_EQ(Probe(Folder / out, "format_tags=title"), "Kept Frames");
  }
  Window = std::make_unique<TfrmMain>();
  EXPECT_TRUE(Window->cbKeepFrames->isChecked());
}

// A fade-in starts the cut silent and rises to the source's level; the fields are off while
// the MP3 frames are kept, the done line names the fade, and a new window starts without one
// so that no fade is applied unseen.
TEST_F(WindowCut, AFadeInStartsTheCutSilentAndRamps) {
  TMessageLog messages;
  TClickSound sound{kRate, 2, Frame(3.0), {}};
  sound.Tones = {{0, Frame(3.0), 441, 8000}};
  WriteClickWave(Folder / "tone.wav", sound);
  WriteClickFile(Folder / "tone.mp3", {kRate, 2, Frame(1.0), {}});
  Window->OpenFile(File("tone.mp3"));
  QTest::mouseClick(Window->cbKeepFrames, Qt::LeftButton);
  EXPECT_FALSE(Window->seFadeIn->isEnabled());
  QTest::mouseClick(Window->cbKeepFrames, Qt::LeftButton);
  EXPECT_TRUE(Window->seFadeIn->isEnabled());

  Window->OpenFile(File("tone.wav"));
  Focus(Window->seFadeIn);
  Window->seFadeIn->selectAll();
  QTest::keyClicks(Window->seFadeIn, "100");
  ASSERT_EQ(Window->seFadeIn->value(), 100);
  // Not on a zero crossing of the tone, so that only the fade can make the first frame silent.
  Type(Window->eStart, "00:00:01.050");
  StartCut(File("faded.wav"));
  ASSERT_TRUE(WaitForCut());
  EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join('\n').toStdString();

  const std::vector<int16_t> source = DecodeS16(Folder / "tone.wav");
  const std::vector<int16_t> out = DecodeS16(Folder / "faded.wav");
  ASSERT_EQ(out.size(), source.size() - Frame(1.05) * 2);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);
  // The loudest sample of each tenth of the fade (a period of the tone each) rises.
  int previous = -1;
  for (int64_t tenth = 0; tenth < 10; ++tenth) {
    int loudest = 0;
    for (int64_t i = tenth * Frame(0.01) * 2; i < (tenth + 1) * Frame(0.01) * 2; ++i)
      loudest = std::max(loudest, std::abs(int{out[i]}));
    EXPECT_GT(loudest, previous) << tenth;
    EXPECT_LT(loudest, 8000) << tenth;
    previous = loudest;
  }
  // After the fade, the source's samples as they were.
  for (int64_t i = Frame(0.1) * 2; i < Frame(0.2) * 2; ++i)
    ASSERT_EQ(out[i], source[Frame(1.05) * 2 + i]) << i;

  EXPECT_EQ(Window->lDone->text(), "Wrote faded.wav (00:00:01.950, fade in 100 ms)");
  Window = std::make_unique<TfrmMain>();
  EXPECT_EQ(Window->seFadeIn->value(), 0);
  EXPECT_EQ(Window->seFadeOut->value(), 0);
}

TEST_F(WindowCut, EveryFormatCutsExactlyTheShownTimesWithItsTags) {
  TMessageLog messages;  // none expected; an error would otherwise wait for an answer
  for (const TFormat& format : kFormats) {
    for (const TSelection& s : kSelections) {
      SCOPED_TRACE(std::string(format.Extension) + " by " + s.Name);
      const std::string source = std::string("src_") + s.Name + format.Extension;
      const std::string target = std::string("out_") + s.Name + format.Extension;
      WriteClickFile(Folder / source, {kRate, 2, Frame(6.3), s.Clicks},
                     {{"title", "Click Track"}, {"artist", "Trimora Tests"}});
      Window->OpenFile(File(source));
      ASSERT_EQ(Window->tbAudio->Max(), 12);
      Select(s);

      QStringList captions;
      auto watch = QObject::connect(Window.get(), &QWidget::windowTitleChanged,
                                    [&](const QString& title) { captions << title; });
      StartCut(File(target));
      EXPECT_FALSE(Window->bStartCut->isEnabled());
      ASSERT_TRUE(WaitForCut());
      QObject::disconnect(watch);
      // The designed caption whole while the cut runs; the file's name only while idle.
      EXPECT_EQ(Window->windowTitle(), "Quarvo Trimora - " + QString::fromStdString(source));
      EXPECT_TRUE(Window->bStartCut->isEnabled());
      ASSERT_FALSE(captions.isEmpty());
      for (const QString& shown : captions.mid(0, captions.size() - 1))
        EXPECT_TRUE(shown.startsWith("Quarvo Trimora - Cutting ... ") && shown.endsWith("%"))
            << shown.toStdString();
      EXPECT_EQ(Window->lDone->text(),
                "Wrote " + QString::fromStdString(target) + " (" +
                    QString::fromStdString(MsToPreciseTimeText(Window->Selection().SizeMs())) +
                    ")");

      const std::vector<int16_t> out = DecodeS16(Folder / target);
      const auto frames = static_cast<int64_t>(out.size() / 2);
      EXPECT_LE(std::llabs(frames - s.Frames), format.Tolerance) << frames << " vs " << s.Frames;
      const std::vector<int64_t> clicks = FindClicks(out, 2);
      ASSERT_EQ(clicks.size(), s.Out.size());
      for (size_t i = 0; i < clicks.size(); ++i)
        EXPECT_LE(std::llabs(clicks[i] - s.Out[i]), format.Tolerance)
            << "click " << i << " at " << clicks[i] << ", expected " << s.Out[i];
      if (format.Tags) {
        EXPECT_EQ(Probe(Folder / target, "format_tags=title"), "Click Track");
        EXPECT_EQ(Probe(Folder / target, "format_tags=artist"), "Trimora Tests");
      }
    }
  }
  EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join('\n').toStdString();
  // Only the sources and the cuts: no temporary file stays behind.
  EXPECT_EQ(Folder.Names().size(), 2 * std::size(kFormats) * std::size(kSelections));
}

TEST_F(WindowCut, AFailedCutSaysWhyAndLeavesTheOlderFileAsItWas) {
  WriteClickWave(Folder / "long.wav", {kRate, 2, Frame(3.0), {}});
  WriteBytes(Folder / "old.wav", {'o', 'l', 'd'});
  Window->OpenFile(File("long.wav"));
  TMessageLog messages;
  {
    TFileSizeLimit full;
    StartCut(File("old.wav"));  // the log answers the overwrite question with Yes
    ASSERT_TRUE(WaitForCut());
  }
  ASSERT_TRUE(messages.WaitFor(2));
  EXPECT_EQ(messages.Texts()[0], File("old.wav") + " has existed,overite it?");
  EXPECT_TRUE(messages.Texts()[1].startsWith("The cut could not be written: "))
      << messages.Texts()[1].toStdString();
  EXPECT_EQ(ReadBytes(Folder / "old.wav"), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"long.wav", "old.wav"}));
  EXPECT_EQ(Window->windowTitle(), "Quarvo Trimora - long.wav");
  EXPECT_TRUE(Window->bStartCut->isEnabled());
}

// A start typed to the millisecond is shown so, with the end in the same form, and the cut
// begins at its very frame.
TEST_F(WindowCut, ATimeTypedToTheMillisecondCutsFromItsFrame) {
  WriteClickWave(Folder / "src.wav", {kRate, 2, Frame(6.3), {Frame(2.0)}});
  Window->OpenFile(File("src.wav"));
  Type(Window->eStart, "00:00:01.234");
  Focus(Window->bOpen);
  EXPECT_EQ(Window->eStart->text(), "00:00:01.234");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Window->eEnd->text() == "00:00:06.300"; }))
      << "the row in one form, not " << Window->eEnd->text().toStdString();
  EXPECT_EQ(Window->lFileTime->text(), "00:00:05.066");
  EXPECT_EQ(Window->tbAudio->PositionL(), 2);
  StartCut(File("out.wav"));
  ASSERT_TRUE(WaitForCut());
  const std::vector<int16_t> out = DecodeS16(Folder / "out.wav");
  const int64_t start = std::llround(1.234 * kRate);
  EXPECT_EQ(static_cast<int64_t>(out.size() / 2), Frame(6.3) - start);
  EXPECT_EQ(FindClicks(out, 2), (std::vector<int64_t>{Frame(2.0) - start}));
}

// Stop ends a running cut at once: no output and no temporary file, the window idle again.
// While the cut runs Stop Cut stands in Start Cut's place and a progress bar shows, with
// every designed button where it was.
TEST_F(WindowCut, StopEndsARunningCutAndLeavesNothingBehind) {
  WriteClickFile(Folder / "long.mp3", {kRate, 2, Frame(120.0), {}});
  Window->OpenFile(File("long.mp3"));
  EXPECT_EQ(Window->windowTitle(), "Quarvo Trimora - long.mp3");
  EXPECT_FALSE(Window->bStopCut->isVisible());
  EXPECT_FALSE(Window->pbProgress->isVisible());
  const auto geometries = [&] {
    QList<QRect> all;
    for (QWidget* w : std::initializer_list<QWidget*>{
             Window->bOpen, Window->tbAudio, Window->eStart, Window->eEnd, Window->bPlay,
             Window->bPause, Window->bStop, Window->bMarkStart, Window->bMarkEnd,
             Window->bPlaySelection, Window->bStartCut, Window->bEasyCut, Window->bJoiner,
             Window->bAbout})
      all << w->geometry();
    return all;
  };
  const QList<QRect> idle = geometries();
  StartCut(File("cut.mp3"));
  ASSERT_TRUE(Window->Cutting());
  ASSERT_TRUE(Window->bStopCut->isVisible());
  QTest::qWait(0);
  EXPECT_EQ(geometries(), idle);
  EXPECT_EQ(Window->bStopCut->geometry(), Window->bStartCut->geometry());
  EXPECT_TRUE(Window->pbProgress->isVisible());
  QTest::mouseClick(Window->bStopCut, Qt::LeftButton);
  EXPECT_FALSE(Window->Cutting());
  EXPECT_FALSE(Window->bStopCut->isVisible());
  EXPECT_TRUE(Window->bStartCut->isEnabled());
  EXPECT_EQ(Window->windowTitle(), "Quarvo Trimora - long.mp3");
  QTest::qWait(100);  // a late event of the stopped run would show here
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"long.mp3"}));
}

// The close view zooms with Ctrl+wheel about the mouse, from the whole file down to a
// millisecond a pixel, and the bar tints what it shows; a drag in it selects to within a
// pixel, shown to the millisecond, and the cut writes exactly that stretch.
TEST_F(WindowCut, ADragInTheCloseViewIsCutExactly) {
  WriteClickWave(Folder / "src.wav", {kRate, 2, Frame(6.3), {Frame(0.5), Frame(4.0)}});
  Window->OpenFile(File("src.wav"));
  ASSERT_TRUE(ShowCloseView());
  TDetailView* view = Window->dvDetail;
  const int y = view->WaveArea().center().y();
  const double whole = view->MsPerPixel();
  EXPECT_EQ(view->FromMs(), 0);
  EXPECT_TRUE(Window->tbAudio->MarkedStretches().empty());

  const double under = view->MsAt(300);
  Wheel(view, {300, y}, 1, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->MsPerPixel(), whole / 2);
  EXPECT_NEAR(view->MsAt(300), under, 1e-6) << "the time under the mouse stays there";
  ASSERT_EQ(Window->tbAudio->MarkedStretches().size(), 1u);
  EXPECT_DOUBLE_EQ(Window->tbAudio->MarkedStretches()[0].From, view->FromMs() / 1000);
  Wheel(view, {300, y}, 20, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->MsPerPixel(), 1.0);
  const double from = view->FromMs();
  Wheel(view, {300, y}, -1);
  EXPECT_GT(view->FromMs(), from) << "the wheel alone scrolls";
  Wheel(view, {300, y}, -20, Qt::ControlModifier);
  EXPECT_EQ(view->FromMs(), 0);
  EXPECT_DOUBLE_EQ(view->MsPerPixel(), whole);

  Wheel(view, {0, y}, 2, Qt::ControlModifier);
  Drag(view, {123, y}, {517, y});
  const TSelectionModel& chosen = Window->Selection();
  EXPECT_LE(std::abs(chosen.StartMs() - view->MsAt(123)), view->MsPerPixel());
  EXPECT_LE(std::abs(chosen.EndMs() - view->MsAt(517)), view->MsPerPixel());
  ASSERT_TRUE(chosen.Precise());
  EXPECT_EQ(Window->eStart->text().toStdString(), MsToPreciseTimeText(chosen.StartMs()));
  EXPECT_EQ(Window->eEnd->text().toStdString(), MsToPreciseTimeText(chosen.EndMs()));

  StartCut(File("out.wav"));
  ASSERT_TRUE(WaitForCut());
  const auto frame = [](int32_t ms) { return MsToSampleFrame(ms, kRate); };
  const int64_t start = frame(chosen.StartMs());
  const std::vector<int16_t> out = DecodeS16(Folder / "out.wav");
  EXPECT_EQ(static_cast<int64_t>(out.size() / 2), frame(chosen.EndMs()) - start + 1);
  EXPECT_EQ(FindClicks(out, 2), (std::vector<int64_t>{Frame(0.5) - start}));
}

}  // namespace
