#include <gtest/gtest.h>

#include "rules_fixture.h"

namespace vellumix::test {
namespace {

using ::testing::ElementsAre;

std::int32_t Mark(std::string_view text) {
  std::int32_t tempo = -1;
  EXPECT_TRUE(Engine::MetronomeMarkTempo(text, tempo)) << text;
  return tempo;
}

TEST(MetronomeMarks, GlyphValuesDotsAndTheLimit) {
  EXPECT_EQ(Mark("]=60"), 120);     // half note
  EXPECT_EQ(Mark("{ = 200"), 100);  // eighth note
  EXPECT_EQ(Mark("[.=80"), 120);    // dotted quarter
  EXPECT_EQ(Mark("[?d=80"), 120);
  EXPECT_EQ(Mark("[=999"), 500);
  EXPECT_EQ(Mark("}=250"), 62);  // sixteenth, rounded down
  EXPECT_EQ(Mark("{.=75"), 55);  // 37 dotted, rounded down
  EXPECT_EQ(Mark("|=30"), 120);  // whole note
  EXPECT_EQ(Mark("ca. [ = 72-76"), 72);
  EXPECT_EQ(Mark("[=99999999999999999999999"), 500);
  EXPECT_EQ(Mark("[="), 0);
  std::int32_t tempo = 7;
  EXPECT_FALSE(Engine::MetronomeMarkTempo("Allegro (= 60)", tempo));
  EXPECT_EQ(tempo, 7);
}

TEST_F(RulesTest, MetronomeMarkOnTheTempoTrackAndATempo) {
  SymbolRecord aTempo;
  aTempo.special = kSpecialATempo;
  SaveText("a tempo", aTempo);
  StartTempoTrack(100);
  Text(10.0f, 12, "[=60");
  Rest(10.0f, 1);
  Text(20.0f, 12, "a tempo");
  EXPECT_THAT(Tempos(), ElementsAre(Tp{0, 100, 0}, Tp{0, 60, 0}, Tp{120, 100, 0}));
  EXPECT_EQ(engine.Tempo(), 100);
}

TEST_F(RulesTest, MetronomeMarkOffTheTempoTrackMovesOnlyTheRunningTempo) {
  engine.AddTempo({0, 100, 0});
  Text(10.0f, 12, "[=60");
  EXPECT_EQ(engine.Tempo(), 60);
  EXPECT_EQ(engine.PreviousTempo(), 120);  // the track's starting tempo
  Text(10.0f, 12, "[=");                   // no number: no tempo
  EXPECT_EQ(engine.Tempo(), 60);
  EXPECT_EQ(engine.PreviousTempo(), 120);
  EXPECT_THAT(Tempos(), ElementsAre(Tp{0, 100, 0}));
}

TEST_F(RulesTest, TempoIReturnsToTheFirstTempoAndLeavesTheRunningOne) {
  SymbolRecord tempoI;
  tempoI.special = kSpecialTempoI;
  SaveCode9(58, tempoI);
  StartTempoTrack(100);
  Text(10.0f, 12, "[=60");
  Rest(10.0f, 1);
  Text(20.0f, 12, "[=80");
  Rest(20.0f, 1);
  Symbol(30.0f, 58);
  EXPECT_THAT(Tempos(), ElementsAre(Tp{0, 100, 0}, Tp{0, 60, 0}, Tp{120, 80, 0}, Tp{240, 100, 0}));
  EXPECT_EQ(engine.Tempo(), 80);
}

TEST_F(RulesTest, TempoRulesSoundOnTheTempoTrackAndRevert) {
  SymbolRecord slower;
  slower.tempoOffset = -30;
  SaveCode9(57, slower);
  SymbolRecord faster;
  faster.tempoOffset = 20;
  faster.permanent = 1;
  SaveCode9(59, faster);
  StartTempoTrack(100);
  Symbol(10.0f, 57);
  Note(10.0f, 3, 1);
  Symbol(20.0f, 59);
  Note(20.0f, 3, 1);
  Note(30.0f, 3, 1);
  EXPECT_THAT(Tempos(), ElementsAre(Tp{0, 100, 0}, Tp{0, 70, 0}, Tp{120, 100, 0}, Tp{120, 120, 0}));
  EXPECT_EQ(engine.Tempo(), 120);

  // An instrument track leaves the tempo to the tempo track.
  StartTrack();
  Symbol(10.0f, 57);
  Note(10.0f, 3, 1);
  Note(20.0f, 3, 1);
  EXPECT_EQ(Tempos().size(), 4u);
}

TEST_F(RulesTest, TempoOffsetBelowOneIsIgnored) {
  SymbolRecord slower;
  slower.tempoOffset = -30;
  SaveCode9(57, slower);
  StartTempoTrack(20);
  Symbol(10.0f, 57);
  Note(10.0f, 3, 1);
  Note(20.0f, 3, 1);
  EXPECT_THAT(Tempos(), ElementsAre(Tp{0, 20, 0}));
}

TEST_F(RulesTest, TextTempoLevelStartsFromThePreviousTempo) {
  SymbolRecord rit;
  rit.tempoLevel = 50;
  SaveText("rit", rit);
  StartTempoTrack(100);
  Text(10.0f, 12, "[=60");
  Rest(10.0f, 1);
  Text(20.0f, 12, "rit.");
  Rest(20.0f, 1);
  Rest(30.0f, 1);
  EXPECT_THAT(Tempos(), ElementsAre(Tp{0, 100, 0}, Tp{0, 60, 0}, Tp{120, 50, 0}, Tp{240, 100, 0}));
}

// --- Fermatas ---

class FermataTest : public RulesTest {
 protected:
  void SetUp() override {
    SymbolRecord fermata;
    fermata.tempoOffset = -50;
    SaveCode9(31, fermata);
    // The tempo track: a fermata rest on the second beat.
    StartTempoTrack(100);
    Rest(10.0f, 1);
    Rest(20.0f, 1, -1);
    Note(30.0f, 3, 1);
    StartTrack();
  }
};

TEST_F(FermataTest, TempoTrackFermataAndItsRevert) {
  EXPECT_THAT(Tempos(), ElementsAre(Tp{0, 100, 0}, Tp{120, 50, 1}, Tp{240, 100, 0}));
}

TEST_F(FermataTest, VoiceMovingOnThroughAFermataCancelsIt) {
  Note(10.0f, 3, 0.5f);
  Note(15.0f, 3, 1.5f);  // 60 to 240
  EXPECT_THAT(Tempos(), ElementsAre(Tp{0, 100, 0}, Tp{120, 50, -1}, Tp{240, 100, 0}));
}

TEST_F(FermataTest, EveryTrackAddsItsOwnFermata) {
  Note(10.0f, 3, 1);
  Articulated(20.0f, 3, 1, 14);
  Note(30.0f, 3, 1);
  EXPECT_THAT(Tempos(), ElementsAre(Tp{0, 100, 0}, Tp{120, 50, 1}, Tp{120, 50, 1}, Tp{240, 100, 0},
                                    Tp{240, 100, 0}));
  // A rest after the fermata does not reach back.
  Rest(40.0f, 1);
  EXPECT_EQ(Tempos()[1].state, 1);
  // Nor does anything while code 9 symbols are off.
  options.interpretCode9Symbols = 0;
  engine.ClearBarState(false);
  Note(10.0f, 3, 0.5f);
  Note(15.0f, 3, 1.5f);
  EXPECT_EQ(Tempos()[1].state, 1);
}

TEST_F(RulesTest, FermataOffTheTempoTrackSlowsTheTempoInForce) {
  SymbolRecord fermata;
  fermata.tempoOffset = -50;
  SaveCode9(31, fermata);
  StartTempoTrack(100);
  Text(10.0f, 12, "[=80");
  StartTrack();
  Articulated(10.0f, 3, 1, 14);
  Note(20.0f, 3, 1);
  EXPECT_THAT(Tempos(), ElementsAre(Tp{0, 100, 0}, Tp{0, 80, 0}, Tp{0, 30, 1}, Tp{120, 80, 0}));
}

}  // namespace
}  // namespace vellumix::test
