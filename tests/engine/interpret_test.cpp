#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "engine_fixture.h"

namespace vellumix::test {
namespace {

using ::testing::ElementsAre;

// --- Rhythm ---

TEST_F(EngineTest, ChordSoundsTogetherAndTheNextValueWaitsForItsShortestNote) {
  Note(10.0f, 3, 2);    // E4
  Note(10.005f, 5, 1);  // G4, within the chord tolerance
  Note(10.0f, 7, 2);    // B4
  Note(20.0f, 3, 1);
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{0, 0x90, 64, 80}, Ev{0, 0x90, 67, 80}, Ev{0, 0x90, 71, 80},
                                     Ev{120, 0x90, 64, 80}));
  // 95 % of the written lengths.
  EXPECT_THAT(Events(),
              ElementsAre(Ev{0, 0x90, 64, 80}, Ev{0, 0x90, 67, 80}, Ev{0, 0x90, 71, 80},
                          Ev{114, 0x80, 67, 80}, Ev{120, 0x90, 64, 80}, Ev{228, 0x80, 64, 80},
                          Ev{228, 0x80, 71, 80}, Ev{234, 0x80, 64, 80}));
}

TEST_F(EngineTest, TwoVoicesInOneStaff) {
  Note(10.0f, 3, 2);  // half
  Note(10.0f, 7, 1);  // quarter, same position
  Note(20.0f, 8, 1);  // second quarter of the upper voice
  EXPECT_EQ(NoteOns().back().tick, 120);
  EXPECT_EQ(engine.StartTickAt(30.0f), 240.0f);
  Note(30.0f, 3, 1);
  EXPECT_EQ(NoteOns().back().tick, 240);
  EXPECT_EQ(engine.LastNoteEndTick(), 360);
}

TEST_F(EngineTest, RestsLetTimePassAndLongRestsAreIgnored) {
  Rest(10.0f, 1);
  Rest(15.0f, 64);  // ignored
  Note(20.0f, 3, 1);
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{120, 0x90, 64, 80}));
}

TEST_F(EngineTest, IgnoredCueNoteTakesItsTimeAndSoundsNothing) {
  options.ignoreCueNotes = 1;
  Note(10.0f, 103, 1);  // step 3 as a cue note
  Note(20.0f, 3, 1);
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{120, 0x90, 64, 80}));
  options.ignoreCueNotes = 0;
  Note(30.0f, -103, 1);  // cue below the staff: step -3, and it sounds
  EXPECT_EQ(NoteOns().back(), (Ev{240, 0x90, 53, 80}));
}

// --- Pitch ---

TEST_F(EngineTest, AccidentalHoldsThroughTheBarAndIsGoneInTheNext) {
  Note(10.0f, 5, 1, 2);  // G sharp
  Note(20.0f, 5, 1);     // same step, no sign: still sharp
  Note(30.0f, 12, 1);    // G an octave up: another step, not sharp
  EXPECT_THAT(NoteOns(),
              ElementsAre(Ev{0, 0x90, 68, 80}, Ev{120, 0x90, 68, 80}, Ev{240, 0x90, 79, 80}));
  engine.ClearBarState(false);
  Note(10.0f, 5, 1);
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{0, 0x90, 67, 80}));
}

TEST_F(EngineTest, KeyOfTwoSharpsWithANatural) {
  Item(Line({17, 1, 5, 2}));
  Note(10.0f, 8, 1);     // C5 in D major: C sharp
  Note(20.0f, 8, 1, 3);  // natural
  Note(30.0f, 8, 1);     // stays natural for the bar
  Note(40.0f, 7, 1);     // B: not in the key's sharps
  Note(50.0f, 4, 1, 1);  // F flat against the key's F sharp: flat of the natural note
  EXPECT_THAT(NoteOns(),
              ElementsAre(Ev{0, 0x90, 73, 80}, Ev{120, 0x90, 72, 80}, Ev{240, 0x90, 72, 80},
                          Ev{360, 0x90, 71, 80}, Ev{480, 0x90, 64, 80}));
}

TEST_F(EngineTest, AccidentalCodesLoseTheirStemAndPlacementTens) {
  Note(10.0f, 3, 1, 22);   // sharp
  Note(20.0f, 4, 1, 111);  // flat
  Note(30.0f, 5, 1, 125);  // double sharp
  Note(40.0f, 6, 1, 14);   // double flat
  Note(50.0f, 7, 1, 7);    // special accidental: no change of pitch
  EXPECT_THAT(NoteOns(),
              ElementsAre(Ev{0, 0x90, 65, 80}, Ev{120, 0x90, 64, 80}, Ev{240, 0x90, 69, 80},
                          Ev{360, 0x90, 67, 80}, Ev{480, 0x90, 71, 80}));
  EXPECT_EQ(ReduceAccidentalCode(133.0f), 0);
  EXPECT_EQ(ReduceAccidentalCode(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST_F(EngineTest, Code4OptionAppliesAccidentalsToTheirOwnNoteOnly) {
  options.code4LinesAsTies = 1;
  Item(Line({17, 1, 5, 2}));
  Note(10.0f, 8, 1, 2);  // C sharp
  Note(20.0f, 8, 1);     // C: neither the memory nor the key
  Note(30.0f, 4, 1, 3);  // natural: no change
  Note(40.0f, 4, 1);     // F, not F sharp
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{0, 0x90, 73, 80}, Ev{120, 0x90, 72, 80},
                                     Ev{240, 0x90, 65, 80}, Ev{360, 0x90, 65, 80}));
}

TEST_F(EngineTest, KeySignatureOfZeroClearsAndOneOutOfRangeLeavesPitchesAlone) {
  Item(Line({17, 1, 5, -3}));
  Note(10.0f, 7, 1);  // B flat
  Item(Line({17, 1, 15, 0}));
  Note(20.0f, 6, 1);  // A natural again
  Item(Line({17, 1, 25, 9}));
  EXPECT_EQ(engine.KeySignature(), 0);
  Note(30.0f, 4, 1);  // F
  EXPECT_THAT(NoteOns(),
              ElementsAre(Ev{0, 0x90, 70, 80}, Ev{120, 0x90, 69, 80}, Ev{240, 0x90, 65, 80}));
}

TEST_F(EngineTest, ClefsAndTheirOctaveAdjustments) {
  const struct {
    float clef;
    int pitch;
  } cases[] = {{0.0f, 64},  {1.0f, 43},  {2.0f, 53}, {3.0f, 50}, {4.0f, 64}, {0.8f, 52},
               {0.88f, 76}, {0.15f, 88}, {1.8f, 31}, {7.5f, 64}, {0.81f, 64}};
  for (const auto& c : cases) {
    StartTrack();
    Item(Line({3, 1, 5, 0, c.clef}));
    Note(10.0f, 3, 1);
    ASSERT_EQ(NoteOns().size(), 1u) << c.clef;
    EXPECT_EQ(NoteOns()[0].data1, c.pitch) << "clef " << c.clef;
  }
}

TEST_F(EngineTest, TranspositionOutOfRangeFoldsOnceThenSkipsTheNote) {
  defaults.transposition = -10;
  StartTrack();
  Item(Line({3, 1, 5, 0, 1}));  // bass clef
  Note(10.0f, -20, 1);          // pitch 4, transposed to -6
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{0, 0x90, 6, 80}));

  StartTrack({.instrumentTransposition = -20});
  Item(Line({3, 1, 5, 0, 1}));
  Note(10.0f, -20, 1);  // -26, -14 after the fold: cannot sound
  Note(20.0f, -13, 1);  // 16 - 30 = -14: -2 after the fold, still out
  Note(30.0f, -6, 1);   // 28 - 30 = -2, folded to 10
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{240, 0x90, 10, 80}));

  // The staff's own transposition replaces the running one.
  StartTrack();
  Item(Line({8, 1, 5, 0, 7}));
  EXPECT_EQ(engine.Transposition(), 7);
  Note(10.0f, 3, 1);
  EXPECT_EQ(NoteOns()[0].data1, 71);
}

TEST_F(EngineTest, OctaveLinesUpDownAndTwoOctaves) {
  Item(Line({7, 1, 5, 30, 8, 0, 0}));
  Note(10.0f, 3, 1);
  Note(30.0f, 3, 1);  // at the end position: still under the line
  Note(40.0f, 3, 1);  // past it: the line is gone
  EXPECT_FALSE(engine.Slot(kOctaveSlot).active);
  Item(Line({7, 1, 45, 60, -8, 0, 0}));
  Note(50.0f, 3, 1);
  Item(Line({7, 1, 65, 90, 15, 0, 0}));
  Note(70.0f, 3, 1);
  EXPECT_THAT(NoteOns(),
              ElementsAre(Ev{0, 0x90, 76, 80}, Ev{120, 0x90, 76, 80}, Ev{240, 0x90, 64, 80},
                          Ev{360, 0x90, 52, 80}, Ev{480, 0x90, 88, 80}));
  EXPECT_EQ(engine.Pending().back().tag, 88);  // the written pitch moves with the line

  options.interpretOctava = 0;
  Item(Line({7, 1, 95, 120, 8, 0, 0}));
  Note(100.0f, 3, 1);
  EXPECT_EQ(NoteOns().back().data1, 64);
}

TEST_F(EngineTest, PercussionMapFirstMatchWithItsChannel) {
  PercussionMap map;
  map.Add(64, 38, 10);
  map.Add(64, 40, 0);   // never reached: the first entry wins
  map.Add(67, 42, 0);   // the instrument's channel
  map.Add(71, 46, 20);  // no such channel: the instrument's
  StartTrack({.channel = 2, .percussionMap = &map});
  Note(10.0f, 3, 1);
  Note(20.0f, 5, 1);
  Note(30.0f, 7, 1);
  Note(40.0f, 8, 1);  // not in the map
  EXPECT_THAT(Events(),
              ElementsAre(Ev{0, 0x99, 38, 80}, Ev{114, 0x89, 38, 80}, Ev{120, 0x92, 42, 80},
                          Ev{234, 0x82, 42, 80}, Ev{240, 0x92, 46, 80}, Ev{354, 0x82, 46, 80},
                          Ev{360, 0x92, 72, 80}, Ev{474, 0x82, 72, 80}));
}

// --- Velocity and length ---

TEST_F(EngineTest, TemporaryRuleGovernsOneTimePositionAndAPermanentOneStays) {
  engine.Rule().velocityLevel = 100;
  engine.Rule().duration = 50;
  Note(10.0f, 3, 1);
  Note(10.0f, 5, 1);  // same position: same rule
  Note(20.0f, 3, 1);  // time moved on after a placed note: the rule is over
  EXPECT_THAT(Events(),
              ElementsAre(Ev{0, 0x90, 64, 100}, Ev{0, 0x90, 67, 100}, Ev{60, 0x80, 64, 100},
                          Ev{60, 0x80, 67, 100}, Ev{120, 0x90, 64, 80}, Ev{234, 0x80, 64, 80}));

  StartTrack();
  engine.Rule().velocityOffset = 60;  // 80 + 60, clamped
  Note(10.0f, 3, 1);
  EXPECT_EQ(NoteOns().back().data2, 127);

  StartTrack();
  engine.Rule().permanent = true;
  engine.Rule().velocityLevel = 20;  // already applied to the running velocity when permanent
  engine.Rule().duration = 50;
  engine.SetVelocity(100);
  Note(10.0f, 3, 1);
  Note(20.0f, 3, 1);
  EXPECT_THAT(Events(), ElementsAre(Ev{0, 0x90, 64, 100}, Ev{114, 0x80, 64, 100},
                                    Ev{120, 0x90, 64, 100}, Ev{234, 0x80, 64, 100}));
}

TEST_F(EngineTest, EndOfTemporaryRuleIssuesItsReverts) {
  engine.Rule().revertBender = true;
  engine.Rule().revertBankProgram = true;
  engine.Rule().baseBankProgram = 300;
  Note(10.0f, 3, 1);
  Note(20.0f, 3, 1);
  EXPECT_THAT(Events(),
              ElementsAre(Ev{0, 0x90, 64, 80}, Ev{114, 0x80, 64, 80}, Ev{120, 0xB0, 0, 2},
                          Ev{120, 0xB0, 32, 0}, Ev{120, 0xC0, 44, 0}, Ev{120, 0xE0, 0, 64},
                          Ev{120, 0x90, 64, 80}, Ev{234, 0x80, 64, 80}));
}

// --- Grace notes ---

TEST_F(EngineTest, GraceNotesBeforeTheBeatEndAtTheMainNote) {
  Note(10.0f, 3, 2);
  Note(20.0f, 5, 64);
  Note(22.0f, 6, 64);
  EXPECT_EQ(engine.Graces().size(), 2u);
  Note(25.0f, 7, 1);
  EXPECT_TRUE(engine.Graces().empty());
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{0, 0x90, 64, 80}, Ev{228, 0x90, 67, 80},
                                     Ev{234, 0x90, 69, 80}, Ev{240, 0x90, 71, 80}));
  // Each grace note lasts 95 % of its 6 ticks.
  EXPECT_EQ(Events()[3], (Ev{233, 0x80, 67, 80}));
}

TEST_F(EngineTest, GraceNotesOnTheBeatAndOutOfRoom) {
  defaults.graceNotesOnBeat = 1;
  Note(10.0f, 3, 2);
  Note(20.0f, 5, 64);
  Note(22.0f, 6, 64);
  Note(25.0f, 7, 1);
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{0, 0x90, 64, 80}, Ev{240, 0x90, 67, 80},
                                     Ev{240, 0x90, 71, 80}, Ev{246, 0x90, 69, 80}));

  // No room before the bar's end: before the beat after all.
  StartTrack();
  engine.SetBar(200.0f, 2.0f);
  Note(10.0f, 3, 2);
  Note(20.0f, 5, 64);
  Rest(25.0f, 1);
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{0, 0x90, 64, 80}, Ev{234, 0x90, 67, 80}));
}

TEST_F(EngineTest, GraceNotesAtTheStartOfABarGoBeforeTheBarline) {
  engine.TrackEvents().push_back({100, 0x90, 60, 80});
  engine.TrackEvents().push_back({20, 0x80, 60, 80});
  engine.TrackEvents().push_back({3, 0xB0, 7, 100});
  Note(5.0f, 5, 64);
  Note(7.0f, 6, 64);
  Note(10.0f, 7, 1);
  EXPECT_THAT(NoteOns(),
              ElementsAre(Ev{-12, 0x90, 67, 80}, Ev{-6, 0x90, 69, 80}, Ev{0, 0x90, 71, 80}));
  EXPECT_EQ(engine.TrackEvents()[1].delta, 8);
  EXPECT_EQ(engine.TrackEvents()[2].delta, 3);
  EXPECT_EQ(engine.CarriedTicks(), 12);

  // No event with room: the grace note starts on the beat.
  StartTrack();
  engine.TrackEvents().push_back({2, 0x90, 60, 80});
  Note(5.0f, 5, 64);
  Note(10.0f, 7, 1);
  EXPECT_EQ(NoteOns()[0].tick, 0);
  EXPECT_EQ(engine.CarriedTicks(), 0);

  // A track with no events yet: on the beat.
  StartTrack();
  Note(5.0f, 5, 64);
  Note(7.0f, 6, 64);
  Note(10.0f, 7, 1);
  EXPECT_THAT(NoteOns(),
              ElementsAre(Ev{0, 0x90, 67, 80}, Ev{0, 0x90, 71, 80}, Ev{6, 0x90, 69, 80}));
}

TEST_F(EngineTest, GraceNoteLeftOfTheLastPositionIsIgnoredAndAChordSharesItsStart) {
  Note(10.0f, 3, 2);
  Note(20.0f, 3, 1);   // starts at 240
  Note(15.0f, 5, 64);  // left of the last position
  EXPECT_TRUE(engine.Graces().empty());
  Note(30.0f, 5, 64);
  Note(30.0f, 7, 64);  // chord of grace notes
  ASSERT_EQ(engine.Graces().size(), 2u);
  EXPECT_EQ(engine.Graces()[0].start, engine.Graces()[1].start);
  engine.FlushGraceNotes();  // the bar ends
  EXPECT_TRUE(engine.Graces().empty());
  EXPECT_EQ(NoteOns().size(), 4u);
}

// --- Ties ---

TEST_F(EngineTest, FlatSlurJoinsTwoEqualNotes) {
  Slur(10.0f, 7, 7, 20.0f, 0, -2);
  ASSERT_EQ(engine.Ties().size(), 1u);
  EXPECT_EQ(engine.Ties().front().step, 8.0f);
  Note(10.0f, 7, 1);
  EXPECT_EQ(engine.HeldNotes().size(), 1u);
  Note(20.0f, 7, 1);
  EXPECT_THAT(Events(), ElementsAre(Ev{0, 0x90, 71, 80}, Ev{234, 0x80, 71, 80}));
  EXPECT_TRUE(engine.Ties().empty());
  EXPECT_TRUE(engine.HeldNotes().empty());
}

TEST_F(EngineTest, OnlyTieShapedSlursAndCode4LinesMakeTies) {
  Slur(10.0f, 7, 7, 20.0f, 1, -3);  // tie, curving up: step below
  Slur(10.0f, 7, 7, 20.0f, 0, 0.5f);
  Slur(10.0f, 7, 7, 20.0f, 0, 1.0f);                      // not a tie shape
  Slur(10.0f, 7, 8, 20.0f, 0, -2);                        // steps differ
  Item(Line({4, 1, 10, 9, 9, 20, 0, 0, 0, 0, 0, 0, 0}));  // line, option off
  ASSERT_EQ(engine.Ties().size(), 2u);
  EXPECT_EQ(engine.Ties().front().step, 6.0f);
  options.code4LinesAsTies = 1;
  Item(Line({4, 1, 10, 9, 9, 20, 0, 0, 0, 0, 0, 0, 0}));
  Item(Line({4, 1, 10, 5, 5, 20, 0, 0, 0, 0, 0, 0, 0}));
  ASSERT_EQ(engine.Ties().size(), 4u);
  EXPECT_EQ(std::next(engine.Ties().begin(), 2)->step, 8.0f);
  EXPECT_EQ(engine.Ties().back().step, 6.0f);
}

TEST_F(EngineTest, TiedChordContinuesTheMatchingPitchAndEndsTheOthers) {
  Slur(10.0f, 7, 7, 20.0f, 0, -2);
  Note(10.0f, 7, 1);  // B4, held
  Note(10.0f, 3, 1);  // E4, held too
  Note(20.0f, 7, 1);  // continues B; E ends at its own note-off tick
  Note(20.0f, 3, 1);  // sounds again
  EXPECT_THAT(Events(),
              ElementsAre(Ev{0, 0x90, 71, 80}, Ev{0, 0x90, 64, 80}, Ev{114, 0x80, 64, 80},
                          Ev{120, 0x90, 64, 80}, Ev{234, 0x80, 71, 80}, Ev{234, 0x80, 64, 80}));
  EXPECT_TRUE(engine.HeldNotes().empty());
}

TEST_F(EngineTest, PassedTieEndsTheHeldNoteAtTheNextStart) {
  Slur(10.0f, 7, 7, 20.0f, 0, -2);
  Note(10.0f, 7, 1);
  Note(15.0f, 5, 1);  // no tie end here
  Note(30.0f, 5, 1);  // beyond the tie's right end
  EXPECT_THAT(Events(),
              ElementsAre(Ev{0, 0x90, 71, 80}, Ev{120, 0x90, 67, 80}, Ev{234, 0x80, 67, 80},
                          Ev{240, 0x80, 71, 80}, Ev{240, 0x90, 67, 80}, Ev{354, 0x80, 67, 80}));
  EXPECT_TRUE(engine.Ties().empty());
  EXPECT_TRUE(engine.HeldNotes().empty());
}

TEST_F(EngineTest, TieOverABarlineContinuesAtBarTickZero) {
  Note(10.0f, 3, 3);
  Slur(150.0f, 7, 7, 210.0f, 0, -2);
  Note(150.0f, 7, 1);  // last beat of the bar: held
  engine.ClearBarState(false);
  engine.EndExpiredTies(210.0f, false);
  ASSERT_EQ(engine.Ties().size(), 1u);
  engine.SetBar(400.0f, 4.0f);
  Note(210.0f, 7, 2);
  EXPECT_THAT(Events(), ElementsAre(Ev{228, 0x80, 71, 80}));
}

TEST_F(EngineTest, TieOverASystemBreak) {
  Note(10.0f, 3, 3);
  Slur(180.0f, 7, 7, 205.0f, 0, -2);
  Note(180.0f, 7, 1);
  engine.SetPreviousSystemEnd(200.0f);
  engine.EndExpiredTies(15.0f, true);
  ASSERT_EQ(engine.Ties().size(), 1u);
  engine.ClearBarState(false);
  engine.StartSystem();
  Slur(12.0f, 7, 7, 20.0f, 0, -2);  // the new system's drawing from the margin
  Note(20.0f, 7, 1);
  EXPECT_THAT(Events(), ElementsAre(Ev{114, 0x80, 71, 80}));
  EXPECT_TRUE(engine.Ties().empty());
  EXPECT_TRUE(engine.HeldNotes().empty());
}

TEST_F(EngineTest, TieThatStopsBeforeTheBreakEndsAtTheBarChange) {
  Slur(100.0f, 7, 7, 150.0f, 0, -2);
  Note(100.0f, 7, 1);
  engine.ClearBarState(false);
  engine.SetPreviousSystemEnd(200.0f);
  engine.EndExpiredTies(15.0f, true);
  EXPECT_TRUE(engine.Ties().empty());
  EXPECT_THAT(Events(), ElementsAre(Ev{114, 0x80, 71, 80}));
}

TEST_F(EngineTest, RestOpeningASystemEndsTheTiedNoteWithItsPitch) {
  Item(Line({3, 1, 5, 0, 1}));  // bass clef: the held pitch differs from anything written later
  Slur(180.0f, 7, 7, 205.0f, 0, -2);
  Note(180.0f, 7, 1);  // D3 50
  engine.SetPreviousSystemEnd(200.0f);
  engine.EndExpiredTies(15.0f, true);
  engine.ClearBarState(false);
  engine.StartSystem();
  Rest(20.0f, 1);
  EXPECT_THAT(Events(), ElementsAre(Ev{0, 0x80, 50, 80}));
  EXPECT_TRUE(engine.Ties().empty());
  EXPECT_TRUE(engine.HeldNotes().empty());
}

// --- Lists ---

TEST_F(EngineTest, PendingKeepsInsertionOrderAtEqualTicks) {
  engine.InsertPending({120, 0x90, 60, 80, 60});
  engine.InsertPending({120, 0x80, 62, 80, 62});
  engine.InsertPending({0, 0x90, 62, 80, 62});
  engine.InsertPending({120, 0x90, 64, 80, 64});
  engine.InsertPending({-6, 0x90, 59, 80, 59});
  EXPECT_THAT(Events(),
              ElementsAre(Ev{-6, 0x90, 59, 80}, Ev{0, 0x90, 62, 80}, Ev{120, 0x90, 60, 80},
                          Ev{120, 0x80, 62, 80}, Ev{120, 0x90, 64, 80}));
}

TEST_F(EngineTest, TempoListStaysAscendingAndStableAtEqualTicks) {
  engine.AddTempo({0, 120, 0});
  engine.AddTempo({480, 90, 0});
  engine.AddTempo({240, 100, 0});
  engine.AddTempo({240, 60, 1});
  engine.AddTempo({240, 70, -1});
  std::vector<int> tempos;
  for (const CTempoEvent& t : engine.Tempos()) tempos.push_back(t.tempo);
  EXPECT_THAT(tempos, ElementsAre(120, 100, 60, 70, 90));
}

TEST_F(EngineTest, StartTrackResetsTheTrackState) {
  defaults.dynamic = 64;
  defaults.noteLength = 50;
  defaults.transposition = 2;
  engine.SetSlot(kTrillSlot, true, 100.0f);
  Item(Line({17, 1, 5, 3}));
  StartTrack({.channel = 21, .instrumentTransposition = -5, .startingTempo = 90});
  EXPECT_EQ(engine.Velocity(), 64);
  EXPECT_EQ(engine.NoteLength(), 50);
  EXPECT_EQ(engine.Transposition(), -3);
  EXPECT_EQ(engine.Channel(), 15);
  EXPECT_EQ(engine.Tempo(), 90);
  EXPECT_EQ(engine.KeySignature(), 0);
  EXPECT_FALSE(engine.Slot(kTrillSlot).active);
  EXPECT_TRUE(engine.FirstPositionOfSystem());

  options.useStaveTransposition = 1;
  StartTrack({.instrumentTransposition = -5});
  EXPECT_EQ(engine.Transposition(), 2);
}

}  // namespace
}  // namespace vellumix::test

namespace vellumix {
namespace {

// A finished track as "delta status pitch" words, note-offs as 0x80 with velocity left out.
std::string Track(const std::vector<CMidiDataEvent>& events) {
  std::string s;
  for (const CMidiDataEvent& e : events) {
    char word[32];
    std::snprintf(word, sizeof word, "%s%d:%02X:%d", s.empty() ? "" : " ", e.delta, e.status,
                  e.data1);
    s += word;
  }
  return s;
}

TEST(EndEveryNote, NotesLeftOnEndAndRestruckPitchesAreSwitchedOffFirst) {
  struct Case {
    const char* what;
    std::vector<CMidiDataEvent> in;
    std::string out;
  };
  const Case cases[] = {
      {"balanced: untouched",
       {{0, 0x90, 60, 80}, {114, 0x80, 60, 80}, {6, 0x91, 60, 80}, {114, 0x81, 60, 80}},
       "0:90:60 114:80:60 6:91:60 114:81:60"},
      {"left on: ended at the end of the last bar",
       {{0, 0x90, 60, 80}, {0, 0x90, 64, 80}, {120, 0x90, 67, 80}, {114, 0x80, 67, 80}},
       "0:90:60 0:90:64 120:90:67 114:80:67 6:80:60 0:80:64"},
      {"struck again while sounding: off first, one off at the end",
       {{0, 0x90, 64, 80}, {180, 0x90, 64, 80}, {20, 0x80, 64, 80}, {94, 0x80, 64, 80}},
       "0:90:64 180:80:64 0:90:64 114:80:64"},
      {"struck twice at once: one note, the longer",
       {{0, 0x90, 64, 80}, {0, 0x90, 64, 80}, {114, 0x80, 64, 80}, {114, 0x80, 64, 80}},
       "0:90:64 228:80:64"},
      {"a note-off for a silent pitch goes, its time kept",
       {{0, 0x80, 50, 80}, {60, 0x90, 60, 80}, {114, 0x90, 60, 0}},
       "60:90:60 114:90:60"},
  };
  for (const Case& c : cases) {
    std::vector<CMidiDataEvent> events = c.in;
    EndEveryNote(events, 6);
    EXPECT_EQ(Track(events), c.out) << c.what;
  }
}

}  // namespace
}  // namespace vellumix
