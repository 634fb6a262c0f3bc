// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cmath>
#include <cstdlib>

#include "app/joiner_window.h"
#include "window_fixture.h"

using namespace test_support;

namespace {

const QString kCaption = "Joiner & Mixer";
const QString kNoInput = "Please select the input file!";
const QString kNotSame = "Please select the same format file!";
const QString kNotSound = "Please select a WAV, MP3, WMA, FLAC, Ogg Vorbis, Opus or M4A file.";

TClickSound Sound(double seconds, int rate = 44100, int channels = 2) {
  return {rate, channels, static_cast<int64_t>(seconds * rate), {}};
}

// The shown joiner.
class JoinerTest : public TShownWindowTest<TfrmJoiner> {
 protected:
  void ChooseBoth(const std::string& first, const std::string& second) {
    if (!first.empty()) ChooseThrough(Window->bOpen1, first);
    if (!second.empty()) ChooseThrough(Window->bOpen2, second);
  }
  // Presses Start in `mode` (0 joins, 1 mixes) and saves as `target`; waits for the end.
  void Run(int mode, const std::string& target) {
    QRadioButton* item = Window->ModeItem(mode);
    QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(6, item->height() / 2));  // its circle
    EXPECT_TRUE(item->isChecked());
    const QString path = File(target);
    WhenModal([this, path](QWidget* dialog) {
      Proposed = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
      EnterFileName(dialog, path);
    });
    QTest::mouseClick(Window->bStart, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !Window->Running(); }, 120000));
  }
  void ExpectIdle() {
    EXPECT_EQ(Window->windowTitle(), kCaption);
    EXPECT_TRUE(Window->bStart->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
  QString Proposed;  // the name the last save dialog offered
  int64_t Frames(const std::string& name, int channels) {
    return static_cast<int64_t>(DecodeS16(Folder / name).size()) / channels;
  }
};

struct TStartCase {
  const char* First;
  const char* Second;
  QString Message;  // empty: the save dialog opens (and is cancelled)
};

TEST_F(JoinerTest, StartChecksThePathsBeforeAskingForTheTarget) {
  for (const char* name : {"a.wav", "b.WAV", "c.wav"}) WriteClickWave(Folder / name, Sound(0.5));
  WriteBytes(Folder / "b.mp3", {0xFF, 0xFB, 0x90, 0x00});
  const TStartCase cases[] = {
      {"", "b.mp3", kNoInput},        // an empty path before the kinds are compared
      {"a.wav", "", kNoInput},        //
      {"a.wav", "b.mp3", kNotSame},   //
      {"a.wav", "b.WAV", QString()},  // the case of the extension does not matter
  };
  for (const TStartCase& c : cases) {
    SCOPED_TRACE(std::string(c.First) + " + " + c.Second);
    Window = std::make_unique<TfrmJoiner>();
    Window->show();
    ChooseBoth(c.First, c.Second);
    QString shown = "(none)";
    WhenModal([&shown](QWidget* modal) {
      shown = qobject_cast<QFileDialog*>(modal) != nullptr ? QString() : MessageText(modal);
      modal->close();
    });
    QTest::mouseClick(Window->bStart, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown != "(none)"; }, 20000));
    EXPECT_EQ(shown, c.Message);
    ExpectIdle();
  }
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"a.wav", "b.WAV", "b.mp3", "c.wav"}));
}

TEST_F(JoinerTest, AFileOfAnotherKindIsRefusedWhenChosen) {
  WriteBytes(Folder / "notes.txt", {'h', 'i'});
  TMessageLog messages;
  ChooseThrough(Window->bOpen1, "notes.txt");
  ASSERT_TRUE(messages.WaitFor(1));
  EXPECT_EQ(messages.Texts(), QStringList{kNotSound});
  EXPECT_TRUE(Window->eFile1->text().isEmpty());
}

TEST_F(JoinerTest, ATargetThatIsOneOfTheInputsIsRefused) {
  WriteClickWave(Folder / "a.wav", Sound(0.5));
  WriteClickWave(Folder / "b.wav", Sound(0.5));
  const auto before = ReadBytes(Folder / "b.wav");
  ChooseBoth("a.wav", "b.wav");
  TMessageLog messages;
  Run(0, "b.wav");
  ASSERT_TRUE(messages.WaitFor(1));
  EXPECT_TRUE(messages.Texts().first().startsWith("The new file cannot be saved over one"));
  EXPECT_EQ(ReadBytes(Folder / "b.wav"), before);
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"a.wav", "b.wav"}));
  ExpectIdle();
}

TEST_F(JoinerTest, AnUnreadableFileSaysWhyAndLeavesTheWindowIdle) {
  WriteClickWave(Folder / "a.wav", Sound(0.5));
  WriteBytes(Folder / "b.wav", {'R', 'I', 'F', 'F', 0, 0});
  ChooseBoth("a.wav", "b.wav");
  TMessageLog messages;
  Run(0, "out.wav");
  ASSERT_TRUE(messages.WaitFor(1));
  EXPECT_TRUE(messages.Texts().first().contains("holds no sound"))
      << messages.Texts().first().toStdString();
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"a.wav", "b.wav"}));
  ExpectIdle();
}

// 3 s and 5 s of 16-bit stereo: a join holds both, a mix as much as the longer.
TEST_F(JoinerTest, JoiningAddsTheLengthsAndMixingTakesTheLonger) {
  WriteClickWave(Folder / "a.wav", Sound(3.0));
  WriteClickWave(Folder / "b.wav", Sound(5.0));
  ChooseBoth("a.wav", "b.wav");
  for (const auto& [mode, frames] : {std::pair{0, 8 * 44100}, std::pair{1, 5 * 44100}}) {
    SCOPED_TRACE(mode == 0 ? "join" : "mix");
    const std::string target = mode == 0 ? "joined.wav" : "mixed.wav";
    Captions.clear();
    Run(mode, target);
    EXPECT_EQ(Frames(target, 2), frames);
    EXPECT_EQ(Proposed, "a + b.wav");
    EXPECT_TRUE(Captions.contains(kCaption + " - Processing ... "));
    EXPECT_TRUE(Captions.contains(kCaption + " - Processing ... 100%"))
        << Captions.join('|').toStdString();
    EXPECT_EQ(Window->findChild<QLabel*>("lDone")->text(),
              "Wrote " + QString::fromStdString(target));
    ExpectIdle();
  }
  EXPECT_EQ(Folder.Names(),
            (std::vector<std::string>{"a.wav", "b.wav", "joined.wav", "mixed.wav"}));
}

// The frequency of a tone in `samples` (channel 0 of `channels`) from its zero crossings.
double ToneFrequency(const std::vector<int16_t>& samples, int channels, int rate) {
  int crossings = 0;
  const std::size_t frames = samples.size() / channels;
  for (std::size_t f = 1; f < frames; ++f)
    if ((samples[(f - 1) * channels] < 0) != (samples[f * channels] < 0)) ++crossings;
  return crossings / 2.0 / (static_cast<double>(frames) / rate);
}

TEST_F(JoinerTest, ASecondFileOfAnotherRateAndChannelCountKeepsItsPitch) {
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2 " +
                     Quoted((Folder / "a.wav").string())));
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=frequency=1000:sample_rate=22050:duration=2 -ac 1 " +
                     Quoted((Folder / "b.wav").string())));
  ChooseBoth("a.wav", "b.wav");
  Run(0, "out.wav");
  EXPECT_EQ(Probe(Folder / "out.wav", "stream=sample_rate"), "44100");
  const auto out = DecodeS16(Folder / "out.wav");
  ASSERT_EQ(out.size(), 4u * 44100 * 2);
  const std::vector<int16_t> second(out.begin() + out.size() / 2 + 4410, out.end() - 4410);
  EXPECT_NEAR(ToneFrequency(second, 2, 44100), 1000.0, 10.0);
}

struct TCodedCase {
  const char* Extension;
  int Mode;
  double Seconds;    // expected length
  double Tolerance;  // seconds the codec's frames may add or take
};

// With "Keep the frames" ticked, a join copies the frames of both MP3 files but for a short
// bridge at the join: the output holds their bytes, and it is as long as the two within half
// a frame. The box is for joins only: a mix codes everything afresh.
TEST_F(JoinerTest, KeepingTheFramesCopiesBothFilesAroundTheJoin) {
  WriteClickFile(Folder / "a.mp3", Sound(2.0), {{"title", "First"}});
  WriteClickFile(Folder / "b.mp3", Sound(3.0));
  ChooseBoth("a.mp3", "b.mp3");
  auto* box = Window->findChild<QCheckBox*>("cbKeepFrames");
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(box->isChecked());
  QRadioButton* mix = Window->ModeItem(1);
  QTest::mouseClick(mix, Qt::LeftButton, {}, QPoint(6, mix->height() / 2));
  EXPECT_FALSE(box->isEnabled());
  QRadioButton* join = Window->ModeItem(0);
  QTest::mouseClick(join, Qt::LeftButton, {}, QPoint(6, join->height() / 2));
  ASSERT_TRUE(box->isEnabled());
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
  ASSERT_TRUE(box->isChecked());
  Run(0, "out.mp3");
  ExpectIdle();
  EXPECT_TRUE(box->isEnabled());
  EXPECT_LE(std::llabs(Frames("out.mp3", 2) - Frames("a.mp3", 2) - Frames("b.mp3", 2)), 576);
  for (const auto& [file, fraction] : {std::pair{"a.mp3", 0.4}, std::pair{"b.mp3", 0.7}})
    EXPECT_TRUE(HoldsBytesOf(Folder / "out.mp3", Folder / file, fraction)) << file;
  EXPECT_EQ(Probe(Folder / "out.mp3", "format_tags=title"), "First");
}

// The output takes its tags and bit rate from the first file; the second adds only sound.
TEST_F(JoinerTest, CompressedOutputsCarryTheFirstFilesTagsAndBitRate) {
  const TCodedCase cases[] = {
      {".mp3", 0, 5.0, 0.06}, {".mp3", 1, 3.0, 0.06}, {".wma", 0, 5.0, 0.1}, {".wma", 1, 3.0, 0.1}};
  for (const TCodedCase& c : cases) {
    const std::string ext = c.Extension, target = "out" + std::to_string(c.Mode) + ext;
    SCOPED_TRACE(target);
    WriteClickFile(Folder / ("a" + ext), Sound(2.0), {{"title", "First"}, {"artist", "One"}});
    WriteClickFile(Folder / ("b" + ext), Sound(3.0), {{"title", "Second"}, {"artist", "Two"}});
    ChooseBoth("a" + ext, "b" + ext);
    Run(c.Mode, target);
    const double seconds = std::atof(Probe(Folder / target, "format=duration").c_str());
    EXPECT_NEAR(seconds, c.Seconds, c.Tolerance);
    EXPECT_EQ(Probe(Folder / target, "format_tags=title"), "First");
    EXPECT_EQ(Probe(Folder / target, "format_tags=artist"), "One");
    const double kbps = std::atof(Probe(Folder / target, "stream=bit_rate").c_str()) / 1000;
    EXPECT_NEAR(kbps, 128, 4);
    ExpectIdle();
  }
}

TEST_F(JoinerTest, ClosingDuringARunAsksAndYesStopsItLeavingNothing) {
  for (const char* name : {"a.mp3", "b.mp3"}) WriteClickFile(Folder / name, Sound(120.0));
  ChooseBoth("a.mp3", "b.mp3");
  const QString target = File("out.mp3");
  WhenModal([target](QWidget* dialog) { EnterFileName(dialog, target); });
  QTest::mouseClick(Window->bStart, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return Window->Running(); }, 20000));
  EXPECT_FALSE(Window->bStart->isEnabled());
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(CloseAndStop(Window->bClose).isEmpty());
  EXPECT_FALSE(Window->Running());
  EXPECT_FALSE(Window->isVisible());
  ExpectIdle();
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"a.mp3", "b.mp3"}));
}

// Both "&Open File" bear O: Alt+O opens the one after the focused control, so that each
// file's row opens its own.
TEST_F(JoinerTest, AltOOpensTheFileOfTheRowAfterTheFocus) {
  WriteClickWave(Folder / "a.wav", Sound(0.5));
  for (QLineEdit* edit : {Window->eFile2, Window->eFile1}) {
    SCOPED_TRACE(edit->objectName().toStdString());
    QApplication::setActiveWindow(Window.get());  // a closed dialog leaves none active
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    edit->setFocus();
    const QString path = File("a.wav");
    WhenModal([path](QWidget* dialog) { EnterFileName(dialog, path); });
    QTest::keyClick(edit, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(edit->text(), path);
    EXPECT_TRUE((edit == Window->eFile1 ? Window->eFile2 : Window->eFile1)->text().isEmpty());
    edit->clear();
  }
}

TEST_F(WindowTest, TheJoinerButtonOpensTheJoinerOverTheMainWindow) {
  QString opened;
  WhenModal([&opened](QWidget* modal) {
    opened = modal->windowTitle();
    modal->close();
  });
  QTest::mouseClick(Window->bJoiner, Qt::LeftButton);
  EXPECT_EQ(opened, kCaption);
}

}  // namespace
