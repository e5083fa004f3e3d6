// The bundled sonatina, transcribed through the command line with the factory library and read
// back by independent readers: what a listener hears of its marks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kMidicsv = "/usr/bin/midicsv";
constexpr const char* kTimidity = "/usr/bin/timidity";
constexpr const char* kTimidityConfig = "/etc/timidity/timgm6mb.cfg";
constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// Every note and tempo change with its absolute tick, as python3-mido reads the file.
const char* kMidoScript = R"(
import sys, mido
f = mido.MidiFile(sys.argv[1])
print('division', f.ticks_per_beat)
for n, track in enumerate(f.tracks):
    tick = 0
    for m in track:
        tick += m.time
        if m.type == 'note_on' and m.velocity > 0:
            print('on', n, tick, m.note, m.velocity)
        elif m.type == 'note_off' or m.type == 'note_on':
            print('off', n, tick, m.note, 0)
        elif m.type == 'set_tempo':
            print('tempo', n, tick, m.tempo, 0)
)";

// The peak sample of a WAV file, by python3's wave module.
const char* kPeakScript = R"(
import sys, wave, array
w = wave.open(sys.argv[1])
assert w.getsampwidth() == 2
a = array.array('h', w.readframes(w.getnframes()))
print(w.getnframes(), max(abs(min(a)), max(a)) if a else 0)
)";

struct Event {
  std::string kind;
  int track = 0;
  std::int64_t tick = 0;
  int value = 0;  // note number, or microseconds per quarter
  int velocity = 0;
};

// Bar and beat of the score (4/4, 120 ticks to the quarter). Bars 5 to 8 are repeated, so bar 9
// of the score is the thirteenth bar played.
constexpr std::int64_t kBar = 480;
constexpr std::int64_t kBeat = 120;
std::int64_t At(int playedBar, double beat) {
  return (playedBar - 1) * kBar + static_cast<std::int64_t>(beat * kBeat);
}

constexpr int kBassTrack = 1;  // staff 1, instrument 1
constexpr int kTrebleTrack = 2;  // staff 2, instrument 2

class SonatinaCli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    data_ = new test::TempFolder;
    midi_ = data_->slashed() + "sonatina.mid";
    result_ = new test::ProgramResult(test::RunCli(
        {"--data-dir", data_->path().string(), "transcribe",
         std::string(VELLUMIX_EXAMPLES_DIR) + "/sonatina.mus", "-o", midi_}));
  }
  static void TearDownTestSuite() {
    delete result_;
    delete data_;
  }

  void SetUp() override {
    ASSERT_EQ(result_->status, 0) << result_->err;
    if (!fs::exists(kPython) ||
        test::RunProgram(kPython, {"-c", "import mido"}).status != 0)
      GTEST_SKIP() << "python3-mido missing";
    auto mido = test::RunProgram(kPython, {"-c", kMidoScript, midi_});
    ASSERT_EQ(mido.status, 0) << mido.err;
    std::istringstream in(mido.out);
    std::string word;
    in >> word >> division_;
    Event e;
    while (in >> e.kind >> e.track >> e.tick >> e.value >> e.velocity) events_.push_back(e);
  }

  std::vector<Event> Ons(int track, std::int64_t from, std::int64_t to) const {
    std::vector<Event> out;
    for (const Event& e : events_)
      if (e.kind == "on" && e.track == track && e.tick >= from && e.tick < to) out.push_back(e);
    return out;
  }
  // The tick of the first note-off of `note` at or after `from` on the track.
  std::int64_t OffAfter(int track, int note, std::int64_t from) const {
    for (const Event& e : events_)
      if (e.kind == "off" && e.track == track && e.value == note && e.tick >= from) return e.tick;
    return -1;
  }
  // Microseconds per quarter in force at `tick` (the last change at or before it).
  int TempoAt(std::int64_t tick) const {
    int tempo = 500000;
    for (const Event& e : events_)
      if (e.kind == "tempo" && e.tick <= tick) tempo = e.value;
    return tempo;
  }
  std::vector<Event> Tempos(std::int64_t from, std::int64_t to) const {
    std::vector<Event> out;
    for (const Event& e : events_)
      if (e.kind == "tempo" && e.tick >= from && e.tick < to) out.push_back(e);
    return out;
  }

  static test::TempFolder* data_;
  static std::string midi_;
  static test::ProgramResult* result_;
  int division_ = 0;
  std::vector<Event> events_;
};

test::TempFolder* SonatinaCli::data_ = nullptr;
std::string SonatinaCli::midi_;
test::ProgramResult* SonatinaCli::result_ = nullptr;

TEST_F(SonatinaCli, EveryNoteEndsAndMidicsvReadsTheTempoMarks) {
  EXPECT_EQ(division_, 120);
  int on = 0, off = 0;
  for (const Event& e : events_) {
    on += e.kind == "on";
    off += e.kind == "off";
  }
  EXPECT_GT(on, 100);
  EXPECT_EQ(on, off);
  if (!fs::exists(kMidicsv)) GTEST_SKIP() << "midicsv missing";
  auto csv = test::RunProgram(kMidicsv, {midi_});
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(csv.out.find("0, 0, Header, 1, 3, 120"), std::string::npos);
  EXPECT_NE(csv.out.find("1, 0, Tempo, 625000"), std::string::npos);  // quarter = 96
  // The last bar (the fourteenth played) is at quarter = 60.
  EXPECT_NE(csv.out.find("1, " + std::to_string(At(16, 0)) + ", Tempo, 1000000"),
            std::string::npos);
}

TEST_F(SonatinaCli, TempoMarkFermataAndRitenutoShapeTheTempo) {
  EXPECT_EQ(TempoAt(0), 625000);  // "quarter = 96" at the start
  // The fermata over the half note of bar 4 holds it back; the next bar is in tempo again.
  const int held = TempoAt(At(4, 2));
  EXPECT_GT(held, 625000);
  EXPECT_EQ(TempoAt(At(4, 2) - 1), 625000);
  EXPECT_EQ(TempoAt(At(5, 0)), 625000);
  // Nothing else slows down before the rit. of bar 11 (played bar 15).
  for (const Event& e : Tempos(At(5, 0), At(15, 1))) EXPECT_EQ(e.value, 625000) << e.tick;
  // rit.: the tempo falls step by step from its second beat to the slower last bar.
  const auto rit = Tempos(At(15, 1), At(16, 0));
  ASSERT_GE(rit.size(), 5u);
  int last = 625000;
  for (const Event& e : rit) {
    EXPECT_GT(e.value, last) << e.tick;
    last = e.value;
  }
  EXPECT_GE(TempoAt(At(16, 0)), last);
  EXPECT_EQ(TempoAt(At(16, 0)), 1000000);
}

TEST_F(SonatinaCli, DynamicsAndTheCrescendoMoveTheVelocities) {
  for (int track : {kBassTrack, kTrebleTrack}) {
    SCOPED_TRACE(track);
    const auto piano = Ons(track, At(1, 0), At(2, 0));
    ASSERT_FALSE(piano.empty());
    const auto forte = Ons(track, At(8, 0), At(8, 1));
    ASSERT_EQ(forte.size(), 1u);
    for (const Event& e : piano) EXPECT_LT(e.velocity, forte[0].velocity);
    // Bars 6 and 7 (and again when repeated, bars 10 and 11 played): the hairpin raises the
    // velocity note by note from the p towards the f that ends it.
    for (int first : {6, 10}) {
      const auto rising = Ons(track, At(first, 0), At(first + 2, 0));
      ASSERT_GE(rising.size(), 4u);
      EXPECT_EQ(rising.front().velocity, piano.front().velocity);
      for (std::size_t i = 1; i < rising.size(); ++i)
        EXPECT_GT(rising[i].velocity, rising[i - 1].velocity) << rising[i].tick;
      EXPECT_LT(rising.back().velocity, forte[0].velocity);
      EXPECT_GT(rising.back().velocity, piano.front().velocity + 20);
    }
    // After the f the music stays loud: the bar after it is no louder than the f and no softer.
    for (const Event& e : Ons(track, At(8, 0), At(9, 0)))
      EXPECT_EQ(e.velocity, forte[0].velocity) << e.tick;
  }
}

TEST_F(SonatinaCli, TheRepeatedBarsSoundTwice) {
  for (int track : {kBassTrack, kTrebleTrack}) {
    SCOPED_TRACE(track);
    const auto first = Ons(track, At(5, 0), At(9, 0));
    const auto second = Ons(track, At(9, 0), At(13, 0));
    ASSERT_FALSE(first.empty());
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
      EXPECT_EQ(second[i].tick, first[i].tick + 4 * kBar);
      EXPECT_EQ(second[i].value, first[i].value);
      EXPECT_EQ(second[i].velocity, first[i].velocity);
    }
  }
  // The high G is written in bars 5 and 7 only: four times with the repeat.
  int highG = 0;
  for (const Event& e : Ons(kTrebleTrack, 0, At(17, 0))) highG += e.value == 79;
  EXPECT_EQ(highG, 4);
  // The key signature holds after the repeat: bar 11's F is F sharp.
  int fSharp = 0, fNatural = 0;
  for (const Event& e : Ons(kTrebleTrack, 0, At(17, 0))) {
    fSharp += e.value == 66;
    fNatural += e.value == 65;
  }
  EXPECT_EQ(fSharp, 1);
  EXPECT_EQ(fNatural, 0);
}

TEST_F(SonatinaCli, TieGraceNoteAndTrillAreHeard) {
  // Bars 2-3: the half-note A tied to the A of the next bar sounds once, into bar 3.
  std::vector<Event> tiedA;
  for (const Event& e : Ons(kTrebleTrack, At(2, 0), At(4, 0)))
    if (e.value == 69) tiedA.push_back(e);
  ASSERT_EQ(tiedA.size(), 1u);
  EXPECT_EQ(tiedA[0].tick, At(2, 2));
  EXPECT_GT(OffAfter(kTrebleTrack, 69, tiedA[0].tick), At(3, 0));

  // Bar 9 (played 13): the grace-note D sounds just before the C on the second beat.
  const auto bar = Ons(kTrebleTrack, At(13, 0), At(14, 0));
  auto main = std::find_if(bar.begin(), bar.end(), [](const Event& e) { return e.value == 72; });
  ASSERT_NE(main, bar.end());
  EXPECT_EQ(main->tick, At(13, 1));
  auto grace = std::find_if(bar.begin(), bar.end(), [](const Event& e) { return e.value == 74; });
  ASSERT_NE(grace, bar.end());
  EXPECT_LT(grace->tick, main->tick);
  EXPECT_GE(grace->tick, main->tick - 30);
  EXPECT_LE(OffAfter(kTrebleTrack, 74, grace->tick), main->tick);

  // Bar 10 (played 14): the trill on the dotted-half A alternates A and B fast for three beats.
  const auto trill = Ons(kTrebleTrack, At(14, 0), At(14, 3));
  ASSERT_GE(trill.size(), 12u);
  EXPECT_EQ(trill.front().tick, At(14, 0));
  for (std::size_t i = 0; i < trill.size(); ++i) {
    EXPECT_EQ(trill[i].value, i % 2 == 0 ? 69 : 71) << trill[i].tick;
    if (i > 0) {
      EXPECT_EQ(trill[i].tick - trill[i - 1].tick, trill[1].tick - trill[0].tick);
      EXPECT_LE(trill[i].tick - trill[i - 1].tick, 30);  // a sixteenth or faster
    }
  }
  const auto after = Ons(kTrebleTrack, At(14, 3), At(15, 0));
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].value, 67);  // the G after the trill is a plain note
}

TEST_F(SonatinaCli, TimidityRendersItAudibly) {
  if (!fs::exists(kTimidity) || !fs::exists(kTimidityConfig) || !fs::exists(kSoundFont))
    GTEST_SKIP() << "timidity or timgm6mb-soundfont missing";
  const std::string wav = data_->slashed() + "sonatina.wav";
  auto render = test::RunProgram(kTimidity, {"-c", kTimidityConfig, "-Ow", "-o", wav, midi_});
  ASSERT_EQ(render.status, 0) << render.err;
  auto peak = test::RunProgram(kPython, {"-c", kPeakScript, wav});
  ASSERT_EQ(peak.status, 0) << peak.err;
  std::istringstream in(peak.out);
  long frames = 0, amplitude = 0;
  in >> frames >> amplitude;
  EXPECT_GT(frames, 44100L * 10);  // well over ten seconds of music
  EXPECT_GT(amplitude, 2000);      // of 32767: clearly audible, not silence
}

}  // namespace
}  // namespace vellumix
