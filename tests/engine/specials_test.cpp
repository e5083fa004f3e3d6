// Specials played by the engine: trills, hairpins, gradual tempo changes and tremolos, with the
// special files written into a scratch library folder.
#include <span>

#include "engine_fixture.h"
#include "library/library.h"
#include "library/specials.h"
#include "library/symbols.h"
#include "platform/files.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

using test::Ev;
using ::testing::ElementsAre;

SpecialRecord Pattern(std::string name, std::initializer_list<std::int32_t> durations,
                      std::initializer_list<std::int32_t> pitches, std::int32_t unit) {
  SpecialRecord r;
  r.fileName = std::move(name);
  std::copy(durations.begin(), durations.end(), r.durations.begin());
  std::copy(pitches.begin(), pitches.end(), r.pitchMovements.begin());
  r.repeated = 1;
  r.minimumDuration = unit;
  return r;
}

SpecialRecord Change(std::string name, std::string until, std::int32_t offset) {
  SpecialRecord r;
  r.fileName = std::move(name);
  r.kind = kRelativeChangeEvent;
  r.changeVelocity = 1;
  r.untilSymbol = std::move(until);
  r.offset = offset;
  return r;
}

class SpecialsTest : public test::EngineTest {
 protected:
  void SetUp() override {
    settings.LibraryFolder = folder.slashed();
    engine.SetSymbolLibrary(&symbols);
    engine.SetSpecialsLibrary(&specials);
    EngineTest::SetUp();
    engine.StartTrackSpecials();
  }
  void Put(const SpecialRecord& r) {
    files::WriteAtomic(folder.path() / SpecialFileName(r.fileName, ""), EncodeSpecial(r));
  }
  // Interprets the lines in order, each with the lines after it to read ahead.
  void Run(const std::vector<std::string>& lines) {
    ahead_.assign(lines.begin(), lines.end());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      engine.SetLinesAhead(std::span<const std::string_view>(ahead_).subspan(i + 1));
      Item(lines[i]);
    }
    engine.SetLinesAhead({});
  }
  std::vector<std::string_view> ahead_;  // views of the lines Run is given
  int Reads(const std::string& file) const {
    int n = 0;
    for (const auto& s : host.statuses) n += s.text == "Reading file " + file;
    return n;
  }
  // Pitches of the note-ons, and their ticks.
  std::vector<int> OnPitches() const {
    std::vector<int> out;
    for (const Ev& e : NoteOns()) out.push_back(e.data1);
    return out;
  }
  std::vector<int> OnTicks() const {
    std::vector<int> out;
    for (const Ev& e : NoteOns()) out.push_back(e.tick);
    return out;
  }
  static std::string Trill(float x, float end, float accidental = 0) {
    return Line({7, 1, x, end, 0, accidental, 0});
  }
  static std::string Hairpin(float x, float end, bool up) {
    return Line({4, 1, x, 5, 999, end, up ? 1.0f : 0.0f, 0, 0, 0, 0, 0, 0});
  }
  static std::string Beam(float x, float end, float kind, float strokes) {
    return Line({6, 1, x, 0, 0, end, kind, strokes, 0, 0});
  }
  static std::string NoteLine(float x, float step, float duration) {
    return Line({1, 1, x, step, 0, duration, 0, 0, 0});
  }

  test::TempFolder folder;
  SettingsLibrary settings{host};
  SymbolLibrary symbols{host, settings};
  SpecialLibrary specials{host, settings, symbols};
};

TEST_F(SpecialsTest, DiatonicTrillOnAHalfNote) {
  Put(Pattern("TRILL", {1, 1}, {0, 2}, 15));
  // C4 (step 1) for a half note under a trill line.
  Run({Trill(10, 20), NoteLine(10, 1, 2)});
  std::vector<int> pitches;
  std::vector<int> ticks;
  for (int i = 0; i < 16; ++i) {
    pitches.push_back(i % 2 ? 62 : 60);
    ticks.push_back(15 * i);
  }
  EXPECT_EQ(OnPitches(), pitches);
  EXPECT_EQ(OnTicks(), ticks);
  EXPECT_EQ(Events().back(), (Ev{240, 0x80, 62, 80}));
  EXPECT_EQ(Events().size(), 32u);

  // In a key with B flat the trill on A takes B flat, and the next note after the trill's end
  // sounds plainly.
  engine.ClearBarState(false);
  Run({Line({17, 1, 0, -1}), Trill(10, 20), NoteLine(10, 6, 0.5), NoteLine(30, 6, 0.5)});
  EXPECT_THAT(OnPitches(), ElementsAre(69, 70, 69, 70, 69));
  EXPECT_THAT(OnTicks(), ElementsAre(0, 15, 30, 45, 60));
  EXPECT_EQ(Reads("TRILL.SSL"), 1);

  // A flat on the trill line loads TRILLB, played as stored: no diatonic correction.
  Put(Pattern("TRILLB", {1, 1}, {0, 2}, 30));
  engine.ClearBarState(false);
  Run({Trill(10, 20, 1), NoteLine(10, 3, 1)});  // E4
  EXPECT_THAT(OnPitches(), ElementsAre(64, 66, 64, 66));
}

TEST_F(SpecialsTest, HairpinRisesToTheDynamicItEndsAt) {
  Put(Change("HAIRPINU", "56", 100));
  SymbolRecord forte;
  forte.number = 56;
  forte.velocityLevel = 100;
  forte.permanent = 1;
  files::WriteAtomic(folder.path() / SymbolFileName(56, ""), EncodeSymbol(forte));
  engine.SetVelocity(60);
  Run({Hairpin(10, 50, true), NoteLine(10, 3, 1), NoteLine(20, 3, 1), NoteLine(30, 3, 1),
       NoteLine(40, 3, 0.5), Line({9, 1, 50, 56})});
  std::vector<int> velocities;
  for (const Ev& e : NoteOns()) velocities.push_back(e.data2);
  EXPECT_THAT(velocities, ElementsAre(60, 70, 80, 90));
  EXPECT_EQ(engine.Velocity(), 100);
}

TEST_F(SpecialsTest, HairpinSpecialIsLoadedOncePerDirection) {
  Put(Change("HAIRPINU", "", 150));
  Put(Change("HAIRPIND", "", 50));
  Run({Hairpin(10, 30, true), NoteLine(10, 3, 1), NoteLine(20, 3, 1), Hairpin(40, 60, true),
       NoteLine(40, 3, 1)});
  EXPECT_EQ(Reads("HAIRPINU.SSL"), 1);
  EXPECT_EQ(Reads("HAIRPIND.SSL"), 0);
  Run({Hairpin(70, 90, false), NoteLine(70, 3, 1), Hairpin(100, 120, true)});
  EXPECT_EQ(Reads("HAIRPIND.SSL"), 1);
  EXPECT_EQ(Reads("HAIRPINU.SSL"), 2);

  // From 80 over two notes to 120: +20 a note; the second crescendo's one note goes to 127;
  // the diminuendo halves that over its one note (127 * 50 / 100 = 63); the last crescendo
  // has no note ahead and changes nothing.
  std::vector<int> velocities;
  for (const Ev& e : NoteOns()) velocities.push_back(e.data2);
  EXPECT_THAT(velocities, ElementsAre(80, 100, 120, 127));
  EXPECT_EQ(engine.Velocity(), 63);
}

TEST_F(SpecialsTest, TempoChangeOnTheTempoTrackRunsToAMetronomeMark) {
  SpecialRecord accel = Change("ACCEL", "", 150);
  accel.changeVelocity = 0;
  accel.changeTempo = 1;
  Put(accel);
  TrackSetup tempoTrack;
  tempoTrack.startingTempo = 100;
  engine.StartTrack(tempoTrack);
  engine.SetBar(200.0f, 4.0f);
  engine.StartTrackSpecials();
  engine.SetBarStartTick(480);

  const std::vector<std::string> ahead = {NoteLine(10, 3, 1), NoteLine(20, 3, 1),
                                          Line({16, 1, 30, 0}, "[ = 140")};
  const std::vector<std::string_view> aheadViews(ahead.begin(), ahead.end());
  engine.SetLinesAhead(LinesAhead(std::span<const std::string_view>(aheadViews)));
  engine.StartNamedSpecial("ACCEL [Strings].SSL", ParseTrackLine(Line({16, 1, 10, 0}, "accel.")));
  ASSERT_TRUE(engine.Slot(kSpecialSlot).active);
  // The notes at the last position before the mark are outside the change.
  EXPECT_FLOAT_EQ(engine.Slot(kSpecialSlot).end, 19.0f);
  Run(ahead);

  // Two notes to the mark: +20 on the first, spread over its 15 steps of the 8-tick unit so
  // that they add up to 20 exactly.
  std::vector<CTempoEvent> changes;
  for (const CTempoEvent& t : engine.Tempos())
    if (t.tick < 480 + 240) changes.push_back(t);
  ASSERT_EQ(changes.size(), 15u);
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(changes[static_cast<std::size_t>(i)].tick, 480 + 8 * i);
    EXPECT_EQ(changes[static_cast<std::size_t>(i)].tempo, 100 + 20 * (i + 1) / 15);
  }

  // Off the tempo track the same special changes no tempo.
  engine.Tempos().clear();
  StartTrack();
  engine.StartTrackSpecials();
  engine.SetLinesAhead(LinesAhead(std::span<const std::string_view>(aheadViews)));
  engine.StartNamedSpecial("ACCEL.SSL", ParseTrackLine(Line({16, 1, 10, 0}, "accel.")));
  Run(ahead);
  for (const CTempoEvent& t : engine.Tempos()) EXPECT_NE(t.tempo, 101);
}

TEST_F(SpecialsTest, OneNoteTremoloHalvesTheUnitPerStroke) {
  Put(Pattern("TREMOLO", {1}, {0}, 60));
  Run({Beam(10, 12, -10, 2), NoteLine(10, 3, 1)});
  EXPECT_THAT(OnTicks(), ElementsAre(0, 30, 60, 90));
  EXPECT_THAT(OnPitches(), ElementsAre(64, 64, 64, 64));

  // The next tremolo starts again from the file's unit; an eighth note fits four strokes'
  // worth of its own length.
  engine.ClearBarState(false);
  Run({Beam(10, 12, -12, 12), NoteLine(10, 3, 0.5), NoteLine(20, 3, 0.5)});
  EXPECT_THAT(OnTicks(), ElementsAre(0, 15, 30, 45, 60));
}

TEST_F(SpecialsTest, TwoNoteTremoloAlternatesTheChords) {
  // C4 and E4, then G4 and C5, each a quarter; two strokes: 30 ticks, over both quarters.
  Run({Beam(10, 30, 1, 2), NoteLine(10, 1, 1), NoteLine(10, 3, 1), NoteLine(30, 5, 1),
       NoteLine(30, 8, 1)});
  std::vector<Ev> ons = NoteOns();
  ASSERT_EQ(ons.size(), 16u);
  std::vector<int> lower;
  std::vector<int> upper;
  for (const Ev& e : ons) {
    EXPECT_EQ(e.tick % 30, 0);
    (e.data1 == 60 || e.data1 == 67 ? lower : upper).push_back(e.data1);
  }
  EXPECT_THAT(lower, ElementsAre(60, 67, 60, 67, 60, 67, 60, 67));
  EXPECT_THAT(upper, ElementsAre(64, 72, 64, 72, 64, 72, 64, 72));
  EXPECT_EQ(Events().back().tick, 240);
  EXPECT_EQ(specials.Loaded(kTremoloSlot), nullptr);  // built in, not read from a file
}

TEST_F(SpecialsTest, BadSpecialsLeaveThePlainNote) {
  const std::vector<Ev> plain = {{0, 0x90, 60, 80}, {228, 0x80, 60, 80}};
  // Truncated file.
  const std::vector<std::uint8_t> truncated = {0x36, 0x01, 0x00, 0x00, 0x05,
                                               'T',  'R',  'I',  'L',  'L'};
  files::WriteAtomic(folder.path() / "TRILL.SSL", truncated);
  Run({Trill(10, 20), NoteLine(10, 1, 2)});
  EXPECT_EQ(Events(), plain);
  EXPECT_EQ(host.MessageIds(), std::vector<int>{20002});

  // Every duration 0.
  // A new run reads the files again.
  specials.Release();
  engine.ClearBarState(false);
  Put(Pattern("TRILL", {}, {0, 2}, 15));
  Run({Trill(10, 20), NoteLine(10, 1, 2)});
  EXPECT_EQ(Events(), plain);

  // A stretched pattern longer than the note in ticks.
  specials.Release();
  engine.ClearBarState(false);
  SpecialRecord stretched = Pattern("TRILL", {99, 99}, {0, 2}, 0);
  stretched.repeated = 0;
  Put(stretched);
  Run({Trill(10, 20), NoteLine(10, 1, 0.5)});
  EXPECT_EQ(Events(), (std::vector<Ev>{{0, 0x90, 60, 80}, {57, 0x80, 60, 80}}));

  // A two-note tremolo whose second chord is missing, and one with absurd stroke counts.
  engine.DeactivateSlots();
  engine.ClearBarState(false);
  Run({Beam(10, 30, 1, 2), NoteLine(10, 1, 2)});
  EXPECT_EQ(Events(), plain);
  engine.ClearBarState(false);
  Run({Beam(10, 30, 3e38f, 3e38f), NoteLine(10, 1, 1), NoteLine(30, 3, 1)});
  EXPECT_FALSE(NoteOns().empty());
}

TEST_F(SpecialsTest, EdgesOfRangeAndCount) {
  // Repeat unit 0 halved by nine strokes: one tick, still a finite pattern.
  Put(Pattern("TREMOLO", {1}, {0}, 0));
  Run({Beam(10, 12, -10, 9), NoteLine(10, 3, 1)});
  EXPECT_EQ(NoteOns().size(), 120u);

  // A trill at the top of the range: the upper note can't sound, the bytes stay in range.
  engine.ClearBarState(false);
  Put(Pattern("TRILL", {1, 1}, {0, 2}, 60));
  Run({Trill(10, 20), NoteLine(10, 40, 1)});
  EXPECT_THAT(OnPitches(), ElementsAre(127));

  // A relative change with no note ahead: nothing to divide, the dynamic stays.
  engine.ClearBarState(false);
  Put(Change("HAIRPINU", "", 300));
  Run({Hairpin(10, 50, true)});
  Run({NoteLine(20, 3, 1), NoteLine(30, 3, 1)});
  EXPECT_EQ(engine.Velocity(), 80);
}

}  // namespace
}  // namespace vellumix
