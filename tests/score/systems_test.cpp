#include "score/systems.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "res/strings.h"
#include "score_test_util.h"
#include "systems_test_util.h"

namespace vellumix::test {
namespace {

namespace fs = std::filesystem;

// One staff of three bars' worth of notes: staff item, opening barline, then `body`.
TEST(Systems, BarValuesOfTimeSignaturesAndEmptyBars) {
  SystemsRig rig;
  ASSERT_TRUE(rig.Group("PAGE.MUS",
                        "8 1 0 0 0 0 0 0 1\n"
                        "14 1 0.0004 1\n"
                        "18 1 2 0 3 4\n"  // 3/4
                        "1 1 10 5 0 0 1\n"
                        "14 1 40 1\n"
                        "18 1 42 0 6 8\n"  // 6/8
                        "1 1 50 5 0 0 1\n"
                        "14 1 80 1\n"
                        "18 1 82 0 3 4 0 1 8\n"  // 3/4 + 1/8
                        "2 1 90 0 0 0 1\n"
                        "14 1 120 1\n"
                        "9 1 130 0 52\n"  // no note or rest in the last bar
                        "14 1 160 1\n"));
  EXPECT_TRUE(rig.host.messages.empty());
  EXPECT_EQ(rig.File(0),
            "40.0000 0.0000 3.0000 3.0000 2.0000 1.0000\r\n"
            "80.0000 0.0000 3.0000 6.0000 3.0000 0.0000\r\n"
            "120.0000 0.0000 3.5000 7.0000 3.0000 0.0000\r\n"
            "160.0000 0.0000 0.0000 7.0000 3.0000 0.0000\r\n");
  const std::string staff =
      "18.0000 2.0010 3.0000 4.0000 0.0000 0.0000 \r\n"
      "1.0000 10.0000 5.0000 0.0000 1.0000 0.0000 0.0000 0.0000 \r\n"
      "18.0000 42.0010 6.0000 8.0000 0.0000 0.0000 \r\n"
      "1.0000 50.0000 5.0000 0.0000 1.0000 0.0000 0.0000 0.0000 \r\n"
      "18.0000 82.0010 3.0000 4.0000 1.0000 8.0000 \r\n"
      "2.0000 90.0000 1.0000 0.0000 \r\n"
      "9.0000 130.0000 52.0000 \r\n";
  EXPECT_EQ(rig.File(1), staff);
  EXPECT_EQ(rig.File(kTempoFileNumber), staff);  // the top staff, with text symbols on
  EXPECT_EQ(rig.systems.Numerator(), 7);
  EXPECT_EQ(rig.systems.Denominator(), 8);
  EXPECT_EQ(rig.systems.SecondNumerator(), 1);
  EXPECT_EQ(rig.systems.SecondDenominator(), 8);
  EXPECT_EQ(rig.systems.BeatsPerBar(), 3.5f);
  EXPECT_EQ(rig.systems.FirstBarLength(), 3.0f);
  EXPECT_EQ(rig.systems.FirstBarPending(), 0);
  EXPECT_EQ(rig.systems.SystemCounter(), 1);
  EXPECT_EQ(rig.systems.FirstSystem(), 0);
  EXPECT_TRUE(rig.systems.Systems().empty());
  EXPECT_TRUE(rig.score.StaffList(1).empty());
  EXPECT_TRUE(rig.score.BarlineList(1).empty());
  EXPECT_EQ(rig.score.State().groupRead, 1);
  EXPECT_FALSE(rig.score.State().timeSignature[1]);
  EXPECT_EQ(rig.host.statuses.back().text,
            "Writing to file " + rig.lib.slashed() + "VLMIX0.TMP, system 1");

  // The time signature carries over to the next group; the counter runs on.
  ASSERT_TRUE(rig.Group("NEXT.MUS", "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n1 1 10 1\n14 1 40 1\n"));
  EXPECT_TRUE(rig.host.messages.empty());
  EXPECT_EQ(files::SplitLines(rig.File(0)).back(), "40.0000 0.0000 3.5000 7.0000 3.0000 1.0000");
  EXPECT_EQ(rig.systems.SystemCounter(), 2);
}

TEST(Systems, TheLastItemOfTheStaffCountsForNotesOnly) {
  SystemsRig rig;
  // A courtesy 2/4 as the staff's last item leaves the last bar in 3/4; a note as the last item
  // makes its bar one with notes.
  ASSERT_TRUE(rig.Group("PAGE.MUS",
                        "8 1 0 0 0 0 0 0 1\n14 1 0.0004 2\n18 1 2 0 3 4\n"
                        "1 1 10 1\n14 1 50 2\n1 1 60 1\n18 1 90 0 2 4\n14 1 100 2\n"
                        "8 2 0 0 0 0 0 0 2\n1 2 10 1\n1 2 120 1\n14 1 150 2\n"));
  EXPECT_TRUE(rig.host.messages.empty());
  EXPECT_EQ(rig.File(0),
            "50.0000 0.0000 3.0000 3.0000 2.0000 1.0000\r\n"
            "100.0000 0.0000 3.0000 3.0000 2.0000 0.0000\r\n"
            "150.0000 0.0000 0.0000 3.0000 2.0000 0.0000\r\n");
  EXPECT_EQ(rig.systems.Numerator(), 3);

  SystemsRig last;
  ASSERT_TRUE(last.Group("PAGE.MUS",
                         "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 3 4\n"
                         "14 1 50 1\n1 1 60 1\n14 1 100 1\n"));
  EXPECT_EQ(last.File(0),
            "50.0000 0.0000 0.0000 3.0000 2.0000 1.0000\r\n"
            "100.0000 0.0000 3.0000 3.0000 2.0000 0.0000\r\n");
}

TEST(Systems, InstrumentNumbersOfAStaffItem) {
  SystemsRig rig;
  // P9 = 2 twice: the second staff takes the lowest free number (1); P9 = 0 with 1 and 2 taken
  // is written as instrument 3.
  ASSERT_TRUE(rig.Group("PAGE.MUS",
                        "8 1 0 0 0 0 0 0 2\n8 2 0 0 0 0 0 0 2\n8 3 0 0 0 0 0 0 0\n"
                        "14 1 0.0004 3\n18 1 2 0 4 4\n"
                        "1 1 10 1\n1 2 10 2\n1 3 10 3\n14 1 50 3\n"));
  EXPECT_TRUE(rig.host.messages.empty());
  EXPECT_EQ(rig.File(2),
            "18.0000 2.0010 4.0000 4.0000 0.0000 0.0000 \r\n"
            "1.0000 10.0000 1.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(rig.File(1), "1.0000 10.0000 2.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(rig.File(3), "1.0000 10.0000 3.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(rig.File(kTempoFileNumber), rig.File(3));
  EXPECT_EQ(rig.File(0), "50.0000 0.0000 4.0000 4.0000 2.0000 1.0000\r\n");
  for (int k : {1, 2, 3}) EXPECT_TRUE(rig.systems.InRun(k)) << k;
  EXPECT_FALSE(rig.systems.InSystem(1));  // cleared after the system

  // With the stave transposition option the staff items are written too.
  SystemsRig stave;
  stave.options.useStaveTransposition = 1;
  ASSERT_TRUE(stave.Group("PAGE.MUS",
                          "8 1 0 0 0 0 0 0 4 0 0 0 -2\n14 1 0.0004 1\n18 1 2 0 4 4\n"
                          "1 1 10 1\n14 1 50 1\n"));
  EXPECT_EQ(stave.File(4),
            "8.0000 0.0000 4.0000 -2.0000 \r\n"
            "18.0000 2.0010 4.0000 4.0000 0.0000 0.0000 \r\n"
            "1.0000 10.0000 1.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
}

TEST(Systems, UnusableInstrumentNumbers) {
  SystemsRig rig;
  rig.options.interpretTextSymbols = 0;
  rig.options.interpretMetronomeMarks = 0;
  // Not a number and below 0 take a free number like 0; 350 and up are left out (350 would
  // name the tempo file); 349 is the last instrument file.
  ASSERT_TRUE(rig.Group("PAGE.MUS",
                        "8 1 0 0 0 0 0 0 nan\n8 2 0 0 0 0 0 0 -5\n8 3 0 0 0 0 0 0 350\n"
                        "8 4 0 0 0 0 0 0 inf\n8 5 0 0 0 0 0 0 349\n8 6 0 0 0 0 0 0 2.5\n"
                        "8 7 0 0 0 0 0 0 1e30\n"
                        "14 1 0.0004 7\n18 1 2 0 4 4\n"
                        "1 1 10 1\n1 2 10 2\n1 3 10 3\n1 4 10 4\n1 5 10 5\n1 6 10 6\n1 7 10 7\n"
                        "14 1 50 7\n"));
  EXPECT_TRUE(rig.host.messages.empty());
  EXPECT_EQ(rig.File(1),
            "18.0000 2.0010 4.0000 4.0000 0.0000 0.0000 \r\n"
            "1.0000 10.0000 1.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(rig.File(2), "1.0000 10.0000 2.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(rig.File(349), "1.0000 10.0000 5.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  // 2.5 is 2, taken: the lowest free number.
  EXPECT_EQ(rig.File(3), "1.0000 10.0000 6.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_FALSE(fs::exists(rig.lib.path() / "TEMPO.TMP"));
  EXPECT_EQ(rig.FileCount(), 5);  // bar file, 1, 2, 3, 349
  for (int s = 1; s <= 7; ++s) EXPECT_TRUE(rig.score.StaffList(s).empty()) << s;

  // Outside "Only instruments" ... "to" ...: emptied, not written.
  SystemsRig only;
  only.options.transcribeAllInstruments = 0;
  only.options.firstInstrument = 2;
  only.options.lastInstrument = 3;
  ASSERT_TRUE(only.Group("PAGE.MUS",
                         "8 1 0 0 0 0 0 0 1\n8 2 0 0 0 0 0 0 3\n14 1 0.0004 2\n"
                         "18 1 2 0 4 4\n1 1 10 1\n1 2 10 2\n14 1 50 2\n"));
  EXPECT_FALSE(fs::exists(only.lib.path() / "VLMIX1.TMP"));
  EXPECT_EQ(only.File(3), "1.0000 10.0000 2.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_TRUE(only.score.StaffList(1).empty());
}

TEST(Systems, LateInstrumentsGetRestsForEveryBarWrittenSoFar) {
  SystemsRig rig;
  rig.host.anacrusisAnswers.push_back({true, 1.5f});
  ASSERT_TRUE(rig.Group("A.MUS",
                        "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 3 4\n"
                        "1 1 10 1\n14 1 50 1\n1 1 60 1\n14 1 100 1\n"));
  ASSERT_TRUE(rig.Group("B.MUS",
                        "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n"
                        "1 1 12 1\n14 1 50 1\n1 1 60 1\n14 1 100 1\n"));
  EXPECT_TRUE(rig.host.messages.empty());
  // Instrument 2 first seen in the third system.
  ASSERT_TRUE(rig.Group("C.MUS",
                        "8 1 0 0 0 0 0 0 1\n8 2 0 0 0 0 0 0 2\n14 1 0.0004 2\n"
                        "1 1 15 1\n1 2 15 2\n14 1 50 2\n1 1 60 1\n14 1 100 2\n"));
  ASSERT_EQ(rig.host.messages.size(), 1u);
  EXPECT_EQ(rig.host.messages[0].text,
            "A new instrument 2 has been found in file group " + rig.in.slashed() +
                "C.MUS.  Please specify the actual number of beats in bar 1 (in case an "
                "anacrusis has occured), so that VELLUMIX can add the correct bars rest.");
  EXPECT_EQ(rig.startAnacrusis, std::vector<float>{3.0f});  // the first-bar length
  EXPECT_EQ(rig.systems.AnacrusisAsked(), 1);
  EXPECT_EQ(rig.systems.AnacrusisLength(), 0.0f);  // used
  const std::string note2 = "1.0000 15.0000 2.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n";
  // The anacrusis shortens the first rest; the second system opens with a zero-length rest at
  // the smallest position of the group being read.
  EXPECT_EQ(rig.File(2),
            "2.0000 49.0000 1.5000 0.0000 \r\n"
            "2.0000 99.0000 3.0000 0.0000 \r\n"
            "2.0000 15.0000 0.0000 0.0000 \r\n"
            "2.0000 49.0000 3.0000 0.0000 \r\n"
            "2.0000 99.0000 3.0000 0.0000 \r\n" +
                note2);

  // A fourth system: instrument 2 is absent and gets a rest a bar, instrument 3 enters late and
  // gets full bars (the anacrusis is not asked again). Its second bar holds no note.
  ASSERT_TRUE(rig.Group("D.MUS",
                        "8 1 0 0 0 0 0 0 1\n8 2 0 0 0 0 0 0 3\n14 1 0.0004 2\n"
                        "1 1 20 1\n1 2 20 3\n14 1 50 2\n9 1 70 0 52\n14 1 100 2\n"));
  EXPECT_EQ(rig.host.messages.size(), 1u);
  EXPECT_EQ(rig.File(2),
            "2.0000 49.0000 1.5000 0.0000 \r\n"
            "2.0000 99.0000 3.0000 0.0000 \r\n"
            "2.0000 15.0000 0.0000 0.0000 \r\n"
            "2.0000 49.0000 3.0000 0.0000 \r\n"
            "2.0000 99.0000 3.0000 0.0000 \r\n" +
                note2 +
                "2.0000 20.0000 0.0000 0.0000 \r\n"
                "2.0000 49.0000 3.0000 0.0000 \r\n"
                "2.0000 99.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(rig.File(3),
            "2.0000 49.0000 3.0000 0.0000 \r\n"
            "2.0000 99.0000 3.0000 0.0000 \r\n"
            "2.0000 20.0000 0.0000 0.0000 \r\n"
            "2.0000 49.0000 3.0000 0.0000 \r\n"
            "2.0000 99.0000 3.0000 0.0000 \r\n"
            "2.0000 20.0000 0.0000 0.0000 \r\n"
            "2.0000 49.0000 3.0000 0.0000 \r\n"
            "2.0000 99.0000 3.0000 0.0000 \r\n"
            "1.0000 20.0000 3.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  const auto bars = files::SplitLines(rig.File(0));
  ASSERT_EQ(bars.size(), 8u);
  EXPECT_EQ(bars[7], "100.0000 0.0000 0.0000 3.0000 2.0000 0.0000");

  // A new run forgets the instruments and asks about the anacrusis again.
  rig.systems.StartRun();
  EXPECT_FALSE(rig.systems.InRun(1));
  EXPECT_EQ(rig.systems.FirstSystem(), 1);
  EXPECT_EQ(rig.systems.AnacrusisAsked(), 0);
  EXPECT_EQ(rig.systems.BeatsPerBar(), 0.0f);
  EXPECT_EQ(rig.systems.FirstBarPending(), 1);
  EXPECT_EQ(rig.systems.Numerator(), 3);  // the time signature itself stays
  EXPECT_EQ(rig.systems.SystemCounter(), 4);
}

TEST(Systems, AnacrusisAnswersOutsideTheirRangeAreAskedAgain) {
  SystemsRig rig;
  rig.host.anacrusisAnswers = {{true, 0.1f}, {true, 25.0f}, {true, 0.125f}};
  // A first bar of 32/2 (64 beats) starts the question at its upper limit.
  ASSERT_TRUE(rig.Group("A.MUS",
                        "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 32 2\n"
                        "1 1 10 1\n14 1 50 1\n"));
  ASSERT_TRUE(rig.Group("B.MUS",
                        "8 1 0 0 0 0 0 0 1\n8 2 0 0 0 0 0 0 2\n14 1 0.0004 2\n"
                        "1 1 10 1\n1 2 10 2\n14 1 50 2\n"));
  EXPECT_EQ(rig.host.MessageIds(), (std::vector<int>{-1, 0, -1, 0, -1}));
  EXPECT_EQ(rig.host.messages[1].text, "Enter a number between 0.125 and 20.");
  EXPECT_EQ(rig.startAnacrusis, (std::vector<float>{20.0f, 0.125f, 20.0f}));
  EXPECT_EQ(rig.File(2),
            "2.0000 49.0000 0.1250 0.0000 \r\n"
            "1.0000 10.0000 2.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
}

TEST(Systems, TwoSystemsOfOneFileWithOpeningBarlines) {
  SystemsRig rig;
  rig.options.interpretMultipleSystems = 1;
  // Staves 1-3 and 4-6, each system opening with a barline at its staff items; 2/4 is on the
  // middle staff of the upper system, 6/8 on the top staff of the lower one.
  const std::string page =
      "8 1 0 0 0 0 0 0 1\n8 2 0 0 0 0 0 0 2\n8 3 0 0 0 0 0 0 3\n"
      "8 4 0 0 0 0 0 0 1\n8 5 0 0 0 0 0 0 2\n8 6 0 0 0 0 0 0 3\n"
      "14 1 0.0004 3\n14 1 60 3\n14 1 120 3\n14 1 180 3\n"
      "14 4 0.0004 3\n14 4 60 3\n14 4 120 3\n14 4 180 3\n"
      "18 5 2 0 2 4\n1 5 10 5\n1 5 70 5\n1 5 130 5\n"
      "18 3 2 0 6 8\n1 3 10 3\n1 3 70 3\n"
      "1 4 10 4\n1 1 20 1\n";
  ASSERT_TRUE(rig.ReadOnly("PAGE.MUS", page));
  rig.systems.FindSystems(rig.Name("PAGE.MUS"));
  ASSERT_EQ(rig.systems.Systems().size(), 2u);
  EXPECT_EQ(rig.systems.Systems().front().firstStaff, 4);
  EXPECT_EQ(rig.systems.Systems().front().staffCount, 3);
  EXPECT_EQ(rig.systems.Systems().back().firstStaff, 1);
  EXPECT_EQ(rig.systems.Systems().back().staffCount, 3);
  EXPECT_EQ(rig.score.BarlineList(1).size(), 3u);  // the opening barlines are gone
  EXPECT_EQ(rig.score.BarlineList(4).size(), 3u);
  rig.score.FinishGroupRead();
  ASSERT_TRUE(rig.systems.WriteSystems(rig.Name("PAGE.MUS")));
  EXPECT_TRUE(rig.host.messages.empty());

  EXPECT_EQ(rig.File(0),
            "60.0000 0.0000 2.0000 2.0000 2.0000 1.0000\r\n"
            "120.0000 0.0000 2.0000 2.0000 2.0000 0.0000\r\n"
            "180.0000 0.0000 2.0000 2.0000 2.0000 0.0000\r\n"
            "60.0000 0.0000 3.0000 6.0000 3.0000 1.0000\r\n"
            "120.0000 0.0000 3.0000 6.0000 3.0000 0.0000\r\n"
            "180.0000 0.0000 0.0000 6.0000 3.0000 0.0000\r\n");
  // Instrument 1: the upper system's staff, then the lower one's.
  EXPECT_EQ(rig.File(1),
            "1.0000 10.0000 4.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n"
            "1.0000 20.0000 1.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(rig.File(3),
            "18.0000 2.0010 6.0000 8.0000 0.0000 0.0000 \r\n"
            "1.0000 10.0000 3.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n"
            "1.0000 70.0000 3.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(rig.File(kTempoFileNumber), rig.File(3));  // staff 6 holds only its staff item
  EXPECT_EQ(rig.systems.SystemCounter(), 2);
  for (int s = 1; s <= 6; ++s) EXPECT_TRUE(rig.score.StaffList(s).empty()) << s;
}

TEST(Systems, MultipleSystemsQuestion) {
  SystemsRig rig;
  // Eight staves, barlines spanning four: two systems on the page.
  std::string page;
  for (int s = 1; s <= 8; ++s) {
    page += "8 " + std::to_string(s) + " 0 0 0 0 0 0 " + std::to_string((s - 1) % 4 + 1) + "\n1 " +
            std::to_string(s) + " 10 1\n";
  }
  page += "18 1 2 0 4 4\n18 5 2 0 4 4\n14 1 0.0004 4\n14 1 50 4\n14 5 0.0004 4\n14 5 50 4\n";
  rig.host.multipleSystemsAnswers.push_back({true, true});
  ASSERT_TRUE(rig.Group("PAGE.MUS", page));
  ASSERT_EQ(rig.host.messages.size(), 1u);
  EXPECT_EQ(rig.host.messages[0].id, res::kMaybeMultipleSystems);
  EXPECT_EQ(rig.host.messages[0].text,
            "It appears there may be more than one system in file " + rig.Name("PAGE.MUS") +
                ". Do you wish to switch on Interpret Multiple Systems?");
  EXPECT_EQ(rig.options.interpretMultipleSystems, 1);
  EXPECT_EQ(rig.systems.AskAgain(), 0);
  EXPECT_EQ(files::SplitLines(rig.File(0)).size(), 2u);  // both systems
  EXPECT_EQ(rig.systems.SystemCounter(), 2);

  // The next such file (after a group of several files switched the option off) switches it on
  // without asking.
  rig.options.interpretMultipleSystems = 0;
  ASSERT_TRUE(rig.Group("PAGE2.MUS", page));
  EXPECT_EQ(rig.host.messages.size(), 1u);
  EXPECT_EQ(rig.options.interpretMultipleSystems, 1);
  EXPECT_EQ(rig.systems.SystemCounter(), 4);

  // Changed in the Options dialog: asked again. A one-system page with the option on offers to
  // switch it off; "No" changes nothing.
  rig.systems.MultipleSystemsOptionChanged();
  EXPECT_EQ(rig.systems.AskAgain(), 1);
  ASSERT_TRUE(rig.Group("ONE.MUS",
                        "8 1 0 0 0 0 0 0 1\n8 2 0 0 0 0 0 0 2\n14 1 0.0004 2\n"
                        "18 1 2 0 4 4\n1 1 10 1\n14 1 50 2\n"));
  ASSERT_EQ(rig.host.messages.size(), 2u);
  EXPECT_EQ(rig.host.messages[1].id, res::kOnlyOneSystem);
  EXPECT_EQ(rig.host.messages[1].text, "It appears that there is only one system in file " +
                                           rig.Name("ONE.MUS") +
                                           ". Do you wish to switch off Interpret Multiple "
                                           "Systems?");
  EXPECT_EQ(rig.options.interpretMultipleSystems, 1);
  EXPECT_EQ(rig.systems.AskAgain(), 1);

  // "Yes" with the box clear switches it off and keeps asking.
  rig.host.multipleSystemsAnswers.push_back({true, false});
  ASSERT_TRUE(rig.Group("ONE2.MUS", "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n1 1 10 1\n14 1 50 1\n"));
  EXPECT_EQ(rig.host.messages.size(), 3u);
  EXPECT_EQ(rig.options.interpretMultipleSystems, 0);
  EXPECT_EQ(rig.systems.AskAgain(), 1);

  // A group of several files is never asked about and forms one system of all its staves.
  SystemsRig group;
  ASSERT_TRUE(group.ReadOnly("PAGE.MUS", page));
  group.score.State().staffOffset = 8;
  group.score.State().severalFiles = 1;
  group.systems.FindSystems(group.Name("PAGE.MUS"));
  EXPECT_TRUE(group.host.messages.empty());
  ASSERT_EQ(group.systems.Systems().size(), 1u);
  EXPECT_EQ(group.systems.Systems().front().staffCount, 8);
}

TEST(Systems, TimeSignatureQuestions) {
  // Unsupported 5/12: 5/6 is refused with message 56 and the dialog is shown again.
  {
    SystemsRig rig;
    rig.host.timeSignatureAnswers = {{true, 5, 6}, {true, 5, 8}};
    ASSERT_TRUE(rig.Group("PAGE.MUS",
                          "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 5 12\n"
                          "1 1 10 1\n14 1 50 1\n"));
    EXPECT_EQ(rig.host.timeSignatureKinds,
              (std::vector<TimeSignatureQuestion>{TimeSignatureQuestion::kUnsupported,
                                                  TimeSignatureQuestion::kUnsupported}));
    ASSERT_EQ(rig.host.MessageIds(), (std::vector<int>{-1, res::kInvalidLowerNumber, -1}));
    EXPECT_EQ(rig.host.messages[0].text,
              "Unsupported time signature 5/12 in bar 1 of staff 1 in "
              "file group " +
                  rig.Name("PAGE.MUS") + ". Please enter a legitimate time signature below.");
    EXPECT_EQ(rig.host.messages[1].text,
              "The lower number in time signature 5/6 is not valid. Please enter again.");
    // Starts where OK can close it: 12 down to 8, the refused 6 down to 4.
    EXPECT_EQ(rig.startTimeSignature, (std::vector<std::pair<int, int>>{{5, 8}, {5, 4}}));
    EXPECT_EQ(rig.File(0), "50.0000 0.0000 2.5000 5.0000 3.0000 1.0000\r\n");
  }
  // No time signature: asked at 4/4; a top number above 32 is refused too.
  {
    SystemsRig rig;
    rig.host.timeSignatureAnswers = {{true, 33, 8}, {true, 3, 8}};
    ASSERT_TRUE(rig.Group("PAGE.MUS",
                          "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n1 1 10 1\n14 1 50 1\n"
                          "1 1 60 1\n14 1 100 1\n"));
    EXPECT_EQ(rig.host.timeSignatureKinds.front(), TimeSignatureQuestion::kNoInitial);
    EXPECT_EQ(rig.host.messages[0].text,
              "No time signature was found in bar 1.  Please enter the correct time signature "
              "below.");
    EXPECT_EQ(rig.host.messages[1].text,
              "The lower number in time signature 33/8 is not valid. Please enter again.");
    EXPECT_EQ(rig.startTimeSignature, (std::vector<std::pair<int, int>>{{4, 4}, {32, 8}}));
    EXPECT_EQ(rig.File(0),
              "50.0000 0.0000 1.5000 3.0000 3.0000 1.0000\r\n"
              "100.0000 0.0000 1.5000 3.0000 3.0000 0.0000\r\n");
  }
  // Two in one bar: asked at the one in force.
  {
    SystemsRig rig;
    rig.host.timeSignatureAnswers = {{true, 4, 4}};
    ASSERT_TRUE(rig.Group("PAGE.MUS",
                          "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 3 4\n"
                          "18 1 20 0 2 4\n1 1 30 1\n14 1 50 1\n1 1 60 1\n"
                          "14 1 100 1\n"));
    EXPECT_EQ(rig.host.timeSignatureKinds,
              std::vector<TimeSignatureQuestion>{TimeSignatureQuestion::kMultiple});
    EXPECT_EQ(rig.host.messages[0].text,
              "More than one  time signature was found in bar 1 of file group " +
                  rig.Name("PAGE.MUS") + ".  Please enter the correct time signature below.");
    EXPECT_EQ(rig.startTimeSignature, (std::vector<std::pair<int, int>>{{3, 4}}));
    EXPECT_EQ(rig.File(0),
              "50.0000 0.0000 4.0000 4.0000 2.0000 1.0000\r\n"
              "100.0000 0.0000 4.0000 4.0000 2.0000 0.0000\r\n");
  }
  // Values a file can hold but the engine can't play: each is asked about, and the question
  // starts at numbers OK can close with.
  for (const char* ts : {"18 1 2 0 nan 4", "18 1 2 0 -3 4", "18 1 2 0 3 4 0 1 -1",
                         "18 1 2 0 3 4 0 nan 8", "18 1 2 0 3 4 0 1 inf", "18 1 2 0 1e30 1e30"}) {
    SCOPED_TRACE(ts);
    SystemsRig rig;
    ASSERT_TRUE(rig.Group("PAGE.MUS", std::string("8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n") + ts +
                                          "\n1 1 10 1\n14 1 50 1\n"));
    EXPECT_EQ(rig.host.timeSignatureKinds,
              std::vector<TimeSignatureQuestion>{TimeSignatureQuestion::kUnsupported});
    ASSERT_EQ(rig.startTimeSignature.size(), 1u);
    const auto [top, bottom] = rig.startTimeSignature[0];
    EXPECT_TRUE(top >= 1 && top <= 32) << top;
    EXPECT_TRUE(bottom == 2 || bottom == 4 || bottom == 8 || bottom == 16 || bottom == 32 ||
                bottom == 64)
        << bottom;
    EXPECT_EQ(files::SplitLines(rig.File(0)).size(), 1u);
  }
  // An additive second part over 16ths doubles the first part: 3/4 + 3/16 is 15/16.
  {
    SystemsRig rig;
    ASSERT_TRUE(rig.Group("PAGE.MUS",
                          "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 3 4 0 3 16\n"
                          "1 1 10 1\n14 1 50 1\n"));
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(rig.File(0), "50.0000 0.0000 3.7500 15.0000 4.0000 1.0000\r\n");
  }
}

TEST(Systems, CancelInAnyQuestionStopsTheGroupWithoutAMessage) {
  struct Case {
    const char* what;
    std::string page;
  };
  const std::vector<Case> cases = {
      {"no time signature", "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n1 1 10 1\n14 1 50 1\n"},
      {"two in a bar",
       "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 3 4\n18 1 5 0 3 4\n1 1 10 1\n14 1 50 1\n"},
      {"unsupported", "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 3 5\n1 1 10 1\n14 1 50 1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SystemsRig rig;
    rig.host.timeSignatureAnswers.push_back({false, 0, 0});
    EXPECT_FALSE(rig.Group("PAGE.MUS", c.page));
    EXPECT_EQ(rig.host.MessageIds(), std::vector<int>{-1});
    EXPECT_EQ(rig.FileCount(), 0);
    EXPECT_EQ(rig.score.State().groupRead, 0);
    EXPECT_TRUE(rig.systems.Systems().empty());
  }
  // The anacrusis question.
  SystemsRig rig;
  rig.host.anacrusisAnswers.push_back({false, 0});
  ASSERT_TRUE(rig.Group("A.MUS",
                        "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 4 4\n1 1 10 1\n"
                        "14 1 50 1\n"));
  EXPECT_FALSE(rig.Group("B.MUS",
                         "8 1 0 0 0 0 0 0 1\n8 2 0 0 0 0 0 0 2\n14 1 0.0004 2\n"
                         "1 1 10 1\n1 2 10 2\n14 1 50 2\n"));
  EXPECT_EQ(rig.host.MessageIds(), std::vector<int>{-1});
  EXPECT_FALSE(fs::exists(rig.lib.path() / "VLMIX2.TMP"));
  EXPECT_EQ(files::SplitLines(rig.File(0)).size(), 1u);  // the stopped system's bars unwritten
  EXPECT_TRUE(rig.score.FillerList().empty());
  for (int i = 1; i <= kMaxBarlineStaff; ++i) EXPECT_TRUE(rig.score.BarlineList(i).empty());

  // A cancel at the status report of a track file.
  SystemsRig cancel;
  ASSERT_TRUE(cancel.ReadOnly("A.MUS",
                              "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 4 4\n"
                              "1 1 10 1\n14 1 50 1\n"));
  cancel.host.cancelAtReport = static_cast<int>(cancel.host.statuses.size()) + 1;
  EXPECT_FALSE(cancel.systems.ProcessFileGroup(cancel.Name("A.MUS")));
  EXPECT_TRUE(cancel.host.messages.empty());
  EXPECT_EQ(cancel.score.State().groupRead, 0);
}

TEST(Systems, NoBarlinesAndNoMusic) {
  {  // Message 60: no barline on the first staff of the system.
    SystemsRig rig;
    EXPECT_FALSE(rig.Group("PAGE.MUS", "8 1 0 0 0 0 0 0 1\n18 1 2 0 4 4\n1 1 10 1\n"));
    ASSERT_EQ(rig.host.MessageIds(), std::vector<int>{res::kNoBarlines});
    EXPECT_EQ(rig.host.messages[0].text, "There are no barlines in staff 1 of file group " +
                                             rig.Name("PAGE.MUS") + ". Cancelling operation.");
    EXPECT_EQ(rig.FileCount(), 0);
  }
  const std::string noMusic =
      "It appears there is no music in file %s. This may be due to "
      "incompatible barring or the absence of any notes.";
  struct Case {
    const char* what;
    std::string page;
    int multipleSystems;
  };
  const std::vector<Case> cases = {
      // With multiple systems on, no staff with barlines: no system at all.
      {"no system", "8 1 0 0 0 0 0 0 1\n18 1 2 0 4 4\n1 1 10 1\n", 1},
      // Only the opening barline: none lies beyond the start.
      {"opening barline only", "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n1 1 10 1\n", 0},
      // Barlines on staff 1, whose list holds nothing: no item to start the bar walk from.
      {"empty time-signature staff", "14 1 0.0004 2\n14 1 50 2\n8 2 0 0 0 0 0 0 1\n1 2 10 1\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SystemsRig rig;
    rig.options.interpretMultipleSystems = c.multipleSystems;
    rig.systems.MultipleSystemsOptionChanged();
    rig.host.multipleSystemsAnswers.push_back({false, false});
    EXPECT_FALSE(rig.Group("PAGE.MUS", c.page));
    ASSERT_FALSE(rig.host.messages.empty());
    EXPECT_EQ(rig.host.messages.back().id, res::kNoMusic);
    EXPECT_EQ(rig.host.messages.back().text,
              res::FormatText(noMusic, {std::string_view(rig.Name("PAGE.MUS"))}));
    EXPECT_EQ(rig.FileCount(), 0);
  }
}

TEST(Systems, BarlinesPassedOverAtTheStartAreNotWritten) {
  SystemsRig rig;
  // Staff 2 carries the time signature and starts at 10: the barline at 5 on staff 1 ends no
  // bar (the staff item of staff 1 only takes those up to 1.0 away).
  ASSERT_TRUE(rig.Group("PAGE.MUS",
                        "8 1 0 0 0 0 0 0 1\n14 1 5 2\n14 1 50 2\n14 1 100 2\n"
                        "8 2 10 0 0 0 0 0 2\n18 2 12 0 2 4\n1 2 20 1\n1 2 60 1\n"
                        "1 1 20 1\n"));
  EXPECT_TRUE(rig.host.messages.empty());
  EXPECT_EQ(rig.File(0),
            "50.0000 0.0000 2.0000 2.0000 2.0000 1.0000\r\n"
            "100.0000 0.0000 2.0000 2.0000 2.0000 0.0000\r\n");
}

TEST(Systems, StaffListsWithoutAStaffItemAreDiscarded) {
  SystemsRig rig;
  rig.options.interpretTextSymbols = 0;
  rig.options.interpretMetronomeMarks = 0;
  ASSERT_TRUE(rig.Group("PAGE.MUS",
                        "8 1 0 0 0 0 0 0 1\n14 1 0.0004 2\n18 1 2 0 4 4\n"
                        "1 1 10 1\n1 2 10 2\n14 1 50 2\n"));
  EXPECT_EQ(rig.FileCount(), 2);  // bar file and instrument 1
  EXPECT_TRUE(rig.score.StaffList(2).empty());
}

TEST(Systems, StaveCountsBeyondTheListsAreBounded) {
  // A group of several files with 160 staves: one system of them all.
  SystemsRig rig;
  rig.options.interpretTextSymbols = 0;
  rig.options.interpretMetronomeMarks = 0;
  rig.score.State().staffOffset = 160;
  rig.score.State().severalFiles = 1;
  rig.score.StaffList(1) = {Item({8, 1, 0, 1, 0}), Item({18, 1, 2, 4, 4, 0, 0}),
                            Item({1, 1, 10, 1, 0, 0, 0, 0, 0})};
  rig.score.StaffList(150) = {Item({8, 150, 0, 5, 0}), Item({1, 150, 10, 2, 0, 0, 0, 0, 0})};
  rig.score.StaffList(300) = {Item({8, 300, 0, 6, 0})};
  rig.score.State().timeSignature[1] = true;
  rig.score.BarlineList(1) = {Item({0.0004f, 500, 0}), Item({50, 500, 0})};
  ASSERT_TRUE(rig.systems.ProcessFileGroup("GROUP1.MUS"));
  EXPECT_EQ(rig.File(5), "1.0000 10.0000 2.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(rig.File(0), "50.0000 0.0000 4.0000 4.0000 2.0000 1.0000\r\n");
  EXPECT_EQ(rig.score.StaffList(300).size(), 1u);  // outside the system
  rig.score.ClearLists();

  SystemsRig large;
  large.score.State().staffOffset = 400;
  large.score.State().severalFiles = 1;
  large.systems.FindSystems("GROUP1.MUS");
  ASSERT_EQ(large.systems.Systems().size(), 1u);
  EXPECT_EQ(large.systems.Systems().front().staffCount, kMaxGlobalStaff);

  // One file, multiple systems: a span of 500 on staff 99, a span that is not a number on
  // staff 1.
  SystemsRig spans;
  spans.options.interpretMultipleSystems = 1;
  spans.score.State().staffOffset = 99;
  spans.score.StaffList(1) = {Item({8, 1, 0, 1, 0})};
  spans.score.StaffList(99) = {Item({8, 99, 0, 1, 0})};
  spans.score.BarlineList(1) = {Item({0.0004f, std::nanf(""), 0}), Item({50, 1, 0})};
  spans.score.BarlineList(99) = {Item({0.0004f, 500, 0}), Item({50, 1, 0})};
  spans.systems.FindSystems("PAGE.MUS");
  ASSERT_EQ(spans.systems.Systems().size(), 2u);
  EXPECT_EQ(spans.systems.Systems().front().firstStaff, 99);
  EXPECT_EQ(spans.systems.Systems().front().staffCount, kMaxBarlineStaff);
  EXPECT_EQ(spans.systems.Systems().back().staffCount, 1);
}

TEST(Systems, DamagedBarFileStopsALateInstrument) {
  const std::string first =
      "8 1 0 0 0 0 0 0 1\n14 1 0.0004 1\n18 1 2 0 3 4\n1 1 10 1\n"
      "14 1 50 1\n";
  const std::string second =
      "8 1 0 0 0 0 0 0 1\n8 2 0 0 0 0 0 0 2\n14 1 0.0004 2\n"
      "1 1 10 1\n1 2 10 2\n14 1 50 2\n";
  struct Case {
    const char* what;
    std::string barFile;  // replaces the bar file; "-" removes it
    int message;
    std::string firstRest;  // when read
  };
  const std::string longLine =
      "50.000000000000000000000000000000000000000000000000000000000000 "
      "0.0000 3.0000 3.0000 2.0000 1.0000\r\n";
  const std::vector<Case> cases = {
      {"three numbers", "50.0000 0.0000 3.0000 3.0000 2.0000 1.0000\r\n12.0 0.0 3.0\r\n",
       res::kDamagedScoreFile, ""},
      {"seven numbers", "50.0000 0.0000 3.0000 3.0000 2.0000 1.0000 1.0000\r\n",
       res::kDamagedScoreFile, ""},
      {"not a number", "50.0000 abc 3.0000 3.0000 2.0000 1.0000\r\n", res::kDamagedScoreFile, ""},
      {"nan", "nan 0.0000 3.0000 3.0000 2.0000 1.0000\r\n", res::kDamagedScoreFile, ""},
      {"empty line", "\r\n50.0000 0.0000 3.0000 3.0000 2.0000 1.0000\r\n", res::kDamagedScoreFile,
       ""},
      {"missing", "-", res::kCannotRead, ""},
      {"long line", longLine, 0, "2.0000 49.0000 3.0000 0.0000 \r\n"},
      {"LF only", "50.0000 0.0000 3.0000 3.0000 2.0000 1.0000\n", 0,
       "2.0000 49.0000 3.0000 0.0000 \r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SystemsRig rig;
    ASSERT_TRUE(rig.Group("A.MUS", first));
    const fs::path bars = rig.lib.path() / "VLMIX0.TMP";
    if (c.barFile == "-") {
      fs::remove(bars);
    } else {
      ASSERT_TRUE(files::WriteAtomic(bars, std::string_view(c.barFile)));
    }
    const bool ok = rig.Group("B.MUS", second);
    const std::string barName = rig.lib.slashed() + "VLMIX0.TMP";
    if (c.message == 0) {
      EXPECT_TRUE(ok);
      EXPECT_TRUE(rig.host.messages.size() == 1u);  // the anacrusis question
      EXPECT_EQ(rig.File(2).substr(0, c.firstRest.size()), c.firstRest);
      continue;
    }
    EXPECT_FALSE(ok);
    ASSERT_EQ(rig.host.messages.size(), 2u);
    EXPECT_EQ(rig.host.messages[1].id, c.message);
    if (c.message == res::kCannotRead) {
      EXPECT_EQ(rig.host.messages[1].text, "Unable to open file " + barName + " for reading");
    } else {
      EXPECT_EQ(rig.host.messages[1].text.rfind(barName + " is damaged: line ", 0), 0u)
          << rig.host.messages[1].text;
    }
    EXPECT_FALSE(fs::exists(rig.lib.path() / "VLMIX2.TMP"));
    EXPECT_TRUE(rig.score.FillerList().empty());
  }
}

}  // namespace
}  // namespace vellumix::test
