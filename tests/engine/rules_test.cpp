#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "res/strings.h"
#include "rules_fixture.h"

namespace vellumix::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

SymbolRecord Velocity(int level, bool permanent = false) {
  SymbolRecord r;
  r.velocityLevel = level;
  r.permanent = permanent ? 1 : 0;
  return r;
}

// --- Temporary and permanent rules ---

TEST_F(RulesTest, TemporaryRuleGovernsOnlyTheNextTimePosition) {
  SaveCode9(50, Velocity(100));
  Symbol(10.0f, 50);
  Note(10.0f, 3, 1);
  Note(10.0f, 5, 1);  // same chord
  Note(20.0f, 3, 1);
  EXPECT_THAT(Velocities(), ElementsAre(100, 100, 80));
}

TEST_F(RulesTest, PermanentRuleGovernsEveryLaterNoteUntilAnotherDynamic) {
  SaveCode9(50, Velocity(100, true));
  SymbolRecord softer;
  softer.velocityOffset = -30;
  SaveCode9(51, softer);
  Symbol(10.0f, 50);
  Note(10.0f, 3, 1);
  Note(20.0f, 3, 1);
  Symbol(30.0f, 51);  // temporary: from the running 100
  Note(30.0f, 3, 1);
  Note(40.0f, 3, 1);
  EXPECT_THAT(Velocities(), ElementsAre(100, 100, 70, 100));
  EXPECT_EQ(engine.Velocity(), 100);
}

TEST_F(RulesTest, PermanentRuleMovesLengthAndTransposition) {
  SymbolRecord r;
  r.duration = 50;
  r.pitchOffset = 2;
  r.permanent = 1;
  SaveCode9(52, r);
  Symbol(10.0f, 52);
  Note(10.0f, 3, 1);
  Note(20.0f, 3, 1);
  EXPECT_THAT(Events(), ElementsAre(Ev{0, 0x90, 66, 80}, Ev{60, 0x80, 66, 80},
                                    Ev{120, 0x90, 66, 80}, Ev{180, 0x80, 66, 80}));
}

TEST_F(RulesTest, SymbolTheLibraryLacksClearsTheRule) {
  SaveCode9(50, Velocity(100));
  Symbol(10.0f, 50);
  Symbol(10.0f, 77);  // no such file
  Note(10.0f, 3, 1);
  Symbol(20.0f, 50);
  Item(Line({9, 1, 20.0f, -3}));  // numbers no file can carry
  Item(Line({9, 1, 20.0f, 5000}));
  Note(20.0f, 3, 1);
  EXPECT_THAT(Velocities(), ElementsAre(80, 80));
}

TEST_F(RulesTest, NothingIsLookedUpWhileCode9SymbolsAreOff) {
  options.interpretCode9Symbols = 0;
  SaveCode9(50, Velocity(100));
  SaveCode9(21, Velocity(100));
  Symbol(10.0f, 50);
  Note(10.0f, 3, 1);
  Articulated(20.0f, 3, 1, 4);
  EXPECT_THAT(Velocities(), ElementsAre(80, 80));
}

// --- Articulations and special accidentals ---

TEST_F(RulesTest, ArticulationCodesNameCode9Symbols) {
  SaveCode9(21, Velocity(101));
  SaveCode9(37, Velocity(103));
  SaveCode9(119, Velocity(102));
  Articulated(10.0f, 3, 1, 4);
  Articulated(20.0f, 3, 1, 25);
  Articulated(30.0f, 3, 1, 21.4f);  // rounded: 21, symbol 37
  Articulated(40.0f, 3, 1, 3.6f);   // rounded: 4
  Articulated(50.0f, 3, 1, 26);     // no symbol
  EXPECT_THAT(Velocities(), ElementsAre(101, 102, 103, 101, 80));
}

TEST_F(RulesTest, SpecialAccidentalsAreSymbols145To148) {
  SymbolRecord up;
  up.pitchOffset = 2;
  SaveCode9(145, up);
  SymbolRecord down;
  down.pitchOffset = -1;
  SaveCode9(148, down);
  Articulated(10.0f, 3, 1, 0, 6);    // E4 + 2
  Articulated(20.0f, 3, 1, 0, 119);  // 119 - 110 = 9: symbol 148
  Articulated(30.0f, 3, 1, 0, 7);    // symbol 146 is not in the library
  EXPECT_THAT(NoteOns(),
              ElementsAre(Ev{0, 0x90, 66, 80}, Ev{120, 0x90, 63, 80}, Ev{240, 0x90, 64, 80}));
}

// --- Bank/program, bender, controller ---

TEST_F(RulesTest, BankProgramIsSentOncePerPositionAndReverted) {
  TrackSetup setup;
  setup.channel = 2;
  setup.bankProgram = 5;
  StartTrack(setup);
  SymbolRecord r;
  r.bankProgram = 300;
  r.bender = 100;  // only the first setting of the three is sent
  SaveCode9(21, r);
  Articulated(10.0f, 3, 1, 4);
  Articulated(10.0f, 5, 1, 4);  // the chord's second note carries it too
  Note(20.0f, 3, 1);
  EXPECT_THAT(Controls(),
              ElementsAre(Ev{0, 0xB2, 0, 2}, Ev{0, 0xB2, 32, 0}, Ev{0, 0xC2, 44, 0},
                          Ev{120, 0xB2, 0, 0}, Ev{120, 0xB2, 32, 0}, Ev{120, 0xC2, 5, 0}));
  // The same position in the next bar is another time position.
  engine.ClearBarState(false);
  engine.SetBarStartTick(480);
  Articulated(10.0f, 3, 1, 4);
  EXPECT_THAT(Controls(), ElementsAre(Ev{0, 0xB2, 0, 2}, Ev{0, 0xB2, 32, 0}, Ev{0, 0xC2, 44, 0}));
}

TEST_F(RulesTest, BenderAndItsRevert) {
  SymbolRecord full;
  full.bender = -8192;
  SaveCode9(53, full);
  SymbolRecord held;
  held.bender = 4096;
  held.permanent = 1;
  SaveCode9(54, held);
  Symbol(10.0f, 53);
  Note(10.0f, 3, 1);
  Note(20.0f, 3, 1);
  Symbol(30.0f, 54);  // a permanent bend is where later reverts return to
  Note(30.0f, 3, 1);
  Symbol(40.0f, 53);
  Note(40.0f, 3, 1);
  Note(50.0f, 3, 1);
  EXPECT_THAT(Controls(), ElementsAre(Ev{0, 0xE0, 0, 0}, Ev{120, 0xE0, 0, 64}, Ev{240, 0xE0, 0, 96},
                                      Ev{360, 0xE0, 0, 0}, Ev{480, 0xE0, 0, 96}));
}

TEST_F(RulesTest, TemporaryControllerReturnsToItsRunningValue) {
  SymbolRecord set;
  set.controllerType = 7;
  set.controllerValue = 90;
  set.permanent = 1;
  SaveCode9(55, set);
  SymbolRecord dip;
  dip.controllerType = 7;
  dip.controllerValue = 30;
  SaveCode9(56, dip);
  Symbol(10.0f, 55);
  Note(10.0f, 3, 1);
  Symbol(20.0f, 56);
  Note(20.0f, 3, 1);
  Note(30.0f, 3, 1);
  EXPECT_THAT(Controls(),
              ElementsAre(Ev{0, 0xB0, 7, 90}, Ev{120, 0xB0, 7, 30}, Ev{240, 0xB0, 7, 90}));
  EXPECT_EQ(engine.CurrentController(), 7);
}

TEST_F(RulesTest, ControllerFromATextBecomesTheRunningValueAtOnce) {
  SymbolRecord cresc;
  cresc.controllerType = 11;
  cresc.controllerValue = 100;
  SaveText("cresc", cresc);
  Text(10.0f, 12, "cresc.");
  Note(10.0f, 3, 1);
  Note(20.0f, 3, 1);
  // The text has made 100 the running value, so its revert keeps it.
  EXPECT_THAT(Controls(), ElementsAre(Ev{0, 0xB0, 11, 100}, Ev{120, 0xB0, 11, 100}));
  EXPECT_EQ(engine.CurrentController(), 11);
  options.interpretTextSymbols = 0;
  Text(30.0f, 12, "cresc.");
  EXPECT_EQ(Controls().size(), 2u);
}

// --- Specials named by a rule ---

TEST_F(RulesTest, NamedSpecialIsKeptForTheSpecials) {
  SymbolRecord r;
  r.special = "TRILL [Strings]";
  SaveCode9(60, r);  // saved as "TRILL [Strings].SSL"
  Note(5.0f, 3, 1);
  Symbol(10.0f, 60);
  EXPECT_EQ(engine.Rule().special, "TRILL [Strings].SSL");
  EXPECT_TRUE(engine.Rule().itemPlaced);  // only a rule without a special starts afresh
  EXPECT_EQ(Controls().size(), 0u);
}

// --- Bad libraries ---

TEST_F(RulesTest, DamagedFileReadsAsMissingAndIsReportedOnce) {
  std::ofstream(folder.path() / "Symbol050.SBL") << "\x36\x01\x00";
  std::ofstream(folder.path() / "loud.TBL") << "garbage";
  SaveCode9(51, Velocity(100));
  Symbol(10.0f, 51);
  Symbol(10.0f, 50);
  Text(10.0f, 12, "loud");
  Note(10.0f, 3, 1);
  Symbol(20.0f, 50);
  Note(20.0f, 3, 1);
  EXPECT_THAT(Velocities(), ElementsAre(80, 80));
  int reported = 0;
  for (int id : host.MessageIds()) reported += id == res::kTruncatedLibraryFile;
  EXPECT_EQ(reported, 2);  // each file once
}

TEST_F(RulesTest, WithoutALibraryEverySymbolIsACleanRule) {
  SaveCode9(50, Velocity(100));
  engine.SetSymbolLibrary(nullptr);
  Symbol(10.0f, 50);
  Text(10.0f, 12, "anything");
  Note(10.0f, 3, 1);
  EXPECT_THAT(Velocities(), ElementsAre(80));
}

TEST_F(RulesTest, CancelWhileReadingASymbolFileIsReported) {
  SaveCode9(50, Velocity(100));
  host.cancelAtReport = static_cast<int>(host.statuses.size()) + 1;
  Symbol(10.0f, 50);
  EXPECT_TRUE(engine.SymbolLookupCancelled());
  StartTrack();
  EXPECT_FALSE(engine.SymbolLookupCancelled());
}

TEST_F(RulesTest, TextsOfAnyLengthAndContentAreHarmless) {
  options.interpretLyrics = 1;
  StartTrack({}, true);
  SaveText("f", Velocity(100));
  std::string odd = "\x01\xff\x80 [?d|";
  odd += std::string(5000, '9');
  odd += std::string(20000, '\xfe');
  for (float vertical : {12.0f, -5.0f}) {
    Text(10.0f, vertical, odd);
    Text(10.0f, vertical, std::string(70000, 'f'));
    Text(10.0f, vertical, "");
  }
  Note(10.0f, 3, 1);
  for (const Ev& e : Events()) {
    EXPECT_GE(e.status, 0x80);
    EXPECT_LE(e.data1, 127);
    EXPECT_LE(e.data2, 127);
  }
  EXPECT_EQ(engine.Tempo(), 500);
  ASSERT_EQ(engine.Lyrics().size(), 2u);
  EXPECT_EQ(engine.Lyrics()[0].text, odd);
}

}  // namespace
}  // namespace vellumix::test
