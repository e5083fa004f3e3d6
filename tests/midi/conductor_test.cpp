// The conductor track: its first events, the walk through repeats and tempo changes placed on
// the repeated time line.
#include <cmath>

#include "midi_fixture.h"

namespace vellumix::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class ConductorTest : public MidiWriterTest {
 protected:
  // The conductor's events as dump lines, without the key signature and the blank text.
  std::vector<std::string> Events(const std::vector<CBar>& bars,
                                  const std::vector<CTempoEvent>& tempos, bool repeat = true) {
    const Bytes body = Cat({Conductor(bars, tempos, repeat), B({0x00, 0xFF, 0x2F, 0x00})});
    const auto file =
        ReadMidiFile(Cat({Chunk("MThd", B({0, 0, 0, 1, 0, 0x78})), Chunk("MTrk", body)}));
    EXPECT_TRUE(file.has_value());
    if (!file) return {};
    std::vector<std::string> lines;
    for (const std::string& line : files::SplitLines(DumpMidiFile(*file)))
      if (line.find("key-signature") == std::string::npos &&
          line.find(" text ") == std::string::npos && line.rfind("track", 0) != 0 &&
          line.rfind("format", 0) != 0)
        lines.push_back(line);
    return lines;
  }

  // Bars of one quarter each whose time-signature numerators number them 1, 2, 3 …, with the
  // given barline types; the walk is read from the time signatures.
  std::vector<std::string> Walk(const std::vector<int>& barlines, bool repeat = true) {
    std::vector<CBar> bars;
    for (std::size_t i = 0; i < barlines.size(); ++i)
      bars.push_back(Bar(1.0f, static_cast<int>(i + 1), 2, barlines[i]));
    std::vector<std::string> walk;
    for (const std::string& line : Events(bars, {}, repeat)) {
      const auto tick = std::stoi(line);
      const auto slash = line.find('/');
      const auto space = line.rfind(' ', slash);
      walk.push_back(std::to_string(tick / 120) + ":" + line.substr(space + 1, slash - space - 1));
    }
    return walk;
  }
};

TEST_F(ConductorTest, FirstEventsAreTimeSignatureTempoKeyAndThirtyBlanks) {
  const Bytes expected =
      Cat({B({0x00, 0xFF, 0x58, 0x04, 0x06, 0x03, 0xB4, 0x08,  // 6/8
              0x00, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0}),      // 100 bpm
           KeyAndBlankText()});
  EXPECT_EQ(Conductor({Bar(3.0f, 6, 3)}, {{0, 100, 0}, {0, 80, -1}}), expected);
  // Several entries at tick 0 make one event, the last, after the blank text.
  EXPECT_EQ(Conductor({Bar(3.0f, 6, 3)}, {{0, 100, 0}, {0, 120, 0}, {0, 80, -1}}),
            Cat({B({0x00, 0xFF, 0x58, 0x04, 0x06, 0x03, 0xB4, 0x08}), KeyAndBlankText(),
                 B({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20})}));
  // The first entry is the starting tempo, whatever its tick.
  EXPECT_EQ(Conductor({Bar(3.0f, 6, 3)}, {{50, 100, 0}}),
            Cat({B({0x00, 0xFF, 0x58, 0x04, 0x06, 0x03, 0xB4, 0x08, 0x00, 0xFF, 0x51, 0x03, 0x09,
                    0x27, 0xC0}),
                 KeyAndBlankText()}));
}

TEST_F(ConductorTest, NoBarsNoTemposStillMakeAValidTrack) {
  EXPECT_EQ(Conductor({}, {}), KeyAndBlankText());
  EXPECT_EQ(Conductor({}, {{0, 120, -1}, {0, 60, 0}, {480, 90, 0}}),
            Cat({KeyAndBlankText(), B({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40})}));
  // A first bar without a usable time signature writes none.
  EXPECT_EQ(Conductor({Bar(4.0f, 0, 0), Bar(0.0f, -2, 2), Bar(std::nanf(""), 4, 2)}, {}),
            Cat({KeyAndBlankText(), B({0x83, 0x60, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x78, 0x08})}));
}

TEST_F(ConductorTest, RepeatWalks) {
  // 1 |: 2 3 :| 4
  EXPECT_THAT(Walk({4, 0, 3, 0}), ElementsAre("0:1", "1:2", "2:3", "3:2", "4:3", "5:4"));
  // 1 2 :| 3: no start-repeat, back to bar 1
  EXPECT_THAT(Walk({0, 3, 0}), ElementsAre("0:1", "1:2", "2:1", "3:2", "4:3"));
  // An end-repeat on the last bar sends the walk back too.
  EXPECT_THAT(Walk({0, 0, 3}), ElementsAre("0:1", "1:2", "2:3", "3:1", "4:2", "5:3"));
  EXPECT_THAT(Walk({4, 0, 3}), ElementsAre("0:1", "1:2", "2:3", "3:2", "4:3"));
  // 5 and 6 close one repeat and open the next: 1 |: 2 :|: 3 :| 4
  EXPECT_THAT(Walk({4, 5, 3, 0}), ElementsAre("0:1", "1:2", "2:2", "3:3", "4:3", "5:4"));
  EXPECT_THAT(Walk({4, 6, 6, 0}), ElementsAre("0:1", "1:2", "2:2", "3:3", "4:3", "5:4"));
  // A repeat is played once: a second end-repeat without a new start-repeat is passed.
  EXPECT_THAT(Walk({3, 3, 0}), ElementsAre("0:1", "1:1", "2:2", "3:3"));
  // Repeats off: barline types are ignored.
  EXPECT_THAT(Walk({4, 0, 3, 0}, false), ElementsAre("0:1", "1:2", "2:3", "3:4"));
  // A single bar with an end-repeat is played twice, as the tracks play it.
  EXPECT_THAT(Walk({3}), ElementsAre("0:1", "1:1"));
  EXPECT_THAT(Walk({4}), ElementsAre("0:1"));
}

TEST_F(ConductorTest, TemposArePlacedOnTheRepeatedTimeLine) {
  // Bars 1 2 :| 3 of 480, 480 and 360 ticks, walked 1 2 1 2 3: bar starts 0 480 960 1440 1920,
  // the end at 2280.
  const std::vector<CBar> bars = {Bar(4.0f, 4, 2), Bar(4.0f, 0, 0, 3), Bar(3.0f, 3, 2)};
  const std::vector<CTempoEvent> tempos = {{0, 120, 0},   {240, 100, 0}, {600, 90, 0},
                                           {700, 80, -1}, {960, 70, 0},  {1500, 60, 0},
                                           {1920, 50, 0}, {2279, 40, 0}, {2280, 30, 0}};
  EXPECT_THAT(Events(bars, tempos),
              ElementsAreArray(std::vector<std::string>{
                  "0 time-signature 4/4 clocks 120 32nds 8", "0 tempo 500000",
                  "240 tempo 600000",  // inside bar 1: before bar 2 begins
                  "600 tempo 666666",  // the cancelled entry at 700 writes nothing
                  "960 time-signature 4/4 clocks 120 32nds 8",  // bar 1 again, then its tempo
                  "960 tempo 857142", "1500 tempo 1000000",
                  "1920 time-signature 3/4 clocks 120 32nds 8", "1920 tempo 1200000",
                  "2279 tempo 1500000",  // 2280 is the end of the last bar: not written
              }));
}

TEST_F(ConductorTest, TemposOutOfOrderNeverGoBackInTime) {
  EXPECT_THAT(
      Events({Bar(4.0f, 4, 2), Bar(4.0f)},
             {{0, 120, 0}, {-5, 60, 0}, {500, 90, 0}, {300, 80, 0}, {700, 70, 0}}),
      ElementsAre("0 time-signature 4/4 clocks 120 32nds 8", "0 tempo 1000000",
                  "500 tempo 666666", "500 tempo 750000", "700 tempo 857142"));
}

TEST_F(ConductorTest, OneTempoEventPerTick) {
  // Identical entries (a mark and a rule at one note) and differing ones alike: the last counts.
  EXPECT_THAT(Events({Bar(4.0f, 4, 2), Bar(4.0f)},
                     {{0, 120, 0}, {240, 90, 0}, {240, 90, 0}, {240, 90, 0}, {600, 80, 0},
                      {600, 70, 0}, {600, 60, -1}}),
              ElementsAre("0 time-signature 4/4 clocks 120 32nds 8", "0 tempo 500000",
                          "240 tempo 666666", "600 tempo 857142"));
}

TEST_F(ConductorTest, ZeroAndHugeBarLengthsStayWithinTheFormat) {
  const std::vector<CBar> bars = {Bar(0.0f, 4, 2), Bar(-3.0f, 3, 2), Bar(1e30f, 2, 2),
                                  Bar(1e30f, 5, 2)};
  EXPECT_THAT(Events(bars, {{0, 120, 0}, {1000, 60, 0}}),
              ElementsAre("0 time-signature 4/4 clocks 120 32nds 8", "0 tempo 500000",
                          "0 time-signature 3/4 clocks 120 32nds 8",
                          "0 time-signature 2/4 clocks 120 32nds 8", "1000 tempo 1000000",
                          "268435455 time-signature 5/4 clocks 120 32nds 8"));
}

}  // namespace
}  // namespace vellumix::test
