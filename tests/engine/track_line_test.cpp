#include "engine/track_line.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

namespace vellumix {
namespace {

float ByFromChars(const std::string& word) {
  float value = 0.0f;
  auto r = std::from_chars(word.data(), word.data() + word.size(), value);
  return r.ec == std::errc() ? value : 0.0f;
}

TEST(TrackLine, NumbersReadAsFromChars) {
  std::vector<std::string> words{"0.0000", "-0.0000", "12", "-7", "0.5", "1.", ".5", "-.5",
                                 "1e3", "2.5E-2", "123456789012345", "1234567890123456",
                                 "0.00000000000001", "16777217", "16777217.0000",
                                 "33554435.0", "0.1", "1.5abc"};
  std::mt19937_64 random(2024);
  for (int i = 0; i < 200000; ++i) {
    // Written numbers of every size, and decimals of up to 16 digits.
    char buf[64];
    const float v = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (std::isfinite(v) && std::fabs(v) < 1e12f) {
      auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::fixed, 4);
      words.emplace_back(buf, r.ptr);
    }
    const int digits = 1 + static_cast<int>(random() % 16);
    std::string word = (random() % 2) ? "-" : "";
    for (int d = 0; d < digits; ++d) word += static_cast<char>('0' + random() % 10);
    const int point = static_cast<int>(random() % (digits + 1));
    if (point < digits)
      word.insert(word.end() - static_cast<std::ptrdiff_t>(point), '.');
    words.push_back(word);
  }
  for (const std::string& word : words) {
    std::string text = "2.0000 0.0000 ";
    text += word;
    text += " \r\n";
    const TrackLine line = ParseTrackLine(text);
    const float expected = ByFromChars(word);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(line.Field(2)), std::bit_cast<std::uint32_t>(expected))
        << word;
  }
}

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

namespace vellumix {
namespace {

TEST(TrackLine, AFirstLookReadsTheFieldsAsTheFullReadDoes) {
  for (const char* line :
       {"1.0000 23.5000 7.0000 0.0000 1.0000 0.0000 0.0000 0.0000 ", "2.0000 -4.0000 0.3333 ",
        "5.0000 52.0000 20.0000 20.0000 99.0000 1.5000 1.0000 2.0000 ", "  1 \t x 12abc 4",
        "1.0000 nan", ""}) {
    const TrackLine full = ParseTrackLine(line);
    TrackLineFields first(line);
    EXPECT_EQ(first.At(0), full.Code()) << line;
    EXPECT_EQ(first.Position(), full.Position()) << line;
    for (std::size_t i : {2u, 4u, 7u}) EXPECT_EQ(first.At(i), full.Field(i)) << line << " " << i;
  }
}

TEST(TrackLineFile, LinesAreReadWithTheirEndsAndAheadFromAnOffset) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  const std::string text = "1.0000 2.0000 \r\n2.0000 3.0000 \n" + std::string(5000, 'x') + "\nlast";
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  std::string line;
  bool ended = false;
  std::int64_t offset = 0;
  ASSERT_TRUE(ReadLine(f, line, ended, &offset));
  EXPECT_EQ(line, "1.0000 2.0000 ");
  EXPECT_TRUE(ended);
  EXPECT_EQ(offset, 16);
  const std::int64_t second = offset;
  ASSERT_TRUE(ReadLine(f, line, ended, &offset));
  EXPECT_EQ(line, "2.0000 3.0000 ");
  ASSERT_TRUE(ReadLine(f, line, ended, &offset));
  EXPECT_EQ(line.size(), 5000u);  // longer than a read chunk, still one line
  ASSERT_TRUE(ReadLine(f, line, ended, &offset));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(ended);  // cut off: the run stops on such a line
  EXPECT_EQ(offset, static_cast<std::int64_t>(text.size()));
  EXPECT_FALSE(ReadLine(f, line, ended, &offset));

  // Ahead from the second line, twice over: each pass starts again; read back as from memory.
  const auto firsts = [](const LinesAhead& ahead) {
    std::vector<float> seen;
    for (const TrackLine& l : ahead) seen.push_back(l.Code());
    return seen;
  };
  LinesAhead ahead(f, second);
  for (int pass = 0; pass < 2; ++pass) EXPECT_EQ(firsts(ahead), (std::vector<float>{2, 0, 0}));
  std::fclose(f);

  const std::vector<std::string_view> lines = {"1 2", "16 3 4 a text", "5"};
  EXPECT_EQ(firsts(LinesAhead(std::span<const std::string_view>(lines))),
            (std::vector<float>{1, 16, 5}));
  StoredTrackLines stored;
  for (std::string_view l : lines) stored.Add(ParseTrackLine(l));
  EXPECT_EQ(firsts(LinesAhead(stored, 1)), (std::vector<float>{16, 5}));
  TrackLine back;
  stored.Get(1, back);
  EXPECT_EQ(back.text, "a text");
  EXPECT_EQ(back.count, 3u);
  stored.Get(2, back);
  EXPECT_EQ(back.text, "");
  EXPECT_EQ(back.Field(1), 0.0f);
  EXPECT_EQ(LinesAhead().begin(), LinesAhead().end());
}

}  // namespace
}  // namespace vellumix
