// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "cutting/time/time_text.h"
#include "window_fixture.h"

using namespace test_support;
using trimora::media::TPlayerMode;

namespace {

constexpr int kRate = 44100;

// A window with a file open (Max = seconds × 2); its playback is silent and clock-paced. The
// timer runs as usual, but its ticks are the test's to give, unless `realTicks`.
class PlaybackWindow : public WindowTest {
 protected:
  explicit PlaybackWindow(double seconds = 10.3, bool realTicks = false) {
    qputenv("TRIMORA_SILENT_AUDIO", "1");
    WriteClickWave(Folder / "song.wav", {kRate, 2, static_cast<int64_t>(seconds * kRate), {}});
    OpenByDialog(File("song.wav"));
    if (!realTicks) QObject::disconnect(Window->Timer1, &QTimer::timeout, nullptr, nullptr);
  }
  const trimora::media::TMediaPlayer& Player() const { return Window->MediaPlayer(); }
  // Waits until the player has put out `ms` of the file.
  bool PlayedTo(int64_t ms) {
    return QTest::qWaitFor([&] { return Player().Position() >= ms; }, 10000);
  }
  // Which of play, pause and stop are enabled, and whether the timer runs; mark start and end
  // always follow stop, and play selection follows play.
  void ExpectButtons(bool play, bool pause, bool stop, const char* where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(Window->bPlay->isEnabled(), play);
    EXPECT_EQ(Window->bPlaySelection->isEnabled(), play);
    EXPECT_EQ(Window->bPause->isEnabled(), pause);
    EXPECT_EQ(Window->Timer1->isActive(), pause);
    EXPECT_EQ(Window->bStop->isEnabled(), stop);
    EXPECT_EQ(Window->bMarkStart->isEnabled(), stop);
    EXPECT_EQ(Window->bMarkEnd->isEnabled(), stop);
  }
  void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

TEST_F(WindowTest, PlayingNeedsAnOpenFile) {
  for (QPushButton* b : {Window->bPlay, Window->bPlaySelection, Window->bPause, Window->bStop,
                         Window->bMarkStart, Window->bMarkEnd})
    EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  EXPECT_EQ(Window->Timer1->interval(), 500);
}

TEST_F(PlaybackWindow, PausedAfterThreeTicksPlayResumesFromThere) {
  ExpectButtons(true, false, false, "idle");
  Click(Window->bPlay);
  ExpectButtons(false, true, true, "playing");
  ASSERT_TRUE(PlayedTo(1500));
  for (int tick = 0; tick < 3; ++tick) Window->Timer1Timer();
  const int cursor = Window->tbAudio->LinePosition();
  EXPECT_GE(cursor, 3);
  EXPECT_LE(cursor, 4);  // half a second late at most, on a busy machine
  Click(Window->bPause);
  ExpectButtons(true, false, true, "paused");
  EXPECT_EQ(Player().Mode(), TPlayerMode::Paused);
  const int64_t paused = Player().Position();

  Click(Window->bPlay);
  ExpectButtons(false, true, true, "resumed");
  EXPECT_GE(Player().Position(), paused);
  Window->Timer1Timer();
  EXPECT_GE(Window->tbAudio->LinePosition(), cursor);

  Click(Window->bStop);
  ExpectButtons(true, false, false, "stopped");
  EXPECT_EQ(Window->tbAudio->LinePosition(), 0);
  EXPECT_FALSE(Player().IsOpen());
}

TEST_F(PlaybackWindow, PlaySelectionStopsAfterItsEndAndTheCursorReturnsToZero) {
  Window->tbAudio->SetPositionU(14);
  Window->tbAudio->SetPositionL(10);
  Click(Window->bPlaySelection);
  EXPECT_EQ(Window->tbAudio->LinePosition(), 10);
  EXPECT_GE(Player().Position(), 5000);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().Mode() != TPlayerMode::Playing; }, 10000));
  EXPECT_EQ(Player().Position(), 7000);
  Window->Timer1Timer();
  EXPECT_EQ(Window->tbAudio->LinePosition(), 14);
  ExpectButtons(false, true, true, "at the end of the selection");
  Window->Timer1Timer();
  EXPECT_EQ(Window->tbAudio->LinePosition(), 0);
  ExpectButtons(true, false, false, "stopped");
}

TEST_F(PlaybackWindow, MarksPutTheThumbsAtTheCursorKeepingThemApart) {
  Click(Window->bPlay);
  const struct {
    bool Start;
    int L, U, Cursor, WantL, WantU;
    QString Edit, Length;
  } cases[] = {
      {true, 0, 20, 5, 5, 20, "00:00:02.5", "00:00:07.8"},    // the end thumb at the end: all
      {true, 0, 14, 14, 13, 14, "00:00:06.5", "00:00:00.5"},  // at the end thumb
      {true, 0, 14, 17, 13, 14, "00:00:06.5", "00:00:00.5"},  // past it
      {false, 0, 20, 9, 0, 9, "00:00:04.5", "00:00:04.5"},
      {false, 6, 20, 3, 6, 7, "00:00:03.5", "00:00:00.5"},  // before the start thumb
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Cursor);
    Window->tbAudio->SetPositionU(20);
    Window->tbAudio->SetPositionL(c.L);
    Window->tbAudio->SetPositionU(c.U);
    Window->tbAudio->SetLinePosition(c.Cursor);
    Click(c.Start ? Window->bMarkStart : Window->bMarkEnd);
    EXPECT_EQ(Window->tbAudio->PositionL(), c.WantL);
    EXPECT_EQ(Window->tbAudio->PositionU(), c.WantU);
    EXPECT_EQ((c.Start ? Window->eStart : Window->eEnd)->text(), c.Edit);
    EXPECT_EQ(Window->lFileTime->text(), c.Length);
  }
}

// The start thumb dragged with the mouse while playing: the sound goes on from the new start
// and ends at the end thumb; a drag while paused starts nothing.
TEST_F(PlaybackWindow, DraggingTheStartThumbWhilePlayingRestartsThere) {
  Window->tbAudio->SetPositionU(12);
  auto drag = [&] {
    const QPoint from = Window->tbAudio->ThumbRectL().center();
    QTest::mousePress(Window->tbAudio, Qt::LeftButton, {}, from);
    QTest::mouseMove(Window->tbAudio, from + QPoint(120, 0));
    QTest::mouseRelease(Window->tbAudio, Qt::LeftButton, {}, from + QPoint(120, 0));
  };
  Click(Window->bPlay);
  Click(Window->bPause);
  const int64_t paused = Player().Position();
  drag();
  ASSERT_GT(Window->tbAudio->PositionL(), 0);
  EXPECT_EQ(Player().Mode(), TPlayerMode::Paused);
  EXPECT_EQ(Player().Position(), paused);

  Click(Window->bPlay);
  Window->tbAudio->SetPositionL(0);
  drag();
  const int start = Window->tbAudio->PositionL();
  ASSERT_GT(start, 0);
  ASSERT_LT(start, 12);
  EXPECT_EQ(Window->tbAudio->LinePosition(), start);
  EXPECT_GE(Player().Position(), start * 500);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().Mode() != TPlayerMode::Playing; }, 10000));
  EXPECT_EQ(Player().Position(), 6000);
}

TEST_F(PlaybackWindow, AFileThatCannotBePlayedSaysWhyAndLeavesTheWindowIdle) {
  std::filesystem::remove(Folder / "song.wav");
  for (QPushButton* button : {Window->bPlay, Window->bPlaySelection}) {
    TMessageLog messages;
    Click(button);
    ASSERT_TRUE(messages.WaitFor(1));
    EXPECT_TRUE(messages.Texts().last().startsWith("The file cannot be played: "))
        << messages.Texts().last().toStdString();
    ExpectButtons(true, false, false, "after the error");
    EXPECT_EQ(Window->tbAudio->LinePosition(), 0);
    WriteBytes(Folder / "song.wav", {'R', 'I', 'F', 'F'});  // now there, but no sound
  }
}

class ThreeSecondWindow : public PlaybackWindow {
 protected:
  ThreeSecondWindow() : PlaybackWindow(3.0, true) {}
};

// The real timer, in real time: the cursor walks the bar to its end and playback stops.
TEST_F(ThreeSecondWindow, PlaysToTheEndWithTheCursorFollowing) {
  ASSERT_EQ(Window->tbAudio->Max(), 6);
  Click(Window->bPlay);
  int furthest = 0;
  std::vector<int> seen;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const int cursor = Window->tbAudio->LinePosition();
        if (cursor > furthest) furthest = cursor, seen.push_back(cursor);
        return !Window->Timer1->isActive();
      },
      15000));
  // The tick that puts the cursor on the end of the bar stops at once, so 5 is the last seen
  // (4 if the machine was too busy for one tick).
  EXPECT_GE(furthest, 4);
  EXPECT_LE(furthest, 5);
  EXPECT_GE(seen.size(), 3u);  // it moved step by step, not in one jump
  EXPECT_EQ(Window->tbAudio->LinePosition(), 0);
  ExpectButtons(true, false, false, "at the end");
  EXPECT_FALSE(Player().IsOpen());
}

}  // namespace

namespace {

// Space plays, pauses and resumes; "[" and "]" mark at the cursor; Alt+S stops, although
// "&Segment Cut" bears the letter too.
TEST_F(PlaybackWindow, TheKeyboardPlaysPausesMarksAndStops) {
  auto noWindow = WhenModal([](QWidget* modal) {
    ADD_FAILURE() << "opened " << modal->objectName().toStdString();
    modal->close();
  });
  Focus(Window->bOpen);
  const auto press = [&](int key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  };
  press(Qt::Key_Space);
  ExpectButtons(false, true, true, "playing");
  press(Qt::Key_Space);
  ExpectButtons(true, false, true, "paused");
  press(Qt::Key_Space);
  ExpectButtons(false, true, true, "resumed");
  Window->tbAudio->SetLinePosition(4);
  press(Qt::Key_BracketLeft);
  Window->tbAudio->SetLinePosition(9);
  press(Qt::Key_BracketRight);
  EXPECT_EQ(Window->eStart->text(), "00:00:02.0");
  EXPECT_EQ(Window->eEnd->text(), "00:00:04.5");
  press(Qt::Key_S, Qt::AltModifier);
  ExpectButtons(true, false, false, "stopped");
  EXPECT_FALSE(Player().IsOpen());
  *noWindow = false;
}

// In the close view a click places the cursor to the millisecond and the marks take it there;
// while playing, the view pages along with the sound.
TEST_F(PlaybackWindow, TheCloseViewPlacesTheCursorForTheMarksAndFollowsThePlayback) {
  ASSERT_TRUE(ShowCloseView());
  TDetailView* view = Window->dvDetail;
  Focus(view);
  const int y = view->WaveArea().center().y();
  Wheel(view, {0, y}, 3, Qt::ControlModifier);
  const auto clickAt = [&](int x) {
    QTest::mouseClick(view, Qt::LeftButton, {}, {x, y});
    return static_cast<int32_t>(std::lround(view->MsAt(x)));
  };
  const int32_t start = clickAt(211);
  EXPECT_EQ(Window->lCursor->text().toStdString(), "Cursor: " + MsToPreciseTimeText(start));
  QTest::keyClick(view, Qt::Key_BracketLeft);
  const int32_t end = clickAt(733);
  QTest::keyClick(view, Qt::Key_BracketRight);
  EXPECT_EQ(Window->Selection().StartMs(), start);
  EXPECT_EQ(Window->Selection().EndMs(), end);
  EXPECT_EQ(Window->eStart->text().toStdString(), MsToPreciseTimeText(start));
  // The arrows move the edge marked last by a pixel's time.
  QTest::keyClick(view, Qt::Key_Right);
  EXPECT_EQ(Window->Selection().EndMs(), end + std::lround(view->MsPerPixel()));

  Wheel(view, {0, y}, 20, Qt::ControlModifier);
  ASSERT_EQ(view->FromMs(), 0);
  Window->aPlay->trigger();
  ASSERT_TRUE(PlayedTo(view->ToMs() + 300));
  EXPECT_TRUE(QTest::qWaitFor([&] { return view->FromMs() > 0; }));
  EXPECT_LE(view->FromMs(), double(Player().Position()));
}

}  // namespace
