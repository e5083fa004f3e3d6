#include <gtest/gtest.h>

#include <fstream>

#include "res/strings.h"
#include "score_test_util.h"
#include "temp_folder.h"

namespace vellumix::test {
namespace {

using ::testing::ElementsAre;

TEST(ScoreReader, ChordNotesSymbolsAndRestsAtOnePosition) {
  ReaderRig rig;
  ASSERT_TRUE(
      rig.Read("1 1 20 4 0\n1 1 20 8 0\n1 1 20 6 0\n"
               "9 1 20 0 52\n"
               "2 1 20 0 0 0 0 0\n"
               "1 2 20 4 0\n1 2 20 8 0\n1 2 20 6 0\n1 2 20 5 0\n"));
  const ItemList& one = rig.input.StaffList(1);
  EXPECT_THAT(Column(one, 0), ElementsAre(9, 1, 1, 1, 2));
  EXPECT_THAT(Column(one, 3), ElementsAre(52, 8, 6, 4, 0));  // symbol: value 3 is P5
  EXPECT_THAT(Column(rig.input.StaffList(2), 3), ElementsAre(8, 5, 6, 4));
  EXPECT_TRUE(rig.host.messages.empty());
}

TEST(ScoreReader, KindsAtOnePositionKeepTheirOrder) {
  ReaderRig rig;
  // Arrive in a scrambled order; stand as text, symbols, lines, beams, slurs, notes, rests.
  ASSERT_TRUE(rig.Read(
      "2 1 30\n1 1 30 3\n5 1 30\n6 1 30\n4 1 30\n9 1 30 0 1\n16 1 30\n\"_00a\"\n9 1 30 0 2\n"
      "2 1 30 0 0 0 0 1\n"));
  const ItemList& list = rig.input.StaffList(1);
  EXPECT_THAT(Column(list, 0), ElementsAre(16, 9, 9, 4, 6, 5, 1, 2, 2));
  // A later symbol stands behind the first one; a later rest likewise.
  EXPECT_EQ(Column(list, 3)[1], 1);
  EXPECT_EQ(Column(list, 3)[2], 2);
}

TEST(ScoreReader, ItemsOutOfOrderFindTheirPlaceAndMerge) {
  ReaderRig rig;
  ASSERT_TRUE(rig.Read("1 1 10 4\n1 1 30 4\n1 1 20 4\n1 1 5 4\n1 1 40 4\n1 1 20 6\n"
                       "14 4 50 1 0\n14 4 30 1 0\n14 4 29.995 1 3\n14 4 50.005 1 3\n"
                       "14 4 40 1 0\n14 4 49.995 1 3\n"));
  EXPECT_THAT(Column(rig.input.StaffList(1), 2), ElementsAre(5, 10, 20, 20, 30, 40));
  EXPECT_THAT(Column(rig.input.StaffList(1), 3), ElementsAre(4, 4, 6, 4, 4, 4));
  EXPECT_THAT(Column(rig.input.BarlineList(4), 0), ElementsAre(30, 40, 50));
}

TEST(ScoreReader, NoteBeforeAChordNoteTakesItsP11) {
  ReaderRig rig;
  ASSERT_TRUE(
      rig.Read("1 1 20 4 0 0 0 0 0 0 3\n1 1 20 8 0 0 0 0 0 0 0\n"
               "1 1 40 4 0 0 0 0 0 0 3\n1 1 40 2 0 0 0 0 0 0 0\n"));
  const ItemList& list = rig.input.StaffList(1);
  EXPECT_THAT(Column(list, 3), ElementsAre(8, 4, 4, 2));
  EXPECT_THAT(Column(list, 6), ElementsAre(3, 0, 3, 0));  // value 6 is P11
}

TEST(ScoreReader, BarlinesCloserThanAHundredthMerge) {
  ReaderRig rig;
  ASSERT_TRUE(
      rig.Read("14 1 50 1 0\n14 1 50.005 1 3\n14 2 50 1 0\n14 2 50.01 1 3\n"
               "14 3 60 2 0\n14 3 40 2 4\n"));
  EXPECT_THAT(Column(rig.input.BarlineList(1), 0), ElementsAre(50));
  EXPECT_THAT(Column(rig.input.BarlineList(1), 2), ElementsAre(0));
  EXPECT_THAT(Column(rig.input.BarlineList(2), 0), ElementsAre(50, 50.01f));
  // Barlines keep P3 P4 P5 and are ordered by position.
  EXPECT_THAT(Column(rig.input.BarlineList(3), 0), ElementsAre(40, 60));
  EXPECT_THAT(Column(rig.input.BarlineList(3), 2), ElementsAre(4, 0));
  EXPECT_TRUE(rig.input.StaffList(1).empty());
}

TEST(ScoreReader, BarlineKindsAndBraceMarks) {
  ReaderRig rig;
  rig.options.duplicateDynamicsOnBracedStaves = 1;
  ASSERT_TRUE(
      rig.Read("14 1 0 2 8\n14 1 10 1 9\n14 1 20 1 10\n14 1 30 1 1\n"
               "9 2 5 -5 53\n9 2 6 -5 75\n9 2 7 -1 56\n4 2 8 0 999\n"
               "9 3 5 -5 53\n"));
  EXPECT_THAT(Column(rig.input.BarlineList(1), 0), ElementsAre(30));
  // A dynamic below a braced staff is copied onto it; other symbols and the staff above are not.
  EXPECT_THAT(Column(rig.input.StaffList(2), 2), ElementsAre(5, 6, 7, 8));
  EXPECT_THAT(Column(rig.input.StaffList(1), 0), ElementsAre(9, 4));
  EXPECT_EQ(rig.input.StaffList(1).front().values.Get(3), 53);
  EXPECT_EQ(rig.input.StaffList(1).back().values.Get(4), 999);
  // ClearLists clears the marks too.
  rig.input.ClearLists();
  ASSERT_TRUE(rig.Read("9 2 5 -5 53\n"));
  EXPECT_TRUE(rig.input.StaffList(1).empty());
  // Without the option nothing is copied.
  ReaderRig off;
  ASSERT_TRUE(off.Read("14 1 0 2 8\n9 2 5 -5 53\n"));
  EXPECT_TRUE(off.input.StaffList(1).empty());
}

TEST(ScoreReader, SlurSnapsBackToTheChordJustBeforeIt) {
  const char* staff = "1 1 20 8\n1 1 20 4\n1 1 25 6\n";
  {
    ReaderRig rig;
    rig.defaults.tieHorizontalWidth = 0.1f;
    ASSERT_TRUE(rig.Read(std::string(staff) + "5 1 20.05 1\n"));
    EXPECT_THAT(Column(rig.input.StaffList(1), 0), ElementsAre(5, 1, 1, 1));
    EXPECT_THAT(Column(rig.input.StaffList(1), 2), ElementsAre(20, 20, 20, 25));
  }
  {
    ReaderRig rig;
    rig.defaults.tieHorizontalWidth = 0.01f;
    ASSERT_TRUE(rig.Read(std::string(staff) + "5 1 20.05 1\n"));
    EXPECT_THAT(Column(rig.input.StaffList(1), 0), ElementsAre(1, 1, 5, 1));
    EXPECT_THAT(Column(rig.input.StaffList(1), 2), ElementsAre(20, 20, 20.05f, 25));
  }
  {
    ReaderRig rig;
    rig.defaults.tieHorizontalWidth = 6.0f;
    ASSERT_TRUE(rig.Read(std::string(staff) + "5 1 27 1\n"));
    EXPECT_THAT(Column(rig.input.StaffList(1), 2), ElementsAre(20, 20, 25, 27));
  }
  {
    // A line snaps only when lines are read as ties.
    ReaderRig rig;
    ASSERT_TRUE(rig.Read(std::string(staff) + "4 1 20.05\n"));
    EXPECT_THAT(Column(rig.input.StaffList(1), 2), ElementsAre(20, 20, 20.05f, 25));
    ReaderRig ties;
    ties.options.code4LinesAsTies = 1;
    ASSERT_TRUE(ties.Read(std::string(staff) + "4 1 20.05\n"));
    EXPECT_THAT(Column(ties.input.StaffList(1), 0), ElementsAre(4, 1, 1, 1));
    EXPECT_THAT(Column(ties.input.StaffList(1), 2), ElementsAre(20, 20, 20, 25));
  }
}

TEST(ScoreReader, TimeSignaturesAreNormalised) {
  ReaderRig rig;
  ASSERT_TRUE(
      rig.Read("18 1 10 0 99 1\n18 1 20 0 98 1\n18 1 30 0 0 3\n18 1 40 0 0 0\n"
               "18 1 50 0 6 8 0 7 9\n"));
  const ItemList& list = rig.input.StaffList(1);
  EXPECT_THAT(Column(list, 3), ElementsAre(4, 2, 3, 4, 6));
  EXPECT_THAT(Column(list, 4), ElementsAre(4, 2, 4, 4, 8));
  EXPECT_THAT(Column(list, 5), ElementsAre(0, 0, 0, 0, 7));  // P8
  EXPECT_THAT(Column(list, 6), ElementsAre(0, 0, 0, 0, 9));  // P9
  EXPECT_FLOAT_EQ(list.front().values.Get(2), 10.001f);
  EXPECT_TRUE(rig.input.State().timeSignature[1]);
  EXPECT_FALSE(rig.input.State().timeSignature[2]);
}

TEST(ScoreReader, StoredValuesPerCode) {
  ReaderRig rig;
  rig.options.interpretTremolos = 1;
  ASSERT_TRUE(
      rig.Read("1 1 10 3 125 6 7 8 9 10 11 12 13\n"  // N > 11: P13 cleared; P5 125 -> 20
               "1 2 10 3 100 6 7 8 9 10 11 2\n"
               "6 3 10 4 5 6 -1 8 9 10 44 12\n"  // tremolo beam: P3 from P11
               "6 3 20 4 5 6 1 8 9 10 44 12\n"
               "8 4 0 4 5 6 7 8 33 10 11 12 -2\n"
               "17 4 5 4 -3\n"
               "10 4 5 1\n15 4 5 1\n12 4 5\n13 4 5\n19 4 5\n0 4 5\n"));
  EXPECT_THAT(Column(rig.input.StaffList(1), 4), ElementsAre(20));
  EXPECT_EQ(rig.input.StaffList(1).front().values.Size(), 9u);
  EXPECT_EQ(rig.input.StaffList(1).front().values.Get(8), 0);
  EXPECT_EQ(rig.input.StaffList(1).front().values.Get(7), 12);
  EXPECT_THAT(Column(rig.input.StaffList(2), 4), ElementsAre(100));
  EXPECT_THAT(Column(rig.input.StaffList(3), 2), ElementsAre(20, 44));
  EXPECT_THAT(Column(rig.input.StaffList(3), 7), ElementsAre(10, 10));  // value 7 is P10
  const ItemList& four = rig.input.StaffList(4);
  ASSERT_EQ(four.size(), 2u);  // the dropped codes leave only the staff and key signature
  EXPECT_THAT(Column(four, 0), ElementsAre(8, 17));
  EXPECT_EQ(four.front().values.Get(3), 33);
  EXPECT_EQ(four.front().values.Get(4), -2);
  EXPECT_EQ(four.back().values.Get(3), -3);
  EXPECT_EQ(rig.input.State().highestStaff, 4);
}

TEST(ScoreReader, OrnamentLinesTwentyOneAndTwentyTwoBecomeSymbols) {
  ReaderRig rig;
  ASSERT_TRUE(
      rig.Read("7 1 10 0 0 30 21 40 0 0 5 6\n"
               "7 2 10 0 0 30 22 40 0 0 0 0\n"
               "7 3 10 0 0 30 21 40 0 0 100 100\n"
               "7 4 10 0 0 30 0 40\n"));
  EXPECT_THAT(Column(rig.input.StaffList(1), 0), ElementsAre(9, 9, 9, 9));
  EXPECT_THAT(Column(rig.input.StaffList(1), 2), ElementsAre(10, 30, 38, 39));
  EXPECT_THAT(Column(rig.input.StaffList(1), 3), ElementsAre(70, 71, 71, 70));
  EXPECT_THAT(Column(rig.input.StaffList(2), 2), ElementsAre(38, 39));
  EXPECT_THAT(Column(rig.input.StaffList(2), 3), ElementsAre(71, 70));
  EXPECT_THAT(Column(rig.input.StaffList(3), 3), ElementsAre(71, 70));
  EXPECT_THAT(Column(rig.input.StaffList(4), 0), ElementsAre(7));
  EXPECT_THAT(Column(rig.input.StaffList(4), 3), ElementsAre(30));  // value 3 is P6
}

TEST(ScoreReader, TextItemsKeepTheirTextWithoutTheFontCode) {
  ReaderRig rig;
  ASSERT_TRUE(
      rig.Read("16 1 10 5\n\"_00Allegro\"\n16 1 20 5 0 0 0 0 0 0 0 6\n\"_02cresc\"\n"
               "16 1 30 5 0 0 0 0 0 0 0 20\n\"_00ab\\x00cd\"\n"));
  const ItemList& list = rig.input.StaffList(1);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list.front().text, "Allegro");
  EXPECT_EQ(std::next(list.begin())->text, "cre");  // cut to P12 - 3
  EXPECT_EQ(list.back().text, "ab");                // ends at a zero byte
  EXPECT_THAT(Column(list, 3), ElementsAre(5, 5, 5));
}

TEST(ScoreReader, CrossStaffNotesFollowTheOtherStaffsClef) {
  ReaderRig rig;
  ASSERT_TRUE(rig.Read(
      "3 1 0 0 1\n3 2 0 0 0\n3 3 0 0 2\n3 4 0 0 7\n"
      "1 1 10 5 0 0 0 0 0 0 0 1\n"  // bass staff, note drawn on the treble staff above: +12
      "1 2 10 5 0 0 0 0 0 0 0 2\n"  // treble staff, note on the bass staff below: -12
      "1 2 20 5 0 0 0 0 0 0 0 1\n"  // treble to tenor above (at 20): -8
      "1 3 10 5 0 0 0 0 0 0 0 1\n"  // next to a clef of unknown type: unchanged
      "1 3 20 5 0 0 0 0 0 0 0 0\n"  // not a cross-staff note
      "3 3 15 0 3\n1 3 30 5 0 0 0 0 0 0 0 2\n"));  // tenor over treble: +8
  rig.input.FinishGroupRead();
  EXPECT_THAT(Column(rig.input.StaffList(1), 3), ElementsAre(0, 17));
  EXPECT_THAT(Column(rig.input.StaffList(2), 3), ElementsAre(0, -7, -3));
  EXPECT_THAT(Column(rig.input.StaffList(3), 3), ElementsAre(0, 5, 0, 5, 13));
  EXPECT_EQ(rig.input.ClefAt(3, 14.9f), 2);
  EXPECT_EQ(rig.input.ClefAt(3, 15.0f), 3);
  EXPECT_EQ(rig.input.ClefAt(5, 15.0f), 0);
  EXPECT_EQ(rig.input.ClefAt(4, 1.0f), 7);
}

TEST(ScoreReader, ProgressIsReportedAtEachTenth) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "10 1 1 0\n";  // 5 words each: 100 words of items
  ReaderRig rig;
  ASSERT_TRUE(rig.Read(text));
  std::vector<std::string> shown;
  for (const auto& s : rig.host.statuses) {
    EXPECT_EQ(s.pane, 1);
    shown.push_back(s.text);
  }
  ASSERT_EQ(shown.size(), 10u);
  EXPECT_EQ(shown.front(), "10 percent read");
  EXPECT_EQ(shown[4], "50 percent read");
  EXPECT_EQ(shown.back(), "100 percent read");
  EXPECT_EQ(rig.input.ReportReadProgress(37, 100, 2), 4);
}

TEST(ScoreReader, CancelDuringProgressStopsTheRead) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "9 1 " + std::to_string(i) + " 0 1\n";
  ReaderRig rig;
  rig.host.cancelAtReport = 3;
  EXPECT_FALSE(rig.Read(text));
  EXPECT_TRUE(rig.host.messages.empty());
  EXPECT_EQ(rig.host.statuses.size(), 3u);
  EXPECT_LT(rig.input.StaffList(1).size(), 20u);
}

TEST(ScoreReader, HeaderWordDecidesTheBodyOffsetUnlessTheLengthDoes) {
  // H = words after the header plus one, so the length fits neither header: H alone decides.
  auto notes = [](int records) {
    std::string text;
    for (int i = 0; i < records; ++i) text += "1 1 " + std::to_string(i % 200) + " 0 0\n";
    return text;
  };
  {
    ReaderRig rig;
    ASSERT_TRUE(rig.Read("H 14200 T 5\n" + notes(2365) + "9 1 1 0\n"));
    EXPECT_EQ(rig.input.State().headerWord, 14200);
    EXPECT_EQ(rig.input.StaffList(1).size(), 2366u);
  }
  {
    ReaderRig rig;
    ASSERT_TRUE(rig.Read("H 14201 T 5 offset 4\n" + notes(2366)));
    EXPECT_EQ(rig.input.StaffList(1).size(), 2366u);
  }
  {
    // The same items behind a two-byte header are misread: H alone decides here.
    ReaderRig rig;
    rig.Read("H 14201 T 5\n" + notes(2366));
    EXPECT_NE(rig.input.StaffList(1).size(), 2366u);
  }
  {
    // A large file with a two-byte header: its length shows the header.
    ReaderRig rig;
    ASSERT_TRUE(rig.Read(notes(3000)));
    EXPECT_EQ(rig.input.State().headerWord, 18006);
    EXPECT_EQ(rig.input.StaffList(1).size(), 3000u);
  }
}

TEST(ScoreReader, FiftyThreeParametersAtMost) {
  std::string n53 = "1 1 10";
  for (int i = 3; i < 53; ++i) n53 += " 0";
  ReaderRig rig;
  ASSERT_TRUE(rig.Read(n53 + "\n"));
  EXPECT_EQ(rig.input.StaffList(1).size(), 1u);
  ReaderRig refused;
  EXPECT_FALSE(refused.Read("9 1 5 0 1\n" + n53 + " 0\n9 1 20 0 1\n"));
  EXPECT_THAT(refused.host.MessageIds(), ElementsAre(res::kTooManyParameters));
  EXPECT_EQ(refused.host.messages[0].text,
            "Error: Maximum number of parameters exceeded for this item");
  EXPECT_EQ(refused.input.StaffList(1).size(), 1u);  // what came before stays
}

TEST(ScoreReader, ParameterCountsAreReadByTheirIntegerPart) {
  std::string n53 = "9 1 20";
  for (int i = 3; i < 53; ++i) n53 += " 0";
  ReaderRig rig;
  ASSERT_TRUE(rig.Read("N=5.0000153 1 1 10 4 0\nN=53.9 " + n53 + "\n"));
  EXPECT_THAT(Column(rig.input.StaffList(1), 0), ElementsAre(1, 9));
  ReaderRig refused;
  EXPECT_FALSE(refused.Read("N=54 " + n53 + " 0\n"));
  EXPECT_THAT(refused.host.MessageIds(), ElementsAre(res::kTooManyParameters));
}

TEST(ScoreReader, FileSignatures) {
  files::Bytes v1(140, 0);
  const std::uint8_t head[] = {0x4B, 0x81, 0x10, 0x00};
  const std::uint8_t mark[] = {0x00, 0x8A, 0x81, 0x02, 0xB1, 0x46, 0x02};
  std::copy(std::begin(head), std::end(head), v1.begin());
  std::copy(std::begin(mark), std::end(mark), v1.begin() + 128);
  {
    ReaderRig rig;
    EXPECT_FALSE(rig.input.ReadScoreBytes(v1, "OLD.MUS"));
    EXPECT_THAT(rig.host.MessageIds(), ElementsAre(res::kScoreVersion1));
    EXPECT_EQ(rig.host.messages[0].text, "OLD.MUS is a Score version 1 file");
    EXPECT_EQ(rig.input.State().version, 1);
  }
  {
    ReaderRig rig;
    v1[134] = 0x03;
    EXPECT_FALSE(rig.input.ReadScoreBytes(v1, "X.MUS"));
    EXPECT_THAT(rig.host.MessageIds(), ElementsAre(res::kNotScoreFile));
    EXPECT_EQ(rig.host.messages[0].text, "X.MUS is not a Score file");
  }
  {
    ReaderRig rig;
    v1[2] = 0x11;
    EXPECT_FALSE(rig.input.ReadScoreBytes(v1, "MID.MUS"));
    EXPECT_THAT(rig.host.MessageIds(), ElementsAre(res::kIntermediateVersion));
  }
  {
    ReaderRig rig;
    EXPECT_FALSE(rig.input.ReadScoreBytes(files::Bytes{0x4B, 0x81}, "MID.MUS"));
    EXPECT_THAT(rig.host.MessageIds(), ElementsAre(res::kIntermediateVersion));
  }
  {
    ReaderRig rig;
    ASSERT_TRUE(rig.Read("9 1 5 0 1\n"));
    EXPECT_EQ(rig.input.State().version, 2);
    EXPECT_EQ(rig.input.State().trailerLength, 6);
  }
}

TEST(ScoreReader, SmallestPositionAndHighestStaff) {
  ReaderRig rig;
  ASSERT_TRUE(rig.Read("9 1 3 0 1\n1 2 12.5 0 0\n2 1 0 0\n3 40 7 0 0\n8 33 1\n"));
  EXPECT_FLOAT_EQ(rig.input.State().smallestPosition, 7.0f);
  EXPECT_EQ(rig.input.State().highestStaff, 2);  // 33 and 40 lie above the stacking limit
  EXPECT_EQ(rig.input.StaffList(40).size(), 1u);
}

void WriteFile(const std::filesystem::path& path, std::string_view text) {
  const files::Bytes bytes = Build(text);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

TEST(ScoreReader, GroupFilesAreReadLastFirstAndStacked) {
  TempFolder folder;
  WriteFile(folder.path() / "PIECE3.PAG", "8 1 0\n8 2 0\n1 2 10 2 0 0 0 0 0 0 0 2\n3 1 0 0 1\n");
  WriteFile(folder.path() / "PIECE2.PAG", "8 1 0\n8 3 0\n14 3 50 1 0\n18 2 0 0 99\n");
  WriteFile(folder.path() / "PIECE1.PAG", "8 1 0\n9 40 5 0 1\n");
  ReaderRig rig;
  rig.options.interpretMultipleSystems = 1;
  std::string name = (folder.path() / "PIECE1.PAG").string();
  const std::string given = name;
  ASSERT_TRUE(rig.input.ReadGroupFiles(name, 3));
  EXPECT_EQ(name, given);
  std::vector<std::string> reading;
  for (const auto& s : rig.host.statuses) {
    if (s.pane == 0) reading.push_back(s.text);
  }
  EXPECT_THAT(reading, ElementsAre("Reading file " + (folder.path() / "PIECE3.PAG").string(),
                                   "Reading file " + (folder.path() / "PIECE2.PAG").string(),
                                   "Reading file " + (folder.path() / "PIECE1.PAG").string()));
  EXPECT_EQ(rig.options.interpretMultipleSystems, 0);
  EXPECT_EQ(rig.input.State().severalFiles, 1);
  EXPECT_EQ(rig.input.State().staffOffset, 6);
  EXPECT_EQ(rig.input.StaffList(1).size(), 2u);  // PIECE3: staves 1 and 2
  EXPECT_EQ(rig.input.StaffList(2).size(), 2u);
  EXPECT_EQ(rig.input.StaffList(3).size(), 1u);  // PIECE2: staves 3 ... 5
  EXPECT_EQ(rig.input.StaffList(4).size(), 1u);
  EXPECT_EQ(rig.input.StaffList(5).size(), 1u);
  EXPECT_EQ(rig.input.BarlineList(5).size(), 1u);
  EXPECT_TRUE(rig.input.State().timeSignature[4]);
  EXPECT_EQ(rig.input.StaffList(6).size(), 1u);  // PIECE1: staff 6 (and 45, beyond 32)
  EXPECT_EQ(rig.input.StaffList(45).size(), 1u);
  rig.input.FinishGroupRead();
  EXPECT_EQ(rig.input.State().staffOffset, 0);
  EXPECT_EQ(rig.input.State().severalFiles, 0);
  EXPECT_EQ(rig.input.StaffList(2).back().values.Get(3), -10);  // treble to bass below: -12

  // A missing member fails the group with message 9 and leaves no offset behind.
  ReaderRig missing;
  std::string four = (folder.path() / "PIECE1.PAG").string();
  EXPECT_FALSE(missing.input.ReadGroupFiles(four, 4));
  EXPECT_EQ(four, given);
  EXPECT_THAT(missing.host.MessageIds(), ElementsAre(res::kCannotRead));
  EXPECT_EQ(missing.host.messages[0].text,
            "Unable to open file " + (folder.path() / "PIECE4.PAG").string() + " for reading");
  EXPECT_EQ(missing.input.State().staffOffset, 0);

  // A cancel at "Reading file" fails without a message.
  ReaderRig cancelled;
  cancelled.host.cancelAtReport = 1;
  std::string one = given;
  EXPECT_FALSE(cancelled.input.ReadGroupFiles(one, 1));
  EXPECT_TRUE(cancelled.host.messages.empty());
}

}  // namespace
}  // namespace vellumix::test
