#include <gtest/gtest.h>

#include "rules_fixture.h"

namespace vellumix::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Ly {
  int tick;
  std::string text;
  bool operator==(const Ly&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Ly& l) {
    return os << "{" << l.tick << ", \"" << l.text << "\"}";
  }
};

// Lyrics on, an instrument that converts them, the band at -5 +/- 2.
class LyricsTest : public RulesTest {
 protected:
  void SetUp() override {
    options.interpretLyrics = 1;
    StartTrack({}, true);
  }
  std::vector<Ly> Sung() const {
    std::vector<Ly> out;
    for (const CLyricEvent& l : engine.Lyrics()) out.push_back({l.tick, l.text});
    return out;
  }
  // A line item: P4 and P5 the vertical steps, P6 the right end, P7 its kind.
  void LineItem(float x, float vertical, float kind) {
    Item(Line({4, 1, x, vertical, vertical, x + 2.0f, kind, 0, 0, 0, 0, 0, 0}));
  }
};

TEST_F(LyricsTest, TextsInTheBandAreLyricsAtAbsoluteTicks) {
  engine.SetBarStartTick(480);
  Text(10.0f, -7, "lo");
  Text(10.0f, -3, "ve");
  Text(10.0f, -7.5f, "above");
  Text(10.0f, -2.9f, "below");
  Rest(10.0f, 1);
  Text(20.0f, -5, "me");
  EXPECT_THAT(Sung(), ElementsAre(Ly{480, "lo"}, Ly{480, "ve"}, Ly{600, "me"}));
}

TEST_F(LyricsTest, WhereNoTextIsALyric) {
  engine.SetLyricsLeftLimit(15.0f);
  Text(10.0f, -5, "left of every note");
  Text(15.0f, -5, "at the limit");
  options.interpretLyrics = 0;
  Text(20.0f, -5, "option off");
  options.interpretLyrics = 1;
  EXPECT_THAT(Sung(), ElementsAre(Ly{0, "at the limit"}));
  StartTrack({}, false);
  Text(20.0f, -5, "instrument does not convert");
  EXPECT_THAT(Sung(), IsEmpty());
  StartTempoTrack(100);
  engine.StartTrackRules(true);
  Text(20.0f, -5, "tempo track");
  EXPECT_THAT(Sung(), IsEmpty());
}

TEST_F(LyricsTest, LyricIsNotLookedUpAsASymbol) {
  SymbolRecord loud;
  loud.velocityLevel = 110;
  SaveText("f", loud);
  Text(10.0f, -5, "of");
  Note(10.0f, 3, 1);
  Text(20.0f, 12, "of");
  Note(20.0f, 3, 1);
  EXPECT_THAT(Velocities(), ElementsAre(80, 110));
  EXPECT_THAT(Sung(), ElementsAre(Ly{0, "of"}));
}

TEST_F(LyricsTest, PunctuationAndFormatCodesAreRemoved) {
  options.removeLyricPunctuation = 1;
  Text(10.0f, -5, "love,-");
  Text(10.0f, -5, "?cA!Db?9c;d");                 // codes, then punctuation
  Text(10.0f, -5, "!a?x\"(ok)\" [#%^<>|/\\`*]");  // no codes: only the marks go
  Text(10.0f, -5, "??cc");                        // one pass: the "?c" left behind loses only "?"
  Text(10.0f, -5, "\xe9t\xe9.");
  Text(10.0f, -5, "-");  // nothing left to sing
  EXPECT_THAT(Sung(), ElementsAre(Ly{0, "love"}, Ly{0, "Abcd"}, Ly{0, "axok "}, Ly{0, "c"},
                                  Ly{0, "\xe9t\xe9"}));
  options.removeLyricPunctuation = 0;
  Text(10.0f, -5, "love,-");
  EXPECT_EQ(Sung().back().text, "love,-");
}

TEST_F(LyricsTest, LineOfKindOneInTheBandIsAHyphen) {
  LineItem(5.0f, -5, 1);  // no lyric yet: nothing to join
  Text(10.0f, -5, "Hal");
  LineItem(12.0f, -5, 1);
  LineItem(13.0f, -5, 1);  // one hyphen is enough
  LineItem(14.0f, -5, 0);
  LineItem(15.0f, 4, 1);  // outside the band
  EXPECT_THAT(Sung(), ElementsAre(Ly{0, "Hal-"}));
}

}  // namespace
}  // namespace vellumix::test
