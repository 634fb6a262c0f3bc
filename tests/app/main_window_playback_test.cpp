// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <set>
#include <utility>

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
  Click(Window->bPause);
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
    Window->PlaceCursor(c.Cursor * 500);
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

// Space plays, pauses and resumes from the bar; "[" and "]" mark where the sound is when
// they are pressed; Alt+S stops, although "&Segment Cut" bears the letter too.
TEST_F(PlaybackWindow, TheKeyboardPlaysPausesMarksAndStops) {
  auto noWindow = WhenModal([](QWidget* modal) {
    ADD_FAILURE() << "opened " << modal->objectName().toStdString();
    modal->close();
  });
  Focus(Window->tbAudio);
  const auto press = [&](int key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  };
  press(Qt::Key_Space);
  ExpectButtons(false, true, true, "playing");
  press(Qt::Key_Space);
  ExpectButtons(true, false, true, "paused");
  press(Qt::Key_Space);
  ExpectButtons(false, true, true, "resumed");
  for (const auto& [key, edge] : {std::pair{Qt::Key_BracketLeft, 0}, {Qt::Key_BracketRight, 1}}) {
    SCOPED_TRACE(edge);
    ASSERT_TRUE(PlayedTo(Player().Position() + 700));
    const int64_t before = Player().Position();
    press(key);
    const int64_t after = Player().Position();
    const int32_t marked = edge == 0 ? Window->Selection().StartMs() : Window->Selection().EndMs();
    EXPECT_GE(marked, before);
    EXPECT_LE(marked, after);
    // The row keeps one form: milliseconds once either mark is finer than a tenth (the end
    // still at the file's end does not count).
    const bool precise = Window->Selection().StartMs() % 100 != 0 ||
                         (edge == 1 && Window->Selection().EndMs() % 100 != 0);
    EXPECT_EQ((edge == 0 ? Window->eStart : Window->eEnd)->text().toStdString(),
              precise ? MsToPreciseTimeText(marked) : MsToTimeText(marked));
  }
  press(Qt::Key_S, Qt::AltModifier);
  ExpectButtons(true, false, false, "stopped");
  EXPECT_FALSE(Player().IsOpen());
  *noWindow = false;
}

// Play starts from the cursor: a place clicked in the close view, or without one the start of
// the selection; Play Selection from the selection whatever the cursor.
TEST_F(PlaybackWindow, PlayStartsFromTheCursorAndPlaySelectionFromTheSelection) {
  ASSERT_TRUE(ShowCloseView());
  TDetailView* view = Window->dvDetail;
  const int y = view->WaveArea().center().y();
  const struct {
    const char* Name;
    int ClickX;  // -1: no click
    QString Start;
    QPushButton* TheButton;
    int64_t From;  // -1: where the click was
  } cases[] = {
      {"clicked", 400, "00:00:01.0", Window->bPlay, -1},
      {"no cursor", -1, "00:00:03.0", Window->bPlay, 3000},
      {"selection", 400, "00:00:02.0", Window->bPlaySelection, 2000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Type(Window->eStart, c.Start);
    Focus(view);
    int64_t from = c.From;
    if (c.ClickX >= 0) {
      QTest::mouseClick(view, Qt::LeftButton, {}, {c.ClickX, y});
      ASSERT_GT(Window->CursorMs(), 3000);
      if (c.From < 0) from = Window->CursorMs();
    }
    Click(c.TheButton);
    EXPECT_GE(Player().Position(), from);
    EXPECT_EQ(Window->tbAudio->LinePosition(), from / 500);
    Click(Window->bStop);
  }
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
  // The arrows move the edge marked last to the next round time about a pixel away.
  QTest::keyClick(view, Qt::Key_Right);
  EXPECT_GT(Window->Selection().EndMs(), end);
  EXPECT_LE(Window->Selection().EndMs(), end + std::max(1.0, 1.5 * view->MsPerPixel()));

  Wheel(view, {0, y}, 20, Qt::ControlModifier);
  ASSERT_EQ(view->FromMs(), 0);
  Window->aPlay->trigger();
  ASSERT_TRUE(PlayedTo(view->ToMs() + 300));
  EXPECT_TRUE(QTest::qWaitFor([&] { return view->FromMs() > 0; }));
  EXPECT_LE(view->FromMs(), double(Player().Position()));
}

}  // namespace

namespace {

// "+" and "-" zoom about the cursor, or about the mouse while it is over the view, so that
// the place worked on stays where it is on screen; Home and End bring the view to the
// selection's ends.
TEST_F(PlaybackWindow, TheCloseViewsKeysZoomAboutTheCursorOrTheMouseAndFollowHomeAndEnd) {
  ASSERT_TRUE(ShowCloseView());
  TDetailView* view = Window->dvDetail;
  const int y = view->WaveArea().center().y();
  Focus(view);
  QTest::mouseClick(view, Qt::LeftButton, {}, {700, y});
  const double cursor = Window->CursorMs();
  for (const Qt::Key key : {Qt::Key_Plus, Qt::Key_Plus, Qt::Key_Minus}) {
    QTest::keyClick(view, key);
    EXPECT_NEAR(view->XOf(cursor), 700, 1) << "the cursor stays put";
  }
  QTest::mouseMove(view, {200, y});
  const double under = view->MsAt(200);
  QTest::keyClick(view, Qt::Key_Plus);
  EXPECT_NEAR(view->MsAt(200), under, view->MsPerPixel()) << "the time under the mouse stays";

  Type(Window->eEnd, "00:00:09.5");
  Focus(view);
  for (const Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_Home}) {
    const int32_t at = key == Qt::Key_Home ? 0 : 9500;
    QTest::keyClick(view, key);
    EXPECT_EQ(Window->CursorMs(), at);
    EXPECT_LE(view->FromMs(), at);
    EXPECT_GE(view->ToMs(), at);
  }
}

// The next window comes back at the size the last one closed at, and a file opens at the
// close view's last zoom; the designed size stays for a first start.
TEST_F(PlaybackWindow, TheNextWindowKeepsTheSizeAndTheCloseViewsZoom) {
  const QSize designed = Window->size();
  ASSERT_TRUE(ShowCloseView());
  Focus(Window->dvDetail);
  for (int k = 0; k < 3; ++k) QTest::keyClick(Window->dvDetail, Qt::Key_Plus);
  const QSize size = Window->size();
  const double zoom = Window->dvDetail->MsPerPixel();
  ASSERT_NE(size, designed);
  Window->close();
  Window = std::make_unique<TfrmMain>();
  Window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
  EXPECT_EQ(Window->size(), size);
  OpenByDialog(File("song.wav"));
  EXPECT_DOUBLE_EQ(Window->dvDetail->MsPerPixel(), zoom);
  EXPECT_EQ(Window->dvDetail->FromMs(), 0);
}

// The arrows move an edge onto round times: a millisecond at the finest zoom, else a step of
// 1, 2 or 5 times a power of ten near a pixel's time.
TEST_F(PlaybackWindow, TheArrowsMoveAnEdgeOntoRoundTimesAtEveryZoom) {
  ASSERT_TRUE(ShowCloseView());
  TDetailView* view = Window->dvDetail;
  const int y = view->WaveArea().center().y();
  Focus(view);
  Wheel(view, {0, y}, 1, Qt::ControlModifier);
  QTest::mouseClick(view, Qt::LeftButton, {}, {333, y});
  QTest::keyClick(view, Qt::Key_BracketLeft);
  const std::set<int32_t> round{1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
  for (int notches : {0, 1, 2, 3, 4, 6}) {
    SCOPED_TRACE(notches);
    Wheel(view, {view->XOf(Window->Selection().StartMs()), y}, notches, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Right);
    const int32_t first = Window->Selection().StartMs();
    QTest::keyClick(view, Qt::Key_Right);
    const int32_t step = Window->Selection().StartMs() - first;
    EXPECT_TRUE(round.count(step)) << step;
    EXPECT_EQ(first % step, 0);
    EXPECT_LE(step, std::max(1.0, 2.5 * view->MsPerPixel()));
    EXPECT_GE(step, view->MsPerPixel() / 2.5);
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_EQ(Window->Selection().StartMs(), first);
  }
}

}  // namespace
