// Malformed items never stop a track and never make an event outside the MIDI ranges.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <random>

#include "engine_fixture.h"

namespace vellumix::test {
namespace {

using ::testing::ElementsAre;

void ExpectMidiBytes(const Engine& engine) {
  for (const CBarDataEvent& e : engine.Pending()) {
    EXPECT_GE(e.status, 0x80);
    EXPECT_LE(e.status, 0xEF);
    EXPECT_LE(e.data1, 127);
    EXPECT_LE(e.data2, 127);
    EXPECT_LE(e.tag, 127);
    EXPECT_LE(e.tick, 1 << 30);
    EXPECT_GE(e.tick, -(1 << 30));
  }
}

TEST_F(EngineTest, StepOutsideThePitchTableSkipsTheNoteButNotItsTime) {
  Note(10.0f, 50, 1);   // index 84
  Note(20.0f, -40, 1);  // index -6
  Item(Line({3, 1, 25, 0, 1}));
  Note(30.0f, 53, 1);  // bass clef: index 75, one past the end
  Note(40.0f, 52, 1);  // index 74: note 127
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{360, 0x90, 127, 80}));
}

TEST_F(EngineTest, DurationsThatAreNotPositiveNumbersSoundNothing) {
  Item("1.0000 10.0000 3.0000 0.0000 nan 0.0000 0.0000 0.0000 \r\n");
  Item("1.0000 10.0000 3.0000 0.0000 0.0000 0.0000 0.0000 0.0000 \r\n");
  Item("1.0000 10.0000 3.0000 0.0000 -1.0000 0.0000 0.0000 0.0000 \r\n");
  Item("2.0000 10.0000 nan 0.0000 \r\n");
  Item("2.0000 10.0000 -2.0000 0.0000 \r\n");
  EXPECT_TRUE(engine.Pending().empty());
  EXPECT_TRUE(engine.Durations().empty());
  // An infinite value reads as a grace note: it waits for the next main note.
  Item("1.0000 12.0000 3.0000 0.0000 inf 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(engine.Graces().size(), 1u);
  Note(20.0f, 3, 1);
  EXPECT_THAT(NoteOns(), ElementsAre(Ev{0, 0x90, 64, 80}, Ev{0, 0x90, 64, 80}));
}

TEST_F(EngineTest, HugeAndNonNumericFieldsAreHarmless) {
  Item("1.0000 1e30 3.0000 0.0000 1.0000 \r\n");
  Item("1.0000 nan 3.0000 0.0000 1.0000 \r\n");
  Item("1.0000 30.0000 nan nan 1.0000 \r\n");
  Item("1.0000 40.0000 1e30 1e30 1.0000 \r\n");
  Item("3.0000 50.0000 0.0000 nan \r\n");
  Item("17.0000 50.0000 nan \r\n");
  Item("17.0000 50.0000 -1e30 \r\n");
  Item("8.0000 50.0000 0.0000 inf \r\n");
  Item("8.0000 50.0000 0.0000 -1e30 \r\n");
  Item("7.0000 50.0000 nan 8.0000 \r\n");
  Item("5.0000 50.0000 7.0000 7.0000 nan 0.0000 -2.0000 \r\n");
  Item("99.0000 50.0000 \r\n");
  Item("garbage\r\n");
  Item("");
  Note(60.0f, 3, 63.9f);
  ExpectMidiBytes(engine);
  EXPECT_FALSE(engine.Pending().empty());
}

TEST_F(EngineTest, RandomLinesKeepEveryEventInRange) {
  std::mt19937 random(20240611);
  const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            1e30f,
                            -1e30f,
                            0.0f,
                            0.8f,
                            64.0f,
                            99.5f,
                            100.5f,
                            -100.5f,
                            999.0f,
                            -2.0f,
                            0.5f,
                            125.0f,
                            2.0f,
                            7.0f,
                            8.0f,
                            15.0f};
  const float codes[] = {1, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 16, 17, 14, 0, -1, 1e9f};
  PercussionMap map;
  for (int i = 0; i < 40; ++i)
    map.Add(static_cast<std::uint8_t>(random() % 256), static_cast<std::uint8_t>(random() % 256),
            static_cast<std::uint8_t>(random() % 65));
  auto pick = [&](auto& array) { return array[random() % (sizeof(array) / sizeof(array[0]))]; };
  auto value = [&]() -> float {
    switch (random() % 3) {
      case 0:
        return pick(specials);
      case 1:
        return static_cast<float>(static_cast<int>(random() % 200) - 100);
      default:
        return static_cast<float>(random() % 20000) / 100.0f - 20.0f;
    }
  };

  for (int track = 0; track < 20; ++track) {
    defaults.graceNotesOnBeat = track % 2;
    options.code4LinesAsTies = (track / 2) % 2;
    options.ignoreCueNotes = (track / 4) % 2;
    TrackSetup setup;
    setup.number = track + 1;
    setup.channel = track % 3 == 0 ? 40 : track;
    setup.instrumentTransposition = static_cast<int>(random() % 200) - 100;
    setup.percussionMap = track % 2 ? &map : nullptr;
    StartTrack(setup);
    for (int i = 0; i < 3000; ++i) {
      std::string line;
      char buf[64];
      const float code = pick(codes);
      std::snprintf(buf, sizeof buf, "%.4f ", static_cast<double>(code));
      line += buf;
      const int count = static_cast<int>(random() % 13);
      for (int f = 1; f < count; ++f) {
        std::snprintf(buf, sizeof buf, "%.4f ", static_cast<double>(value()));
        line += buf;
      }
      if (code == 16.0f) line += "text";
      Item(line);
      ExpectMidiBytes(engine);
      if (::testing::Test::HasFailure()) return;
      switch (random() % 40) {
        case 0:
          engine.EndExpiredTies(value(), random() % 2 == 0);
          engine.FlushGraceNotes();
          engine.ClearBarState(false);
          engine.SetBar(value(), value());
          break;
        case 1:
          engine.SetPreviousSystemEnd(value());
          engine.StartSystem();
          break;
        case 2:
          engine.TrackEvents().push_back({static_cast<std::int32_t>(random() % 50), 0x90, 1, 1});
          break;
        default:
          break;
      }
    }
    engine.FlushGraceNotes();
    ExpectMidiBytes(engine);
    engine.ClearBarState(true);
    engine.ClearTrack();
  }
}

}  // namespace
}  // namespace vellumix::test
