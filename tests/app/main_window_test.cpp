// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "app/easy_cut_window.h"
#include "app/joiner_window.h"
#include "app/split_window.h"
#include "cutting/time/time_text.h"
#include "pcm_kind.h"
#include "window_fixture.h"

using namespace test_support;

namespace {

const QString kTimeFormat = "Please make sure the time format is 00:00:00.0";
const QString kStartAfterEnd =
    "Please make sure the start time should be smaller than the end time";
const QString kPastTheEnd = "Please make sure the end time should be smaller than the total time";
const QString kOpenError = "Open file error. Please check whether the file is protected.";

TClickSound Sound(double seconds, int rate = 44100) {
  return {rate, 2, static_cast<int64_t>(seconds * rate), {}};
}

// A 10.3-second file: Max 20 half seconds, and all 10.3 s selected.
class OpenWindow : public WindowTest {
 protected:
  OpenWindow() {
    WriteClickWave(Folder / "song.wav", Sound(10.3));
    OpenByDialog(File("song.wav"));
  }
};

TEST_F(OpenWindow, ShowsTheWholeLengthAndSelectsAll) {
  EXPECT_EQ(Window->eOpenFile->text(), File("song.wav"));
  EXPECT_EQ(Window->tbAudio->Max(), 20);
  EXPECT_EQ(Window->tbAudio->PositionL(), 0);
  EXPECT_EQ(Window->tbAudio->PositionU(), 20);
  EXPECT_EQ(Window->eStart->text(), "00:00:00.0");
  EXPECT_EQ(Window->eEnd->text(), "00:00:10.3");
  EXPECT_EQ(Window->lFileTime->text(), "00:00:10.3");
  EXPECT_TRUE(Window->tbAudio->isEnabled());
  EXPECT_TRUE(Window->eStart->isEnabled());
  EXPECT_EQ(Window->windowTitle(), "Quarvo Trimora - song.wav");
}

// Segment Cut starts on the file open here with an empty list: the selection here is what a
// cut keeps, so it is listed as a stretch to remove only through its own button.
TEST_F(OpenWindow, SegmentCutOpensWithTheFileAndAnEmptyListOfferingTheSelection) {
  Type(Window->eStart, "00:00:02.5");
  Type(Window->eEnd, "00:00:04.125");
  Focus(Window->bOpen);
  QString file, before, after;
  const auto rows = [](TfrmEasyCut* easyCut) {
    QString text;
    for (int row = 0; row < easyCut->lvMain->rowCount(); ++row)
      text += easyCut->lvMain->item(row, 0)->text() + "-" + easyCut->lvMain->item(row, 1)->text();
    return text;
  };
  WhenModal([&](QWidget* modal) {
    auto* easyCut = qobject_cast<TfrmEasyCut*>(modal);
    ASSERT_NE(easyCut, nullptr);
    file = easyCut->eOpenFile->text();
    before = rows(easyCut);
    QTest::mouseClick(easyCut->bAddMain, Qt::LeftButton);
    after = rows(easyCut);
    easyCut->close();
  });
  QTest::mouseClick(Window->bEasyCut, Qt::LeftButton);
  EXPECT_EQ(file, File("song.wav"));
  EXPECT_EQ(before, "");
  EXPECT_EQ(after, "00:00:02.500-00:00:04.125");
}

// Enlarged, the window gives its room to the bar and its track; at its designed size the bar
// is as designed.
// The designed window has no close view; a taller one gives most of the room to it, and
// the rest, with the width, to the bar.
TEST_F(OpenWindow, AnEnlargedWindowGivesItsRoomToTheCloseViewAndTheBar) {
  const QSize designed = Window->size();
  const int barWidth = Window->tbAudio->width();
  EXPECT_EQ(Window->tbAudio->height(), 50);
  EXPECT_EQ(Window->tbAudio->TrackSize(), 10);
  EXPECT_GT(Window->tbAudio->ThumbRectL().height(), 10);
  EXPECT_FALSE(Window->dvDetail->isVisible());
  Window->resize(designed + QSize(300, 300));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Window->tbAudio->width() == barWidth + 300; }));
  EXPECT_TRUE(Window->dvDetail->isVisible());
  EXPECT_GT(Window->tbAudio->height(), 50);
  EXPECT_EQ(Window->tbAudio->TrackSize(), Window->tbAudio->height() - 40);
  EXPECT_GT(Window->tbAudio->ThumbRectL().height(), Window->tbAudio->TrackSize());
  EXPECT_GT(Window->dvDetail->height(), 2 * (Window->tbAudio->height() - 50));
  Window->resize(designed);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Window->tbAudio->height() == 50; }));
  EXPECT_EQ(Window->tbAudio->TrackSize(), 10);
  EXPECT_FALSE(Window->dvDetail->isVisible());
}

TEST_F(OpenWindow, TypedCompleteTimesMoveTheThumbsAndOthersDoNothing) {
  const struct {
    bool Start;
    QString End, Text;
    int L, U;
  } cases[] = {
      {true, "00:00:10.0", "00:00:05.0", 10, 20},
      {true, "00:00:10.0", "00:00:05", 0, 20},    // no tenths yet
      {true, "00:00:10.0", "0:0:3.0", 0, 20},     // not in the ten-character layout
      {true, "00:00:08.0", "00:00:09.0", 0, 16},  // not before the end
      {false, "00:00:10.0", "00:00:07.5", 0, 15},
      {false, "00:00:10.0", "00:00:20.0", 0, 20},  // past the end
      {false, "00:00:10.0", "00:00:07", 0, 20},
  };
  for (const auto& c : cases) {
    // Valid texts first, so that moving the focus between the edits raises no message.
    Window->eStart->setText("00:00:00.0");
    Window->eEnd->setText(c.End);
    Type(c.Start ? Window->eStart : Window->eEnd, c.Text);
    EXPECT_EQ(Window->tbAudio->PositionL(), c.L) << c.Text.toStdString();
    EXPECT_EQ(Window->tbAudio->PositionU(), c.U) << c.Text.toStdString();
  }
  Window->eStart->setText("00:00:00.0");
  Window->eEnd->setText("00:00:10.0");
}

TEST_F(OpenWindow, LeavingAnEditWithABadTimeSaysWhyAndReturnsTheFocus) {
  const struct {
    bool Start;
    QString Start_, End, Message;
  } cases[] = {
      {true, "00:00:05", "00:00:10.0", kTimeFormat},
      {false, "00:00:00.0", "00:00:10", kTimeFormat},
      {true, "00:00:06.0", "00:00:04.0", kStartAfterEnd},
      {true, "00:00:04.0", "00:00:04.0", kStartAfterEnd},  // a start equal to the end
      {false, "00:00:00.0", "00:00:10.5", kPastTheEnd},
  };
  for (const auto& c : cases) {
    Window->eStart->setText("00:00:00.0");
    Window->eEnd->setText("00:00:10.0");
    Window->eEnd->setText(c.End);  // the end first, so that the start cannot move it
    Window->eStart->setText(c.Start_);
    QLineEdit* edit = c.Start ? Window->eStart : Window->eEnd;
    Focus(edit);
    TMessageLog messages;
    QTest::keyClick(edit, Qt::Key_Tab);
    ASSERT_TRUE(messages.WaitFor(1)) << c.Message.toStdString();
    EXPECT_EQ(messages.Texts().first(), c.Message);
    // The focus the window gives back once active again (a closed box leaves none active here).
    EXPECT_TRUE(QTest::qWaitFor([&] { return Window->focusWidget() == edit; }, 2000));
  }
}

TEST_F(OpenWindow, LeavingAnEditWithAGoodTimeNormalisesIt) {
  Focus(Window->eStart);
  Window->eStart->setText("0:0:3.0");
  TMessageLog messages;
  QTest::keyClick(Window->eStart, Qt::Key_Tab);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Window->eStart->text() == "00:00:03.0"; }, 2000));
  EXPECT_EQ(Window->tbAudio->PositionL(), 6);
  EXPECT_TRUE(messages.Texts().isEmpty());
}

// The thumbs show the nearest half second of a typed time, the edits and the selection's
// size keep what was typed, typing it again changes nothing, and a thumb moved takes its
// half second while the other end keeps its time.
TEST_F(OpenWindow, TypedTenthsStayAsTypedAndTheThumbsFollowToTheNearestHalfSecond) {
  for (int pass = 0; pass < 2; ++pass) {
    Type(Window->eStart, "00:00:02.9");
    Type(Window->eEnd, "00:00:08.1");
    Focus(Window->bOpen);
    QTest::qWait(10);
    EXPECT_EQ(Window->eStart->text(), "00:00:02.9");
    EXPECT_EQ(Window->eEnd->text(), "00:00:08.1");
    EXPECT_EQ(Window->lFileTime->text(), "00:00:05.2");
    EXPECT_EQ(Window->tbAudio->PositionL(), 6);
    EXPECT_EQ(Window->tbAudio->PositionU(), 16);
  }
  Window->tbAudio->SetPositionU(18);
  EXPECT_EQ(Window->eStart->text(), "00:00:02.9");
  EXPECT_EQ(Window->eEnd->text(), "00:00:09.0");
  EXPECT_EQ(Window->lFileTime->text(), "00:00:06.1");
  Window->tbAudio->SetPositionU(20);  // the end of the bar: the whole rest of the file
  EXPECT_EQ(Window->eEnd->text(), "00:00:10.3");
}

TEST_F(OpenWindow, DeclinedOverwriteLeavesTheFileAndTheButton) {
  WriteBytes(Folder / "taken.wav", {1, 2, 3});
  QString question;
  StartCut(File("taken.wav"), [&](QWidget* box) {
    question = MessageText(box);
    Press(box, QMessageBox::No);
  });
  EXPECT_EQ(question, File("taken.wav") + " has existed,overite it?");
  EXPECT_EQ(ReadBytes(Folder / "taken.wav"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(Window->bStartCut->isEnabled());
  EXPECT_FALSE(Window->Cutting());
}

TEST_F(OpenWindow, TheSourceItselfIsRefusedAsTheTarget) {
  const auto before = ReadBytes(Folder / "song.wav");
  TMessageLog messages;
  StartCut(File("song.wav"));
  ASSERT_TRUE(messages.WaitFor(1));
  EXPECT_TRUE(messages.Texts().first().contains("cut from"))
      << messages.Texts().first().toStdString();
  EXPECT_FALSE(Window->Cutting());
  EXPECT_TRUE(Window->bStartCut->isEnabled());
  EXPECT_EQ(ReadBytes(Folder / "song.wav"), before);
}

TEST_F(WindowTest, TheSaveDialogProposesCutAndTheSourceNameWithItsExtension) {
  WriteClickFile(Folder / "Song.MP3", Sound(2.0));
  Window->OpenFile(File("Song.MP3"));
  ASSERT_EQ(Window->eOpenFile->text(), File("Song.MP3"));
  QString proposed, filter, suffix, title;
  WhenModal([&](QWidget* widget) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    ASSERT_NE(dialog, nullptr);
    proposed = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
    filter = dialog->selectedNameFilter();
    suffix = dialog->defaultSuffix();
    title = dialog->windowTitle();
    dialog->reject();
  });
  QTest::mouseClick(Window->bStartCut, Qt::LeftButton);
  EXPECT_EQ(proposed, "cut_Song.MP3");
  EXPECT_EQ(filter, "Sound Files (*.MP3)");
  EXPECT_EQ(suffix, "MP3");
  EXPECT_EQ(title, "Save the cut file");
  EXPECT_FALSE(Window->Cutting());
  EXPECT_TRUE(Window->bStartCut->isEnabled());
}

// A scheme changed while the program runs reaches the track bar, as it reaches the widgets
// that paint from the palette each time.
TEST_F(WindowTest, TheTrackBarTakesAPaletteChangedWhileRunning) {
  const QPalette before = QApplication::palette();
  QPalette dark = before;
  dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
  dark.setColor(QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
  QApplication::setPalette(dark);
  QTest::qWait(0);  // the change reaches the widgets through posted events
  EXPECT_EQ(Window->tbAudio->TrackColor(), dark.color(QPalette::Base));
  EXPECT_EQ(Window->tbAudio->TickColor(), dark.color(QPalette::WindowText));
  QApplication::setPalette(before);
  QTest::qWait(0);
  EXPECT_EQ(Window->tbAudio->TrackColor(), before.color(QPalette::Base));
}

// A kind registered by the tests alone is offered by the open dialog: the window lists the
// registry's kinds, not kinds of its own.
TEST_F(WindowTest, TheOpenDialogListsEveryRegisteredKind) {
  RegisterPcmTestKind();
  QStringList filters;
  WhenModal([&](QWidget* widget) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    ASSERT_NE(dialog, nullptr);
    filters = dialog->nameFilters();
    dialog->reject();
  });
  QTest::mouseClick(Window->bOpen, Qt::LeftButton);
  ASSERT_EQ(filters.size(), 1);
  for (const char* pattern : {"*.wav", "*.mp3", "*.wma", "*.pcm", "*.PCM"})
    EXPECT_TRUE(filters.first().contains(pattern)) << filters.first().toStdString() << pattern;
}

TEST_F(WindowTest, FilesThatCannotBeCutAreRefusedWhenOpened) {
  WriteClickWave(Folder / "good.wav", Sound(3.0));
  WriteBytes(Folder / "noise.wav", std::vector<uint8_t>(4000, 0x5a));
  WriteClickWave(Folder / "sound.flac", Sound(3.0));  // a sound, but not a kind we cut
  for (const char* name : {"noise.wav", "sound.flac", "missing.mp3"}) {
    Window->OpenFile(File("good.wav"));
    TMessageLog messages;
    Window->OpenFile(File(name));
    ASSERT_TRUE(messages.WaitFor(1)) << name;
    EXPECT_EQ(messages.Texts().first(), kOpenError);
    // Back to the window without a file: no times, no selection, no waveform.
    EXPECT_TRUE(Window->eOpenFile->text().isEmpty()) << name;
    EXPECT_FALSE(Window->eStart->isEnabled());
    EXPECT_FALSE(Window->tbAudio->isEnabled());
    EXPECT_EQ(Window->tbAudio->Max(), 0);
    EXPECT_EQ(Window->tbAudio->PositionU(), 0);
    EXPECT_FALSE(Window->tbAudio->HasWaveform());
    EXPECT_EQ(Window->eStart->text() + Window->eEnd->text() + Window->lFileTime->text(),
              "00:00:00.000:00:00.000:00:00.0");
  }
}

TEST_F(WindowTest, EveryControlOfEveryWindowHasAnAccessibleName) {
  TfrmEasyCut easyCut(Window.get());
  TfrmJoiner joiner(Window.get());
  TfrmSplit split(Window.get());
  for (QWidget* window : {static_cast<QWidget*>(Window.get()), static_cast<QWidget*>(&easyCut),
                          static_cast<QWidget*>(&joiner), static_cast<QWidget*>(&split)})
    for (QWidget* control : window->findChildren<QWidget*>())
      if ((control->focusPolicy() & Qt::TabFocus) && !control->isHidden()) {
        EXPECT_FALSE(control->accessibleName().isEmpty())
            << window->objectName().toStdString() << ": " << control->metaObject()->className()
            << " " << control->objectName().toStdString();
      }
}

TEST_F(WindowTest, SplitOpensOnTheOpenFile) {
  WriteClickWave(Folder / "whole.wav", Sound(4.0));
  Window->OpenFile(File("whole.wav"));
  QString opened;
  WhenModal([&opened](QWidget* modal) {
    if (auto* split = qobject_cast<TfrmSplit*>(modal)) opened = split->eOpenFile->text();
    modal->close();
  });
  QTest::mouseClick(Window->bSplit, Qt::LeftButton);
  EXPECT_EQ(opened, File("whole.wav"));
}

TEST_F(WindowTest, CuttingWithoutAFileAsksForOne) {
  TMessageLog messages;
  QTest::mouseClick(Window->bStartCut, Qt::LeftButton);
  ASSERT_TRUE(messages.WaitFor(1));
  EXPECT_EQ(messages.Texts().first(), "Please open a sound file fristly.");
}

TEST_F(WindowTest, AFileShorterThanHalfASecondHasNoThumbsToMove) {
  WriteClickWave(Folder / "short.wav", Sound(0.3));
  Window->OpenFile(File("short.wav"));
  EXPECT_EQ(Window->tbAudio->Max(), 0);
  EXPECT_EQ(Window->tbAudio->PositionL(), 0);
  EXPECT_EQ(Window->tbAudio->PositionU(), 0);
  EXPECT_FALSE(Window->tbAudio->isEnabled());
  EXPECT_EQ(Window->eEnd->text(), "00:00:00.3");
}

TEST_F(WindowTest, TheStartAndTheDroppedFileOpen) {
  WriteClickWave(Folder / "dropped.wav", Sound(4.0));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(File("dropped.wav"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Window.get(), &drop);
  EXPECT_EQ(Window->eOpenFile->text(), File("dropped.wav"));
  EXPECT_EQ(Window->tbAudio->Max(), 8);
  EXPECT_EQ(Window->focusWidget(), Window->bOpen);
}

TEST_F(WindowTest, PlayAndOtherWindowButtonsWaitForTheirFeatures) {
  for (QPushButton* b : {Window->bPlay, Window->bPause, Window->bStop, Window->bMarkStart,
                         Window->bMarkEnd, Window->bPlaySelection})
    EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
  EXPECT_TRUE(Window->bOpen->isEnabled());
  EXPECT_TRUE(Window->bEasyCut->isEnabled());
  EXPECT_TRUE(Window->bStartCut->isEnabled());
  EXPECT_TRUE(Window->bAbout->isEnabled());
}

}  // namespace

namespace {

// The waveform fills in behind the bar after a file opens, with the click in its column, and
// the next file replaces it.
TEST_F(WindowTest, OpeningAFileDrawsItsWaveformAndTheNextFileReplacesIt) {
  WriteClickWave(Folder / "click.wav", {44100, 2, 3 * 44100, {2 * 44100}});
  WriteClickWave(Folder / "quiet.wav", Sound(1.0));
  Window->OpenFile(File("click.wav"));
  QTRY_VERIFY_WITH_TIMEOUT(Window->tbAudio->Waveform().Complete, 10000);
  const TPeakOverview& peaks = Window->tbAudio->Waveform();
  EXPECT_EQ(peaks.Columns(), 300);
  EXPECT_GT(peaks.Envelope(200, 201).Max, 10000);
  EXPECT_EQ(peaks.Envelope(0, 200).Max, 0);
  Window->OpenFile(File("quiet.wav"));
  QTRY_VERIFY_WITH_TIMEOUT(Window->tbAudio->Waveform().Complete, 10000);
  EXPECT_EQ(Window->tbAudio->Waveform().Columns(), 100);
}

}  // namespace

namespace {

// Tab walks the controls as they read on screen: each next control lies on a lower row, or on
// the same row further right, and Tab comes round to where it started.
TEST_F(OpenWindow, TabFollowsTheScreenRowByRow) {
  Focus(Window->eOpenFile);
  QWidget* first = QApplication::focusWidget();
  QRect previous = first->geometry();
  previous.moveTopLeft(first->mapTo(Window.get(), QPoint()));
  QStringList walked;
  for (int i = 0; i < 40; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* now = QApplication::focusWidget();
    if (now == first) break;
    ASSERT_NE(now, nullptr);
    walked << now->objectName();
    const QRect at(now->mapTo(Window.get(), QPoint()), now->size());
    const bool sameRow = at.top() < previous.bottom() && previous.top() < at.bottom();
    EXPECT_TRUE(sameRow ? at.left() > previous.left() : at.top() >= previous.bottom())
        << walked.join(" ").toStdString();
    previous = at;
  }
  EXPECT_EQ(QApplication::focusWidget(), first) << walked.join(" ").toStdString();
  EXPECT_TRUE(walked.endsWith("seFadeOut")) << "the added row comes last";
}

// The window's own keys leave what a focused control uses: Space presses a focused button and
// ticks a focused box, and plays only from elsewhere.
TEST_F(WindowTest, SpacePressesAFocusedButtonAndTicksAFocusedBox) {
  WriteClickFile(Folder / "song.mp3", Sound(3.0));
  qputenv("TRIMORA_SILENT_AUDIO", "1");
  OpenByDialog(File("song.mp3"));
  ASSERT_TRUE(Window->cbKeepFrames->isEnabled());
  bool opened = false;
  WhenModal([&](QWidget* modal) {
    opened = qobject_cast<TfrmEasyCut*>(modal) != nullptr;
    modal->close();
  });
  Focus(Window->bEasyCut);
  QTest::keyClick(Window->bEasyCut, Qt::Key_Space);
  EXPECT_TRUE(opened);
  const bool ticked = Window->cbKeepFrames->isChecked();
  Focus(Window->cbKeepFrames);
  QTest::keyClick(Window->cbKeepFrames, Qt::Key_Space);
  EXPECT_NE(Window->cbKeepFrames->isChecked(), ticked);
  EXPECT_FALSE(Window->bPause->isEnabled()) << "Space played instead";
  Focus(Window->tbAudio);
  QTest::keyClick(Window->tbAudio, Qt::Key_Space);
  EXPECT_TRUE(Window->bPause->isEnabled()) << "Space on the bar plays";
  QTest::keyClick(Window->tbAudio, Qt::Key_Escape);
  EXPECT_FALSE(Window->bPause->isEnabled()) << "Escape stops";
}

}  // namespace
