// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/time/time_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TimeText, TwoDigitsPadsOnlyBelowTen) {
  EXPECT_EQ(TwoDigits(0), "00");
  EXPECT_EQ(TwoDigits(9), "09");
  EXPECT_EQ(TwoDigits(10), "10");
  EXPECT_EQ(TwoDigits(123), "123");
  EXPECT_EQ(TwoDigitsText("7"), "07");
  EXPECT_EQ(TwoDigitsText("42"), "42");
  EXPECT_EQ(TwoDigitsText("x1"), "00");
  EXPECT_EQ(TwoDigitsText(""), "00");
  EXPECT_EQ(TwoDigitsText("99999999999"), "00");  // too large for an integer
}

struct TSyntaxCase {
  const char* Text;
  bool TimeText;
  bool Layout;
};

TEST(TimeText, SyntaxCheckAndLayoutCheck) {
  const TSyntaxCase cases[] = {
      {"00:00:00.0", true, true},    {"0:0:0.0", true, false},     {"00:00:00", false, false},
      {"00:00:00.00", false, false}, {"00-00-00.0", false, false}, {"000:00:00.0", false, false},
      {"9:75:99.9", true, false},    {"00:00:00.", true, false},   {"aa:bb:cc.d", false, true},
      {"0:00:00.0", true, false},    {"", false, false},           {"00:00:0a.0", false, true},
      {"00::00.0", false, false},    {"00:00:.0", false, false},   {"00:00:00.0 ", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsTimeText(c.Text), c.TimeText) << '"' << c.Text << '"';
    EXPECT_EQ(HasTimeLayout(c.Text), c.Layout) << '"' << c.Text << '"';
  }
}

TEST(TimeText, NormalizePadsFieldsAndKeepsOneTenth) {
  EXPECT_EQ(NormalizeTimeText("1:2:3.45"), "01:02:03.4");
  EXPECT_EQ(NormalizeTimeText("00:00:00.0"), "00:00:00.0");
  EXPECT_EQ(NormalizeTimeText("12345"), "12345");
  EXPECT_EQ(NormalizeTimeText("1:2:3"), "01:02:3");
  EXPECT_EQ(NormalizeTimeText("1:2:3."), "01:02:03.");
}

TEST(TimeText, TextToMilliseconds) {
  EXPECT_EQ(TimeTextToMs("00:01:30.5"), 90500);
  EXPECT_EQ(TimeTextToMs("1:2:3.4"), TimeTextToMs("01:02:03.4"));
  EXPECT_EQ(TimeTextToMs("01:02:03.4"), 3723400);
  EXPECT_EQ(TimeTextToMs("99:59:59.9"), 359999900);
  EXPECT_EQ(TimeTextToMs("00:00:05."), 5000);  // empty tenths count as 0
  EXPECT_EQ(TimeTextToMs("ab:cd:ef.g"), 0);
  EXPECT_EQ(TimeTextToMs(""), 0);
}

TEST(TimeText, MillisecondsToTextDropsBelowATenth) {
  EXPECT_EQ(MsToTimeText(0), "00:00:00.0");
  EXPECT_EQ(MsToTimeText(3600000 + 2 * 60000 + 3 * 1000 + 456), "01:02:03.4");
  EXPECT_EQ(MsToTimeText(59999), "00:00:59.9");
  EXPECT_EQ(MsToTimeText(100 * 3600000), "100:00:00.0");
  EXPECT_EQ(HalfSecondsToTimeText(3), "00:00:01.5");
  EXPECT_EQ(HalfSecondsToTimeText(0), "00:00:00.0");
}

TEST(TimeText, FormattedTextParsesBackToTheSameTenths) {
  for (int32_t ms : {0, 100, 59900, 60000, 3599900, 3600000, 86399900})
    EXPECT_EQ(TimeTextToMs(MsToTimeText(ms)), ms) << ms;
}

// The form with milliseconds: exactly three digits, read and written to the millisecond,
// and the short form kept for whole tenths.
TEST(TimeText, PreciseFormKeepsEveryMillisecond) {
  const struct {
    const char* Text;
    bool Precise, Shown;
    int32_t Ms;
  } cases[] = {
      {"00:00:01.234", true, true, 1234}, {"1:2:3.004", true, false, 3723004},
      {"00:00:01.2", false, true, 1200},  {"00:00:01.23", false, false, 1200},
      {"00:00:01.2345", false, false, 0}, {"00:00:01.2a4", false, false, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsPreciseTimeText(c.Text), c.Precise) << c.Text;
    EXPECT_EQ(IsShownTimeText(c.Text), c.Shown) << c.Text;
    if (c.Precise || c.Shown) {
      EXPECT_EQ(TimeTextToMs(c.Text), c.Ms) << c.Text;
    }
  }
  EXPECT_EQ(NormalizePreciseTimeText("1:2:3.004"), "01:02:03.004");
  for (int32_t ms : {0, 7, 1234, 59999, 3723004})
    EXPECT_EQ(TimeTextToMs(MsToPreciseTimeText(ms)), ms) << ms;
  EXPECT_EQ(MsToPreciseTimeText(1234), "00:00:01.234");
  EXPECT_EQ(MsToShownTimeText(1200), "00:00:01.2");
  EXPECT_EQ(MsToShownTimeText(1234), "00:00:01.234");
}

}  // namespace
