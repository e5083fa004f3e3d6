#include "playback/tempo_map.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "midi/reader.h"

namespace vellumix::playback {
namespace {

MidiEvent Tempo(std::int64_t tick, std::uint32_t perQuarter) {
  MidiEvent e;
  e.tick = tick;
  e.status = 0xFF;
  e.metaType = 0x51;
  e.data = {static_cast<std::uint8_t>(perQuarter >> 16), static_cast<std::uint8_t>(perQuarter >> 8),
            static_cast<std::uint8_t>(perQuarter)};
  return e;
}

// 480 ticks a quarter: 120 a minute for two quarters, then 240 from tick 960 and 60 from 1920
// (in another track), ending at tick 2400.
MidiFile TwoTempoChanges() {
  MidiFile file;
  file.format = 1;
  file.division = 480;
  file.tracks.resize(2);
  file.tracks[0].events = {Tempo(960, 250000)};
  file.tracks[0].endTick = 960;
  file.tracks[1].events = {Tempo(1920, 1000000)};
  file.tracks[1].endTick = 2400;
  return file;
}

TEST(TempoMap, MillisecondsAndTicksThroughTempoChanges) {
  struct Case {
    std::int64_t tick;
    double ms;
  };
  const Case cases[] = {
      {0, 0}, {480, 500}, {960, 1000}, {1440, 1250}, {1920, 1500}, {2160, 2000}, {2400, 2500},
  };
  TempoMap map(TwoTempoChanges());
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(map.TicksToMs(c.tick), c.ms) << c.tick;
    EXPECT_EQ(map.MsToTicks(c.ms), c.tick) << c.ms;
  }
  // Between ticks, the tick that has started.
  EXPECT_EQ(map.MsToTicks(1250.9), 1441);
  EXPECT_EQ(map.MsToTicks(-5), 0);
  EXPECT_DOUBLE_EQ(map.BpmAt(1000), 240.0);
  EXPECT_DOUBLE_EQ(map.BpmAt(0), 120.0);
}

TEST(TempoMap, LengthAgreesWithThePlayingTime) {
  MidiFile file = TwoTempoChanges();
  TempoMap map(file);
  EXPECT_EQ(map.EndTick(), 2400);
  EXPECT_DOUBLE_EQ(map.LengthMs(), PlayingSeconds(file) * 1000);
}

TEST(TempoMap, TimeCodeDivisionRunsAtItsFrameRate) {
  MidiFile file;
  file.division = (0x100 - 25) << 8 | 40;  // 25 frames of 40 ticks: a tick is a millisecond
  file.tracks.resize(1);
  file.tracks[0].endTick = 3000;
  TempoMap map(file);
  EXPECT_DOUBLE_EQ(map.TicksToMs(1500), 1500.0);
  EXPECT_EQ(map.MsToTicks(2999.5), 2999);
}

}  // namespace
}  // namespace vellumix::playback
