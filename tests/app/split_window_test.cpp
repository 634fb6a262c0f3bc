// SPDX-License-Identifier: GPL-3.0-or-later
// The split window as a user drives it: pauses found and listed, a boundary typed, the pieces
// written.
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "app/detail_view.h"
#include "app/split_window.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/time/time_text.h"
#include "file_size_limit.h"
#include "window_fixture.h"

using namespace test_support;

namespace {

constexpr int kRate = 44100;

class SplitTest : public TShownWindowTest<TfrmSplit> {
 protected:
  // The rows as "start-end file" texts, one a line.
  std::string Rows() const {
    QStringList rows;
    for (int row = 0; row < Window->lvPieces->rowCount(); ++row)
      rows << Window->lvPieces->item(row, 0)->text() + "-" +
                  Window->lvPieces->item(row, 1)->text() + " " +
                  Window->lvPieces->item(row, 3)->text();
    return rows.join('\n').toStdString();
  }
  // Types `text` into the start of piece `row` and presses Enter; the editor hands the text
  // over from the event loop.
  void TypeStart(int row, const QString& text) {
    // A message closed leaves no active window on the offscreen platform.
    QApplication::setActiveWindow(Window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    Window->lvPieces->setFocus();
    Window->lvPieces->setCurrentCell(row, 0);
    QTest::keyClick(Window->lvPieces, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
  }
  bool WaitUntilIdle() {
    return QTest::qWaitFor([this] { return !Window->Running(); }, 60000);
  }
};

int64_t FramesIn(const std::filesystem::path& path) {
  TOpenedSource opened = OpenSource(path);
  return opened.Kind->FramesHeld(*opened.Source);
}

TEST_F(SplitTest, SplitsAtThePausesNotAtTheDipWithABoundaryMovedByHand) {
  WriteClickFile(Folder / "set.wav", PausedTones(kRate));
  Window->OpenFile(File("set.wav"));
  EXPECT_EQ(Rows(),
            "00:00:00.000-00:00:08.500 set - 01.wav\n"
            "00:00:08.500-00:00:17.000 set - 02.wav")
      << "two equal parts before a mode is chosen";

  Window->cbMode->setFocus();
  QTest::keyClick(Window->cbMode, Qt::Key_Down);
  QTest::keyClick(Window->cbMode, Qt::Key_Down);
  ASSERT_EQ(Window->cbMode->currentText(), "At silences");
  EXPECT_FALSE(Window->bStart->isEnabled()) << "no pieces before the pauses are found";
  Window->seMinPiece->setFocus();
  Window->seMinPiece->selectAll();
  QTest::keyClicks(Window->seMinPiece, "1");
  QTest::mouseClick(Window->bFind, Qt::LeftButton);
  ASSERT_TRUE(WaitUntilIdle());
  // The boundaries in the middles of the 4-7 s and 12-15 s pauses; the 1 s dip splits nothing.
  EXPECT_EQ(Rows(),
            "00:00:00.000-00:00:05.500 set - 01.wav\n"
            "00:00:05.500-00:00:13.500 set - 02.wav\n"
            "00:00:13.500-00:00:17.000 set - 03.wav");
  using TMarks = std::vector<std::pair<int32_t, int32_t>>;
  EXPECT_EQ(Window->dvWave->Marked(), (TMarks{{0, 5500}, {13500, 17000}}));

  {
    TMessageLog messages;
    TypeStart(1, "00:00:14.0");  // past the second piece's end
    ASSERT_TRUE(messages.WaitFor(1));
    EXPECT_TRUE(messages.Texts()[0].startsWith("Please type a time"))
        << messages.Texts()[0].toStdString();
  }
  TypeStart(1, "00:00:06.0");
  const std::string moved =
      "00:00:00.000-00:00:06.000 set - 01.wav\n"
      "00:00:06.000-00:00:13.500 set - 02.wav\n"
      "00:00:13.500-00:00:17.000 set - 03.wav";
  EXPECT_TRUE(QTest::qWaitFor([&] { return Rows() == moved; })) << Rows();

  TMessageLog messages;
  QTest::mouseClick(Window->bStart, Qt::LeftButton);
  ASSERT_TRUE(messages.WaitFor(1));
  EXPECT_FALSE(Window->Running());
  EXPECT_EQ(messages.Texts()[0], "3 pieces written:\n" + File("set - 01.wav") + "\n" +
                                     File("set - 02.wav") + "\n" + File("set - 03.wav"));
  EXPECT_EQ(Folder.Names(),
            (std::vector<std::string>{"set - 01.wav", "set - 02.wav", "set - 03.wav", "set.wav"}));
  EXPECT_EQ(FramesIn(Folder / "set - 01.wav"), 6 * kRate);
  EXPECT_EQ(FramesIn(Folder / "set - 02.wav"), 15 * kRate / 2);
  EXPECT_EQ(FramesIn(Folder / "set - 03.wav"), 7 * kRate / 2);
  EXPECT_EQ(Window->windowTitle(), "Split");
}

// An Opus file splits as any other: the pieces hold all its frames between them, each keeps
// the file's tags and is numbered k/N.
TEST_F(SplitTest, AnOpusFileSplitsIntoNumberedPiecesOfAllItsFrames) {
  WriteClickFile(Folder / "set.opus", PausedTones(kRate), {{"title", "Set"}});
  Window->OpenFile(File("set.opus"));
  TMessageLog messages;
  QTest::mouseClick(Window->bStart, Qt::LeftButton);
  ASSERT_TRUE(messages.WaitFor(1));
  EXPECT_TRUE(messages.Texts()[0].startsWith("2 pieces written"))
      << messages.Texts()[0].toStdString();
  const std::filesystem::path pieces[] = {Folder / "set - 01.opus", Folder / "set - 02.opus"};
  EXPECT_EQ(FramesIn(pieces[0]) + FramesIn(pieces[1]), FramesIn(Folder / "set.opus"));
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(Probe(pieces[k], "stream_tags=title"), "Set");
    EXPECT_EQ(Probe(pieces[k], "stream_tags=track"), std::to_string(k + 1));
    EXPECT_EQ(Probe(pieces[k], "stream_tags=TRACKTOTAL"), "2");
  }
}

// Pieces of the same names exist: the window asks, and No writes nothing.
TEST_F(SplitTest, ExistingPiecesAreReplacedOnlyWhenTheUserSaysSo) {
  WriteClickWave(Folder / "in.wav", {kRate, 2, 2 * kRate, {}});
  WriteBytes(Folder / "in - 02.wav", {'o', 'l', 'd'});
  Window->OpenFile(File("in.wav"));
  QString asked;
  WhenMessage([&asked](QWidget* box) {
    asked = MessageText(box);
    Press(box, QMessageBox::No);
  });
  QTest::mouseClick(Window->bStart, Qt::LeftButton);
  EXPECT_EQ(asked, "'" + File("in - 02.wav") + "' exists. Replace it?");
  EXPECT_EQ(ReadBytes(Folder / "in - 02.wav"), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"in - 02.wav", "in.wav"}));
}

// The pieces go into the folder chosen beside the names; a missing one is made once the user
// agrees, and nothing is written when they do not.
TEST_F(SplitTest, PiecesGoIntoTheChosenFolderWhichIsMadeWhenMissing) {
  WriteClickWave(Folder / "in.wav", {kRate, 2, 2 * kRate, {}});
  Window->OpenFile(File("in.wav"));
  std::filesystem::create_directory(Folder / "chosen");
  ChooseThrough(Window->bFolder, "chosen");
  EXPECT_EQ(Window->eFolder->text(), File("chosen"));
  Window->eFolder->setText(File("new/pieces"));
  const QString question = "The folder '" + File("new/pieces") + "' does not exist. Make it?";
  QString asked;
  WhenMessage([&](QWidget* box) {
    asked = MessageText(box);
    Press(box, QMessageBox::No);
  });
  QTest::mouseClick(Window->bStart, Qt::LeftButton);
  EXPECT_EQ(asked, question);
  EXPECT_FALSE(std::filesystem::exists(Folder / "new"));
  TMessageLog messages;  // says Yes
  QTest::mouseClick(Window->bStart, Qt::LeftButton);
  ASSERT_TRUE(messages.WaitFor(2));
  EXPECT_EQ(messages.Texts()[0], question);
  EXPECT_TRUE(messages.Texts()[1].startsWith("2 pieces written"))
      << messages.Texts()[1].toStdString();
  EXPECT_EQ(FramesIn(Folder / "new" / "pieces" / "in - 02.wav"), kRate);
}

// The second piece selected in the list is selected on the waveform; its start edge dragged
// moves the boundary it shares with the first.
TEST_F(SplitTest, DraggingAPiecesEdgeOnTheWaveformMovesItsBoundary) {
  WriteClickWave(Folder / "in.wav", {kRate, 2, 4 * kRate, {}});
  Window->OpenFile(File("in.wav"));
  QTableWidget* list = Window->lvPieces;
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(1, 3)).center());
  TDetailView* wave = Window->dvWave;
  ASSERT_EQ(wave->Selection(), (std::pair<int32_t, int32_t>{2000, 4000}));
  const int y = wave->WaveArea().center().y();
  Drag(wave, {wave->XOf(2000), y}, {wave->XOf(3000), y});
  const auto [start, end] = wave->Selection();
  EXPECT_NEAR(start, 3000, wave->MsPerPixel() + 1);
  EXPECT_EQ(end, 4000);
  const QString shown = QString::fromStdString(MsToPreciseTimeText(start));
  EXPECT_EQ(Rows(),
            ("00:00:00.000-" + shown + " in - 01.wav\n" + shown + "-00:00:04.000 in - 02.wav")
                .toStdString());
}

// The second piece does not fit (as on a full disk): the first stays, and the message says so.
TEST_F(SplitTest, AFailurePartWayNamesThePiecesWrittenBeforeIt) {
  WriteClickWave(Folder / "in.wav", {kRate, 2, kRate, {}});
  Window->OpenFile(File("in.wav"));
  TypeStart(1, "00:00:00.3");  // 0.3 s fits in 64 KiB, the 0.7 s after it does not
  ASSERT_TRUE(QTest::qWaitFor([this] { return Rows().find("00:00:00.300-") != std::string::npos; }))
      << Rows();
  TMessageLog messages;
  {
    TFileSizeLimit full;
    QTest::mouseClick(Window->bStart, Qt::LeftButton);
    ASSERT_TRUE(messages.WaitFor(1));
  }
  const QString text = messages.Texts()[0];
  EXPECT_TRUE(text.startsWith("The split failed: piece 2 of 2 ('" + File("in - 02.wav") + "'): "))
      << text.toStdString();
  EXPECT_TRUE(text.endsWith("; written before it: '" + File("in - 01.wav") + "'"))
      << text.toStdString();
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"in - 01.wav", "in.wav"}));
  EXPECT_EQ(FramesIn(Folder / "in - 01.wav"), 3 * kRate / 10);
  EXPECT_FALSE(Window->Running());
}

// A cue sheet chosen through the file dialog: a broken one is refused by its line, a good one
// lists its tracks with their titles and names the pieces by them; a boundary still moves by
// typing, the plan saves as a cue sheet, and Start writes the pieces with their titles.
TEST_F(SplitTest, ACueSheetChosenListsItsTitlesAndWritesTaggedPieces) {
  WriteClickWave(Folder / "album.wav", {kRate, 2, 6 * kRate, {}});
  const std::string good =
      "TITLE \"Album\"\nPERFORMER \"Band\"\nFILE \"album.wav\" WAVE\n"
      "TRACK 01 AUDIO\n TITLE \"First\"\n INDEX 01 00:00:00\n"
      "TRACK 02 AUDIO\n TITLE \"Second\"\n INDEX 01 00:02:00\n"
      "TRACK 03 AUDIO\n TITLE \"Third\"\n INDEX 01 00:04:00\n";
  WriteBytes(Folder / "album.cue", std::vector<uint8_t>(good.begin(), good.end()));
  const std::string bad = "FILE a.wav WAVE\nTRACK 01 AUDIO\n INDEX 01 00:00:99\n";
  WriteBytes(Folder / "bad.cue", std::vector<uint8_t>(bad.begin(), bad.end()));
  Window->OpenFile(File("album.wav"));
  Window->cbMode->setFocus();
  for (int k = 0; k < 3; ++k) QTest::keyClick(Window->cbMode, Qt::Key_Down);
  ASSERT_EQ(Window->cbMode->currentText(), "At the marks of a cue sheet or label file\u2026");
  EXPECT_FALSE(Window->bStart->isEnabled()) << "no pieces before a sheet is chosen";
  {
    TMessageLog messages;
    ChooseThrough(Window->bMarks, "bad.cue");
    ASSERT_TRUE(messages.WaitFor(1));
    EXPECT_EQ(messages.Texts()[0], "'" + File("bad.cue") +
                                       "' cannot be used: line 3: the time '00:00:99' has 75 "
                                       "frames or more (a second holds 75)");
  }
  EXPECT_EQ(Window->lvPieces->rowCount(), 0);
  ChooseThrough(Window->bMarks, "album.cue");
  ASSERT_TRUE(QTest::qWaitFor([this] { return Window->lvPieces->rowCount() == 3; }));
  EXPECT_EQ(Window->ePattern->text(), "{n} - {title}");
  TypeStart(1, "00:00:02.5");
  const std::string listed =
      "00:00:00.000-00:00:02.500 01 - First.wav\n"
      "00:00:02.500-00:00:04.000 02 - Second.wav\n"
      "00:00:04.000-00:00:06.000 03 - Third.wav";
  ASSERT_TRUE(QTest::qWaitFor([&] { return Rows() == listed; })) << Rows();
  EXPECT_EQ(Window->lvPieces->item(1, 2)->text(), "Second");

  test_support::WhenModal(
      [path = File("plan.cue")](QWidget* dialog) { test_support::EnterFileName(dialog, path); });
  QTest::mouseClick(Window->bSaveCue, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return std::filesystem::exists(Folder / "plan.cue"); }));
  const std::string plan = ReadText(Folder / "plan.cue");
  EXPECT_NE(plan.find("FILE \"album.wav\" WAVE"), std::string::npos) << plan;
  EXPECT_NE(plan.find("TITLE \"Second\"\n    INDEX 01 00:02:38"), std::string::npos) << plan;

  TMessageLog messages;
  QTest::mouseClick(Window->bStart, Qt::LeftButton);
  ASSERT_TRUE(messages.WaitFor(1));
  EXPECT_TRUE(messages.Texts()[0].startsWith("3 pieces written"))
      << messages.Texts()[0].toStdString();
  EXPECT_EQ(FramesIn(Folder / "02 - Second.wav"), 3 * kRate / 2);
  const char* titles[] = {"First", "Second", "Third"};
  for (int k = 0; k < 3; ++k) {
    const std::filesystem::path piece =
        Folder / ("0" + std::to_string(k + 1) + " - " + titles[k] + ".wav");
    EXPECT_EQ(Probe(piece, "format_tags=title"), titles[k]);
    EXPECT_EQ(Probe(piece, "format_tags=album"), "Album");
    EXPECT_EQ(Probe(piece, "format_tags=artist"), "Band");
  }
}

// A file's own chapters are offered in the marks mode and list with their titles.
TEST_F(SplitTest, AFilesOwnChaptersAreOfferedAndListed) {
  WriteClickWave(Folder / "talk.wav", {kRate, 2, 4 * kRate, {}});
  const std::string chapters =
      ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=Hello\n"
      "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=4000\ntitle=World\n";
  WriteBytes(Folder / "chapters.txt", std::vector<uint8_t>(chapters.begin(), chapters.end()));
  ASSERT_TRUE(Ffmpeg("-i '" + File("talk.wav").toStdString() + "' -i '" +
                     File("chapters.txt").toStdString() + "' -map_metadata 1 -map_chapters 1 '" +
                     File("talk.mp3").toStdString() + "'"));
  Window->OpenFile(File("talk.mp3"));
  Window->cbMode->setCurrentIndex(TfrmSplit::kAtMarks);
  ASSERT_TRUE(Window->bOwnMarks->isVisible());
  QTest::mouseClick(Window->bOwnMarks, Qt::LeftButton);
  ASSERT_EQ(Window->lvPieces->rowCount(), 2);
  EXPECT_EQ(Window->lvPieces->item(0, 2)->text(), "Hello");
  EXPECT_EQ(Window->lvPieces->item(1, 3)->text(), "02 - World.mp3");
}

}  // namespace
