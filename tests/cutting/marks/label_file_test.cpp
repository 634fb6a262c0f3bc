// SPDX-License-Identifier: GPL-3.0-or-later
// Label files: regions and points to the sample, the broken ones refused by their line, and
// what is written read back the same.
#include "cutting/marks/label_file.h"

#include <gtest/gtest.h>

#include "cutting/cut_error.h"

namespace {

// "start-end 'text'" at 44.1 kHz, a point as "start 'text'".
std::string Described(const TMarkSheet& sheet) {
  std::string text;
  for (const TMark& mark : sheet.Marks) {
    if (!text.empty()) text += " | ";
    text += std::to_string(mark.Start.Frames(44100));
    if (mark.End) text += "-" + std::to_string(mark.End->Frames(44100));
    text += " '" + mark.Texts.Title + "'";
  }
  return text;
}

TEST(LabelFile, ReadsRegionsAndPointsToTheSample) {
  const struct {
    const char* Name;
    const char* Bytes;
    const char* Expected;
  } cases[] = {
      {"regions with six decimals", "0.000000\t2.500000\tIntro\n2.500000\t10.000023\tTalk\n",
       "0-110250 'Intro' | 110250-441001 'Talk'"},
      {"points, a frequency line, CRLF, a comma, no text",
       "1\t1\tOne\r\n\\\t100.0\t2000.0\r\n3,25\t3,25\r\n", "44100 'One' | 143325 ''"},
      {"a text with tabs, blanks about the times, nine decimals", " 0.000011338 \t0.5\tA\tB\n",
       "1-22050 'A\tB'"},
  };
  for (const auto& c : cases) {
    try {
      EXPECT_EQ(Described(ParseLabels(c.Bytes)), c.Expected) << c.Name;
    } catch (const ECutError& e) {
      ADD_FAILURE() << c.Name << ": " << e.what();
    }
  }
}

TEST(LabelFile, RefusesABrokenFileNamingTheLine) {
  const struct {
    const char* Bytes;
    const char* Message;
  } cases[] = {
      {"1\t2\tok\nabc\t3\tx\n", "line 2: the start 'abc' is not a time in seconds"},
      {"1\t-2\tx\n", "line 1: the end '-2' is not a time in seconds"},
      {"5\t2\tx\n", "line 1: the label ends before it starts"},
      {"1e3\t2\tx\n", "line 1: the start '1e3' is not"},
      {"\n\n", "the label file holds no label"},
  };
  for (const auto& c : cases) {
    try {
      ParseLabels(c.Bytes);
      ADD_FAILURE() << c.Message << " was taken";
    } catch (const ECutError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, std::string(c.Message).size()), c.Message);
    }
  }
}

TEST(LabelFile, WrittenLabelsReadBackToTheSameFrames) {
  for (const int rate : {44100, 48000, 96000, 8000, 192000}) {
    TMarkSheet marks;
    const int64_t starts[] = {0, 1, rate * 61 + 17, int64_t{rate} * 3600 * 5 + rate - 1};
    for (const int64_t start : starts)
      marks.Marks.push_back(
          {FrameTime(start, rate, rate), FrameTime(start + 3, rate, rate), {"a\tb", "", ""}});
    const TMarkSheet read = ParseLabels(WriteLabels(marks, rate));
    ASSERT_EQ(read.Marks.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
      EXPECT_EQ(read.Marks[k].Start.Frames(rate), starts[k]) << rate;
      EXPECT_EQ(read.Marks[k].End->Frames(rate), starts[k] + 3) << rate;
      EXPECT_EQ(read.Marks[k].Texts.Title, "a b");
    }
  }
}

}  // namespace
