#include "engine/track_line.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vellumix {
namespace {

TEST(TrackLine, ReadsTheWrittenNoteLine) {
  TrackLine line = ParseTrackLine("1.0000 23.5000 7.0000 0.0000 1.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(line.count, 8u);
  EXPECT_EQ(line.Code(), 1.0f);
  EXPECT_EQ(line.Position(), 23.5f);
  EXPECT_EQ(line.Field(2), 7.0f);
  EXPECT_EQ(line.Field(4), 1.0f);
  EXPECT_EQ(line.Field(11), 0.0f);
  EXPECT_EQ(line.Field(40), 0.0f);
  EXPECT_TRUE(line.text.empty());
}

TEST(TrackLine, KeepsTwelveNumbersAtMost) {
  TrackLine line = ParseTrackLine("4 1 2 3 4 5 6 7 8 9 10 11 12 13 14\n");
  EXPECT_EQ(line.count, 12u);
  EXPECT_EQ(line.Field(11), 11.0f);
}

TEST(TrackLine, TextFollowsTheBlankAfterTheThirdNumber) {
  TrackLine line = ParseTrackLine("16.0000 10.0000 5.0000 dolce\r\n");
  EXPECT_EQ(line.count, 3u);
  EXPECT_EQ(line.Field(2), 5.0f);
  EXPECT_EQ(line.text, "dolce");
  // Blanks and numbers inside the text belong to it.
  EXPECT_EQ(ParseTrackLine("16.0000 10.0000 5.0000  a 2 b \n").text, " a 2 b ");
  EXPECT_EQ(ParseTrackLine("16.0000 10.0000 5.0000 \r\n").text, "");
  EXPECT_EQ(ParseTrackLine("16.0000 10.0000\n").text, "");
}

TEST(TrackLine, NegativeOrNonNumericPositionIsZero) {
  EXPECT_EQ(ParseTrackLine("1.0000 -3.0000 7.0000").Position(), 0.0f);
  EXPECT_EQ(ParseTrackLine("1.0000 nan 7.0000").Position(), 0.0f);
  EXPECT_EQ(ParseTrackLine("1.0000 -inf 7.0000").Position(), 0.0f);
}

TEST(TrackLine, GarbageReadsAsZeroWithoutThrowingAnythingAway) {
  TrackLine line = ParseTrackLine("abc 12abc +5 1e99 -2.5e1 ,3 \t 7");
  EXPECT_EQ(line.count, 7u);
  EXPECT_EQ(line.Field(0), 0.0f);
  EXPECT_EQ(line.Field(1), 12.0f);
  EXPECT_EQ(line.Field(2), 5.0f);
  EXPECT_EQ(line.Field(3), 0.0f);  // beyond a float
  EXPECT_EQ(line.Field(4), -25.0f);
  EXPECT_EQ(line.Field(5), 0.0f);
  EXPECT_EQ(line.Field(6), 7.0f);
  EXPECT_EQ(ParseTrackLine("").count, 0u);
  EXPECT_EQ(ParseTrackLine("   \r\n").count, 0u);
}

}  // namespace
}  // namespace vellumix
