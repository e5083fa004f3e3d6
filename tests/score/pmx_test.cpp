#include <gtest/gtest.h>

#include "res/strings.h"
#include "score/pmx.h"
#include "score_test_util.h"

namespace vellumix::test {
namespace {

std::string Dump(const files::Bytes& bytes, ScriptedHost& host, bool expectOk = true) {
  std::string out;
  EXPECT_EQ(DumpScore(bytes, "T.MUS", host, out), expectOk);
  return out;
}

TEST(ScoreDump, ExactBytesAndTheirText) {
  const files::Bytes built = Build("1 1 10.5 -0.00001 2\n16 1 5 0\n\"_00I\\\"\\x01\"\n");
  // Header word 28: 6 + 16 record words (text: 6 bytes in two words) + 6 trailer words.
  const files::Bytes head = {0x1C, 0x00, 0x00, 0x00, 0xA0, 0x40, 0x00, 0x00, 0x80, 0x3F};
  ASSERT_GT(built.size(), head.size());
  EXPECT_EQ(files::Bytes(built.begin(), built.begin() + 10), head);
  EXPECT_EQ(built.size(), 2u + 4u * 28u);
  ScriptedHost host;
  EXPECT_EQ(Dump(built, host),
            "H 28 T 6 offset 2\n"
            "1 1 10.5 0 2\n"
            "16 1 5 0 0 0 0 0 0 0 0 6 0\n"
            "\"_00I\\\"\\x01\"\n");
  // Trailer as SCORE writes it.
  const std::size_t t = built.size() - 8;
  EXPECT_EQ(std::vector<std::uint8_t>(built.begin() + static_cast<long>(t), built.end()),
            (std::vector<std::uint8_t>{0x00, 0x00, 0xA0, 0x40, 0x00, 0x3C, 0x1C, 0xC6}));
}

TEST(ScoreDump, EveryRecordTakesALineDroppedOnesToo) {
  ScriptedHost host;
  const std::string text =
      "H 45 T 6 offset 4\n"
      "10 1 5 1\n"
      "15 1 0 0 0 0 0 0 0 0 0 0 0 1.5 123456.7\n"
      "N=0\n"
      "16 1 5 0 0 0 0 0 0 0 0 3\n"  // P12 does not fit N: printed as plain numbers
      "0.1234567 -3.00004 1e30\n";
  const std::string out = Dump(Build(text), host);
  EXPECT_EQ(out,
            "H 45 T 6 offset 4\n"
            "10 1 5 1\n"
            "15 1 0 0 0 0 0 0 0 0 0 0 0 1.5 123456.7031\n"
            "N=0\n"
            "16 1 5 0 0 0 0 0 0 0 0 3\n"
            "0.1235 -3 1000000015047466219876688855040\n");
  // The dump reads back as the same file.
  EXPECT_EQ(Dump(Build(out), host), out);
  EXPECT_TRUE(host.messages.empty());
}

TEST(ScoreDump, RefusedFilesShowTheirMessage) {
  ScriptedHost host;
  std::string out;
  EXPECT_FALSE(DumpScore(files::Bytes{1, 2, 3}, "SHORT.MUS", host, out));
  ASSERT_EQ(host.MessageIds(), std::vector<int>{res::kDamagedScoreFile});
  EXPECT_EQ(host.messages[0].text, "SHORT.MUS is damaged: the file is too short");
  EXPECT_TRUE(out.empty());

  std::string n54 = "N=54";
  for (int i = 0; i < 54; ++i) n54 += " 1";
  ScriptedHost refused;
  const std::string partial = Dump(Build("9 1 5 0 1\n" + n54 + "\n"), refused, false);
  EXPECT_EQ(partial, "H 67 T 6 offset 2\n9 1 5 0 1\n");
  EXPECT_EQ(refused.MessageIds(), std::vector<int>{res::kTooManyParameters});
}

TEST(ScoreBuilder, RejectsWhatItCannotWrite) {
  std::string error;
  EXPECT_FALSE(BuildScoreFile("1 x 3\n", &error));
  EXPECT_EQ(error, "line 1: bad number x");
  EXPECT_FALSE(BuildScoreFile("1 1 3\n\"text\"\n", &error));
  EXPECT_FALSE(BuildScoreFile("16 1 3\n\"unterminated\n", &error));
  EXPECT_FALSE(BuildScoreFile("1 1 3\nH 5\n", &error));
  EXPECT_FALSE(BuildScoreFile("offset 3\n", &error));
  EXPECT_TRUE(BuildScoreFile("# a comment\n\nH 10\r\n1 1 3\r\n", &error)) << error;
}

}  // namespace
}  // namespace vellumix::test
