// SPDX-License-Identifier: GPL-3.0-or-later
// The segment cut window as a user drives it: the list and its messages, and whole batches
// that remove two stretches from WAV, MP3 and WMA files.

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "app/detail_view.h"
#include "app/easy_cut_window.h"
#include "cutting/time/time_text.h"
#include "window_fixture.h"

using namespace test_support;

namespace {

const QString kCaption = "Segment Cut";

TClickSound Sound(double seconds, std::vector<int64_t> clicks = {}, int rate = 44100) {
  return {rate, 2, static_cast<int64_t>(seconds * rate), std::move(clicks)};
}

// The shown window; its data folder is the scratch folder's "data", which a batch must not
// write to.
class EasyCutTest : public TShownWindowTest<TfrmEasyCut> {
 protected:
  void Open(const std::string& name) { ChooseThrough(Window->bOpen, name); }
  void Add(const QString& start, const QString& end) {
    Window->eStart->setText(start);
    Window->eEnd->setText(end);
    QTest::mouseClick(Window->bAdd, Qt::LeftButton);
  }
  // The rows as "start-end" texts, and the selected one marked with '*'.
  QStringList Rows() const {
    QStringList rows;
    const auto selected = Window->lvMain->selectionModel()->selectedRows();
    for (int row = 0; row < Window->lvMain->rowCount(); ++row) {
      QString text =
          Window->lvMain->item(row, 0)->text() + "-" + Window->lvMain->item(row, 1)->text();
      if (!selected.isEmpty() && selected.first().row() == row) text += "*";
      rows << text;
    }
    return rows;
  }
  // Presses Start Now and returns the text of what opened: a message, or "" for the save
  // dialog, which is answered with `target` (cancelled when empty).
  QString Start(const QString& target = {}) {
    QString shown = "(none)";
    WhenModal([&shown, target](QWidget* modal) {
      const bool dialog = qobject_cast<QFileDialog*>(modal) != nullptr;
      shown = dialog ? QString() : MessageText(modal);
      if (dialog && !target.isEmpty()) return EnterFileName(modal, target);
      modal->close();
    });
    QTest::mouseClick(Window->bStart, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown != "(none)"; }, 20000));
    return shown;
  }
  bool WaitForBatch() {
    return QTest::qWaitFor([this] { return !Window->Running(); }, 120000);
  }
  void ExpectIdle() {
    EXPECT_EQ(Window->windowTitle(), kCaption);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(Window->Running());
    EXPECT_FALSE(std::filesystem::exists(Folder / "data")) << "work files written";
  }
  // The captions of one batch: its percentages rising from 0, then the base caption.
  void ExpectPercentCaptions() {
    ASSERT_GE(Captions.size(), 2);
    EXPECT_EQ(Captions.last(), kCaption);
    int last = -1;
    for (qsizetype i = 0; i + 1 < Captions.size(); ++i) {
      const QString prefix = kCaption + " - Cutting ... ";
      ASSERT_TRUE(Captions[i].startsWith(prefix) && Captions[i].endsWith('%'))
          << Captions[i].toStdString();
      const int percent = Captions[i].mid(prefix.size()).chopped(1).toInt();
      EXPECT_TRUE(percent >= last && percent <= 100) << Captions[i].toStdString();
      last = percent;
    }
  }
};

TEST_F(EasyCutTest, AddingRowsChecksTheTimesAgainstEachOtherAndTheFile) {
  WriteClickWave(Folder / "in.wav", Sound(10.0, {}, 8000));
  Open("in.wav");
  EXPECT_EQ(Window->lFileTime->text(), "00:00:10.0");
  const struct {
    QString Start, End, Message;
  } cases[] = {
      {"00:00:05.0", "00:00:05.0", "Please make sure the start time not same as the end time"},
      {"00:00:06.0", "00:00:05.0",
       "Please make sure the start time should be smaller than the end time"},
      {"00:00:05.0", "00:00:10.1",
       "Please make sure the end time should be smaller than the total time"},
      {"00:00:0a.0", "00:00:05.0", "Please make sure the time format is 00:00:00.0"},
      {"00:00:01.0", "00:00:02.0", {}},
      {"0:0:1.0", "00:00:03.0", {}},     // the same start, written out in full: ignored
      {"00:00:08.0", "00:00:10.0", {}},  // an end at the file's length is accepted
  };
  for (const auto& c : cases) {
    SCOPED_TRACE((c.Start + " " + c.End).toStdString());
    TMessageLog messages;
    Add(c.Start, c.End);
    QTest::qWait(10);
    EXPECT_EQ(messages.Texts().join('|').toStdString(), c.Message.toStdString());
  }
  EXPECT_EQ(Rows(), (QStringList{"00:00:01.0-00:00:02.0", "00:00:08.0-00:00:10.0*"}));
}

TEST_F(EasyCutTest, TheListIsEditedWithTheButtonsTheirStatesFollowingTheSelection) {
  WriteClickWave(Folder / "in.wav", Sound(10.0, {}, 8000));
  Open("in.wav");
  const QString a = "00:00:01.0-00:00:02.0", b = "00:00:03.0-00:00:04.0",
                c = "00:00:05.0-00:00:06.0";
  const struct {
    int Select;
    QPushButton* TfrmEasyCut::*Button;
    bool Enabled;  // the button's state before the click
    QStringList After;
  } cases[] = {
      {2, &TfrmEasyCut::bRemove, true, {a + "*", b}},  // removing the last selects the first
      {1, &TfrmEasyCut::bRemove, true, {a, c + "*"}},
      {0, &TfrmEasyCut::bUP, false, {a + "*", b, c}},
      {0, &TfrmEasyCut::bDown, true, {b, a + "*", c}},
      {2, &TfrmEasyCut::bDown, false, {a, b, c + "*"}},
      {2, &TfrmEasyCut::bUP, true, {a, c + "*", b}},
      {1, &TfrmEasyCut::bRemoveAll, true, {}},
  };
  for (const auto& step : cases) {
    SCOPED_TRACE(step.After.join(' ').toStdString());
    Window->bRemoveAll->click();
    EXPECT_FALSE(Window->bStart->isEnabled());
    EXPECT_FALSE(Window->bRemove->isEnabled());
    Add("00:00:01.0", "00:00:02.0");
    Add("00:00:03.0", "00:00:04.0");
    Add("00:00:05.0", "00:00:06.0");
    EXPECT_TRUE(Window->bStart->isEnabled());
    QTest::mouseClick(
        Window->lvMain->viewport(), Qt::LeftButton, {},
        Window->lvMain->visualItemRect(Window->lvMain->item(step.Select, 0)).center());
    QPushButton* button = Window.get()->*step.Button;
    EXPECT_EQ(button->isEnabled(), step.Enabled);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(Rows(), step.After);
  }
  EXPECT_FALSE(Window->bStart->isEnabled());
}

TEST_F(EasyCutTest, StartRefusesBadListsBeforeAskingForTheTarget) {
  WriteClickWave(Folder / "in.wav", Sound(40.0, {}, 8000));
  WriteClickWave(Folder / "gone.wav", Sound(40.0, {}, 8000));
  const struct {
    const char* Input;
    std::vector<std::pair<QString, QString>> Rows;
    QString Message;  // empty: the save dialog opens (and is cancelled)
  } cases[] = {
      {"in.wav",
       {{"00:00:10.0", "00:00:20.0"}, {"00:00:15.0", "00:00:30.0"}},
       "Please make sure that the list of data in sequence!"},
      {"in.wav",
       {{"00:00:20.0", "00:00:30.0"}, {"00:00:10.0", "00:00:15.0"}},
       "Please make sure that the list of data in sequence!"},
      {"in.wav", {{"00:00:10.0", "00:00:20.0"}, {"00:00:20.0", "00:00:30.0"}}, {}},  // touching
      {"in.wav",
       {{"00:00:00.0", "00:00:40.0"}},
       "The list removes the whole file: nothing would be left to save. "
       "Please shorten or remove a row."},
      {"gone.wav", {{"00:00:10.0", "00:00:20.0"}}, "Please open a sound file fristly."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Message.toStdString());
    Open(c.Input);
    Window->bRemoveAll->click();
    for (const auto& [start, end] : c.Rows) Add(start, end);
    if (std::string(c.Input) == "gone.wav") std::filesystem::remove(Folder / c.Input);
    EXPECT_EQ(Start(), c.Message);
    ExpectIdle();
  }
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"in.wav"}));
}

TEST_F(EasyCutTest, TheInputItselfIsRefusedAsTheTarget) {
  WriteClickWave(Folder / "in.wav", Sound(10.0, {}, 8000));
  const auto before = ReadBytes(Folder / "in.wav");
  Open("in.wav");
  Add("00:00:02.0", "00:00:04.0");
  TMessageLog messages;
  EXPECT_EQ(Start(File("in.wav")), QString());
  ASSERT_TRUE(messages.WaitFor(1));
  EXPECT_TRUE(messages.Texts().first().startsWith("The result cannot be saved over the file"));
  EXPECT_EQ(ReadBytes(Folder / "in.wav"), before);
  ExpectIdle();
}

// Clicks at 1.0 s, 3.0 s (removed), 5.0 s and 8.5 s of a 10-second file; the rows remove
// 2.0-4.0 s and 7.0-7.5 s, each widened by 0.1 s: three pieces read in one pass.
int64_t Frame(int64_t ms) {
  return (ms * 44100 + 500) / 1000;
}

TEST_F(EasyCutTest, ABatchKeepsThePiecesBetweenTheRowsWithTheInputsTagsAndBitRate) {
  const struct {
    const char* Extension;
    int Rate;           // of the file written (Opus is always 48 kHz)
    int64_t Tolerance;  // frames: the length and the clicks' places
  } cases[] = {{".wav", 44100, 0},
               {".mp3", 44100, 0},
               {".wma", 44100, 2048},
               {".flac", 44100, 0},
               {".opus", 48000, 0},
               {".m4a", 44100, 1024}};  // FFmpeg decodes an AAC to its last packet's end
  const std::vector<int64_t> clicks = {Frame(1000), Frame(3000), Frame(5000), Frame(8500)};
  for (const auto& c : cases) {
    const std::string in = std::string("in") + c.Extension, out = std::string("out") + c.Extension;
    SCOPED_TRACE(in);
    const auto at = [&c](int64_t ms) { return (ms * c.Rate + 500) / 1000; };
    WriteClickFile(Folder / in, Sound(10.0, clicks), {{"title", "Segments"}, {"artist", "Cutter"}});
    Open(in);
    Window->bRemoveAll->click();
    Add("00:00:02.0", "00:00:04.0");
    Add("00:00:07.0", "00:00:07.5");
    Captions.clear();
    EXPECT_EQ(Start(File(out)), QString());
    ASSERT_TRUE(WaitForBatch());
    ExpectIdle();
    ExpectPercentCaptions();
    EXPECT_EQ(Window->findChild<QLabel*>("lDone")->text(),
              "Wrote " + QString::fromStdString(out) + " (2 stretches removed, 3 pieces kept)");

    const int64_t total = static_cast<int64_t>(DecodeS16(Folder / in).size()) / 2;
    const int64_t piece1 = at(1900) + 1, piece2 = at(6900) - at(4100) + 1;
    const auto decoded = DecodeS16(Folder / out);
    EXPECT_NEAR(static_cast<int64_t>(decoded.size()) / 2, piece1 + piece2 + total - at(7600),
                c.Tolerance);
    const std::vector<int64_t> expected = {at(1000), piece1 + at(5000) - at(4100),
                                           piece1 + piece2 + at(8500) - at(7600)};
    const auto found = FindClicks(decoded, 2);
    ASSERT_EQ(found.size(), expected.size());
    for (size_t i = 0; i < found.size(); ++i)
      EXPECT_NEAR(found[i], expected[i], std::max<int64_t>(c.Tolerance, 2)) << "click " << i;
    if (std::string(c.Extension) == ".wav") continue;
    const std::string tags = std::string(c.Extension) == ".opus" ? "stream_tags" : "format_tags";
    EXPECT_EQ(Probe(Folder / out, tags + "=title"), "Segments");
    EXPECT_EQ(Probe(Folder / out, tags + "=artist"), "Cutter");
    if (std::string(c.Extension) == ".flac" || std::string(c.Extension) == ".opus" ||
        std::string(c.Extension) == ".m4a")
      continue;
    const double kbps = std::atof(Probe(Folder / out, "stream=bit_rate").c_str()) / 1000;
    EXPECT_NEAR(kbps, 128, 4);
  }
  EXPECT_EQ(Folder.Names(),
            (std::vector<std::string>{"in.flac", "in.m4a", "in.mp3", "in.opus", "in.wav", "in.wma",
                                      "out.flac", "out.m4a", "out.mp3", "out.opus", "out.wav",
                                      "out.wma"}));
}

// With "Keep the frames" ticked, the pieces' frames are copied: an MP3 output holds the
// source's bytes, its joins land within half a frame each (a FLAC's exactly), and the
// clicks stay where the pieces put them.
TEST_F(EasyCutTest, KeepingTheFramesCopiesThePiecesAndBridgesTheJoins) {
  const std::vector<int64_t> clicks = {Frame(1000), Frame(3000), Frame(5000), Frame(8500)};
  auto* box = Window->findChild<QCheckBox*>("cbKeepFrames");
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(box->isEnabled());
  // A WAV loses nothing anyway.
  WriteClickFile(Folder / "in.wav", Sound(1.0));
  Open("in.wav");
  EXPECT_FALSE(box->isEnabled());
  for (const auto& [extension, slack] : {std::pair{".mp3", 576}, std::pair{".flac", 0}}) {
    const std::string in = std::string("in") + extension, out = std::string("out") + extension;
    SCOPED_TRACE(in);
    WriteClickFile(Folder / in, Sound(10.0, clicks));
    Open(in);
    ASSERT_TRUE(box->isEnabled());
    if (!box->isChecked()) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    ASSERT_TRUE(box->isChecked());
    Window->bRemoveAll->click();
    Add("00:00:02.0", "00:00:04.0");
    Add("00:00:07.0", "00:00:07.5");
    EXPECT_EQ(Start(File(out)), QString());
    EXPECT_FALSE(box->isEnabled());
    ASSERT_TRUE(WaitForBatch());
    ExpectIdle();
    EXPECT_TRUE(box->isEnabled());

    const int64_t total = static_cast<int64_t>(DecodeS16(Folder / in).size()) / 2;
    const int64_t piece1 = Frame(1900) + 1, piece2 = Frame(6900) - Frame(4100) + 1;
    const auto decoded = DecodeS16(Folder / out);
    EXPECT_NEAR(static_cast<int64_t>(decoded.size()) / 2, piece1 + piece2 + total - Frame(7600),
                2 * slack);
    const std::vector<int64_t> expected = {Frame(1000), piece1 + Frame(5000) - Frame(4100),
                                           piece1 + piece2 + Frame(8500) - Frame(7600)};
    const auto found = FindClicks(decoded, 2);
    ASSERT_EQ(found.size(), expected.size());
    for (size_t i = 0; i < found.size(); ++i)
      EXPECT_NEAR(found[i], expected[i], std::max<int64_t>(2, slack * static_cast<int64_t>(i)))
          << "click " << i;
    // The FLAC frames of a click file are a few bytes each, and each is renumbered.
    if (slack == 0) continue;
    for (const double fraction : {0.1, 0.5, 0.9})
      EXPECT_TRUE(HoldsBytesOf(Folder / out, Folder / in, fraction)) << fraction;
  }
}

TEST_F(EasyCutTest, ARowFromTheStartLeavesOnePieceWrittenStraightIntoTheOutput) {
  WriteClickWave(Folder / "in.wav", Sound(10.0, {}, 8000));
  Open("in.wav");
  Add("00:00:00.0", "00:00:04.0");
  EXPECT_EQ(Start(File("out.wav")), QString());
  ASSERT_TRUE(WaitForBatch());
  ExpectIdle();
  ExpectPercentCaptions();
  EXPECT_EQ(DecodeS16(Folder / "out.wav").size() / 2, 80000u - 32800u);
}

// The input spoilt after it was opened fails the first run's start; the target's folder
// removed once the batch is under way (the next run starts only from the event loop) fails
// the last run.
TEST_F(EasyCutTest, AFailedRunEndsTheBatchSayingWhyAndLeavesNoOutput) {
  for (const bool early : {true, false}) {
    SCOPED_TRACE(early ? "spoilt input" : "target folder gone");
    std::filesystem::create_directory(Folder / "sub");
    WriteClickWave(Folder / "in.wav", Sound(10.0, {}, 8000));
    Open("in.wav");
    Window->bRemoveAll->click();
    Add("00:00:02.0", "00:00:04.0");
    Add("00:00:06.0", "00:00:07.0");
    if (early) WriteBytes(Folder / "in.wav", {'R', 'I', 'F', 'F', 0, 0});
    TMessageLog messages;
    EXPECT_EQ(Start(File("sub/out.wav")), QString());
    if (!early) std::filesystem::remove_all(Folder / "sub");
    ASSERT_TRUE(WaitForBatch());
    ASSERT_TRUE(messages.WaitFor(1));
    EXPECT_TRUE(messages.Texts().first().startsWith("The segment cut failed: "))
        << messages.Texts().first().toStdString();
    ExpectIdle();
    EXPECT_TRUE(Window->bStart->isEnabled());
    std::filesystem::remove_all(Folder / "sub");
    EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"in.wav"}));
  }
}

TEST_F(EasyCutTest, ClosingDuringABatchAsksAndYesStopsItLeavingNothing) {
  WriteClickFile(Folder / "in.mp3", Sound(240.0));
  Open("in.mp3");
  Add("00:00:10.0", "00:00:20.0");
  Add("00:01:00.0", "00:01:10.0");
  EXPECT_EQ(Start(File("out.mp3")), QString());
  ASSERT_TRUE(Window->Running());
  EXPECT_FALSE(Window->bStart->isEnabled());
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(CloseAndStop(Window->bClose), "The segment cut is still running. Stop it and close?");
  EXPECT_FALSE(Window->isVisible());
  ExpectIdle();
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"in.mp3"}));
}

TEST_F(EasyCutTest, StopEndsABatchLeavingNothingAndTheWindowOpen) {
  WriteClickFile(Folder / "in.mp3", Sound(240.0));
  Open("in.mp3");
  Add("00:00:10.0", "00:00:20.0");
  EXPECT_FALSE(Window->bStopCut->isVisible());
  EXPECT_EQ(Start(File("out.mp3")), QString());
  ASSERT_TRUE(Window->Running());
  ASSERT_TRUE(Window->bStopCut->isVisible());
  QTest::mouseClick(Window->bStopCut, Qt::LeftButton);
  EXPECT_FALSE(Window->Running());
  EXPECT_FALSE(Window->bStopCut->isVisible());
  EXPECT_TRUE(Window->isVisible());
  ExpectIdle();
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"in.mp3"}));
}

// Alt+A adds the typed row although "Remove &All" bears the letter too; a double click on a
// row takes its times back into the edits and selects it in the waveform of the enlarged
// window, where the listed rows are tinted and a drag fills the edits.
TEST_F(EasyCutTest, AltAAddsTheTypedRowAndADoubleClickTakesARowBack) {
  WriteClickWave(Folder / "in.wav", Sound(10.0));
  Open("in.wav");
  EXPECT_FALSE(Window->dvWave->isVisible());
  Window->resize(Window->width() + 200, Window->height() + 300);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Window->dvWave->isVisible(); }));
  Add("00:00:01.0", "00:00:02.0");
  Window->eStart->setText("00:00:05.0");
  Window->eEnd->setText("00:00:06.125");
  QApplication::setActiveWindow(Window.get());  // the open dialog left none active
  ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
  Window->eEnd->setFocus();
  QTest::keyClick(Window->eEnd, Qt::Key_A, Qt::AltModifier);
  EXPECT_EQ(Rows(), (QStringList{"00:00:01.0-00:00:02.0", "00:00:05.0-00:00:06.125*"}));
  const QRect first = Window->lvMain->visualItemRect(Window->lvMain->item(0, 0));
  // As a real double click comes: a click, then a press that is the double click.
  QTest::mouseClick(Window->lvMain->viewport(), Qt::LeftButton, {}, first.center());
  QTest::mouseDClick(Window->lvMain->viewport(), Qt::LeftButton, {}, first.center());
  EXPECT_EQ(Window->eStart->text() + "-" + Window->eEnd->text(), "00:00:01.0-00:00:02.0");
  EXPECT_EQ(Rows().first(), "00:00:01.0-00:00:02.0*");
  using TStretches = std::vector<std::pair<int32_t, int32_t>>;
  EXPECT_EQ(Window->dvWave->Marked(), (TStretches{{1000, 2000}, {5000, 6125}}));
  EXPECT_EQ(Window->dvWave->Selection(), std::make_pair(1000, 2000));
  const int y = Window->dvWave->WaveArea().center().y();
  Drag(Window->dvWave, {Window->dvWave->XOf(7000), y}, {Window->dvWave->XOf(8000), y});
  const double pixel = Window->dvWave->MsPerPixel();
  EXPECT_NEAR(TimeTextToMs(Window->eStart->text().toStdString()), 7000, pixel);
  EXPECT_NEAR(TimeTextToMs(Window->eEnd->text().toStdString()), 8000, pixel);
}

TEST_F(WindowTest, TheSegmentCutButtonOpensTheWindowOverTheMainWindow) {
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(Folder.Path().string()));
  QString opened;
  WhenModal([&opened](QWidget* modal) {
    opened = modal->windowTitle();
    modal->close();
  });
  QTest::mouseClick(Window->bEasyCut, Qt::LeftButton);
  EXPECT_EQ(opened, kCaption);
  qunsetenv("XDG_DATA_HOME");
}

}  // namespace
