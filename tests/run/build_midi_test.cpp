#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "library/factory.h"
#include "library/templates.h"
#include "midi/reader.h"
#include "platform/files.h"
#include "run_program.h"
#include "run/document.h"
#include "score/track_files.h"
#include "scripted_host.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

struct Note {
  std::int64_t tick;
  int status;
  int pitch;
  bool operator==(const Note&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Note& n) {
  return os << "{" << n.tick << ", 0x" << std::hex << n.status << std::dec << ", " << n.pitch
            << "}";
}

// A library with the factory files, and intermediate files written line by line.
struct OldData {
  test::TempFolder data;
  test::ScriptedHost host;
  CVellumixDoc doc{host};

  OldData() {
    InstallFactoryLibrary(data.slashed(), host);
    EXPECT_TRUE(doc.Create(data.slashed(), false));
  }
  void Write(int number, const std::string& text) {
    ASSERT_TRUE(files::WriteAtomic(TrackFileName(data.slashed(), number), text));
  }
  std::optional<MidiFile> Run() {
    const std::string out = data.slashed() + "out.mid";
    if (ReadOldData(doc, out) != RunResult::kDone) return std::nullopt;
    auto bytes = files::ReadAll(out);
    if (!bytes) return std::nullopt;
    return ReadMidiFile(*bytes);
  }
};

std::string Line(std::initializer_list<float> values) {
  CItem item;
  for (float v : values) item.values.Append(v);
  return FormatTrackLine(item, false, false);
}

std::string Bar(float end, float type, float length, float num, float power, bool first) {
  CItem item;
  for (float v : {end, 1.0f, type, length, num, power}) item.values.Append(v);
  return FormatTrackLine(item, true, first);
}

// A note: P1 P2 P3 P4 P5 P7 P11 P12 P13.
std::string NoteLine(float x, float step, float duration) {
  return Line({1, 1, x, step, 10, duration, 0, 0, 0});
}

std::vector<Note> NoteOns(const MidiTrack& track) {
  std::vector<Note> notes;
  for (const auto& e : track.events)
    if ((e.status & 0xF0) == 0x90 && e.data.size() == 2 && e.data[1] > 0)
      notes.push_back({e.tick, e.status, e.data[0]});
  return notes;
}

std::vector<Note> NoteOffs(const MidiTrack& track) {
  std::vector<Note> notes;
  for (const auto& e : track.events)
    if ((e.status & 0xF0) == 0x80 || ((e.status & 0xF0) == 0x90 && e.data.size() == 2 &&
                                      e.data[1] == 0))
      notes.push_back({e.tick, e.status, e.data[0]});
  return notes;
}

TEST(BuildMidi, AnEndRepeatWithoutAStartPlaysFromTheTop) {
  OldData f;
  f.Write(0, Bar(50, 0, 4, 4, 2, true) + Bar(100, 0, 4, 4, 2, false) +
                 Bar(150, 0, 4, 4, 2, false) + Bar(200, 3, 4, 4, 2, false));
  f.Write(1, NoteLine(25, 3, 4) + NoteLine(75, 4, 4) + NoteLine(125, 5, 4) + NoteLine(175, 6, 4));
  auto midi = f.Run();
  ASSERT_TRUE(midi) << (f.host.messages.empty() ? "" : f.host.messages[0].text);
  ASSERT_EQ(midi->tracks.size(), 2u);
  std::vector<Note> expected;
  const int pitches[] = {64, 65, 67, 69};
  for (int pass = 0; pass < 2; ++pass)
    for (int bar = 0; bar < 4; ++bar)
      expected.push_back({(pass * 4 + bar) * 480, 0x90, pitches[bar]});
  EXPECT_EQ(NoteOns(midi->tracks[1]), expected);
  EXPECT_EQ(f.host.statuses.back().text, "Done");

  // 1 |: 2 3 :| 4 plays 1 2 3 2 3 4.
  f.Write(0, Bar(50, 4, 4, 4, 2, true) + Bar(100, 0, 4, 4, 2, false) +
                 Bar(150, 3, 4, 4, 2, false) + Bar(200, 0, 4, 4, 2, false));
  midi = f.Run();
  ASSERT_TRUE(midi);
  std::vector<Note> walked;
  int tick = 0;
  for (int bar : {0, 1, 2, 1, 2, 3}) {
    walked.push_back({tick, 0x90, pitches[bar]});
    tick += 480;
  }
  EXPECT_EQ(NoteOns(midi->tracks[1]), walked);
}

TEST(BuildMidi, AnUpbeatBecomesABarOfItsOwnLength) {
  OldData f;
  f.Write(0, Bar(30, 0, 4, 4, 2, true) + Bar(80, 0, 4, 4, 2, false));
  f.Write(1, NoteLine(20, 3, 1) + NoteLine(40, 5, 4));
  auto midi = f.Run();
  ASSERT_TRUE(midi);
  EXPECT_EQ(NoteOns(midi->tracks[1]),
            (std::vector<Note>{{0, 0x90, 64}, {120, 0x90, 67}}));
  // The conductor's first time signature is 1/4.
  const MidiEvent* first = nullptr;
  for (const auto& e : midi->tracks[0].events)
    if (e.status == 0xFF && e.metaType == 0x58) {
      first = &e;
      break;
    }
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->tick, 0);
  EXPECT_EQ(first->data, (std::vector<std::uint8_t>{1, 2, 120, 8}));
}

TEST(BuildMidi, EmptyBarsCarryTheirTimeAndNoteOffsStopAtTheBarEnd) {
  OldData f;
  f.Write(0, Bar(50, 0, 4, 4, 2, true) + Bar(100, 0, 4, 4, 2, false) +
                 Bar(150, 0, 4, 4, 2, false));
  // A note written twice as long as its bar, an empty bar, then a note.
  f.Write(1, NoteLine(25, 3, 8) + NoteLine(125, 5, 4));
  auto midi = f.Run();
  ASSERT_TRUE(midi);
  EXPECT_EQ(NoteOns(midi->tracks[1]), (std::vector<Note>{{0, 0x90, 64}, {960, 0x90, 67}}));
  // 95 % of two whole notes would end at 912: the bar ends at 480.
  EXPECT_EQ(NoteOffs(midi->tracks[1]).front().tick, 480);
}

TEST(BuildMidi, ATemplateGivesTheTrackItsChannelProgramNameAndDrumMap) {
  OldData f;
  InstrumentRecord drums;
  drums.staveId = 1;
  drums.staveName = "Drums";
  drums.channel = 3;      // the instrument's own channel, for pitches the map leaves alone
  drums.bankProgram = 5;  // General.PCH line 5: program 5
  drums.usePercussionMap = 1;
  drums.percussionMapName = "General MIDI Drums";
  ASSERT_TRUE(WriteInstrument(f.host, f.data.slashed(), drums));
  TemplateRecord kit;
  kit.name = "Kit";
  kit.defaultTempo = 90;
  kit.instruments = {InstrumentName("Drums", 1)};
  ASSERT_TRUE(WriteTemplate(f.host, f.data.slashed(), kit));
  ASSERT_TRUE(f.doc.library.SelectTemplate("Kit"));

  f.Write(0, Bar(50, 0, 4, 4, 2, true));
  // Step 4 under the treble clef is written F (65): the map's bass drum, on channel 10. Step -3
  // (53) has no map entry and stays on the instrument's channel.
  f.Write(1, NoteLine(20, 4, 2) + NoteLine(35, -3, 2));
  auto midi = f.Run();
  ASSERT_TRUE(midi) << (f.host.messages.empty() ? "" : f.host.messages[0].text);
  EXPECT_EQ(NoteOns(midi->tracks[1]), (std::vector<Note>{{0, 0x99, 36}, {240, 0x93, 53}}));
  bool named = false, program = false;
  for (const auto& e : midi->tracks[1].events) {
    if (e.status == 0xFF && e.metaType == 0x03)
      named = std::string(e.data.begin(), e.data.end()) == "Drums";
    if (e.status == 0xC3) program = e.data == std::vector<std::uint8_t>{5};
  }
  EXPECT_TRUE(named);
  EXPECT_TRUE(program);
  // The template's tempo is the starting tempo: 90 quarters a minute.
  bool tempo = false;
  for (const auto& e : midi->tracks[0].events)
    if (e.status == 0xFF && e.metaType == 0x51)
      tempo = e.data == std::vector<std::uint8_t>{0x0A, 0x2C, 0x2A};
  EXPECT_TRUE(tempo);
}

std::vector<std::string> TimeSignatures(const MidiTrack& conductor) {
  std::vector<std::string> out;
  for (const auto& e : conductor.events)
    if (e.status == 0xFF && e.metaType == 0x58)
      out.push_back(std::to_string(e.tick) + " " + std::to_string(e.data[0]) + "/" +
                    std::to_string(1 << e.data[1]));
  return out;
}

// Every note-on is answered, and no pitch is struck again while it sounds on its channel.
void ExpectEveryNoteEnded(const MidiFile& midi) {
  for (std::size_t t = 0; t < midi.tracks.size(); ++t) {
    std::map<int, int> sounding;
    for (const auto& e : midi.tracks[t].events) {
      const int kind = e.status & 0xF0;
      if (kind != 0x80 && kind != 0x90) continue;
      int& n = sounding[(e.status & 0x0F) * 128 + e.data[0]];
      if (kind == 0x90 && e.data[1] > 0) {
        EXPECT_EQ(n, 0) << "track " << t << ": pitch " << int(e.data[0]) << " struck again at "
                        << e.tick;
        ++n;
      } else {
        EXPECT_EQ(n, 1) << "track " << t << ": note-off of a silent pitch at " << e.tick;
        n = 0;
      }
    }
    for (const auto& [key, n] : sounding) EXPECT_EQ(n, 0) << "track " << t << " key " << key;
  }
}

TEST(BuildMidi, ABarIsShortenedOnlyWhenNoTrackFillsIt) {
  OldData f;
  f.Write(0, Bar(50, 0, 4, 4, 2, true) + Bar(100, 0, 4, 4, 2, false));
  // Track 1 engraves only a quarter chord in bar 1; track 2 fills the bar.
  f.Write(1, NoteLine(20, 3, 1) + NoteLine(20, 5, 1) + NoteLine(60, 3, 4));
  f.Write(2, NoteLine(10, 5, 1) + NoteLine(20, 6, 1) + NoteLine(30, 7, 1) + NoteLine(40, 8, 1) +
                 NoteLine(60, 5, 4));
  auto midi = f.Run();
  ASSERT_TRUE(midi);
  EXPECT_EQ(NoteOns(midi->tracks[1]),
            (std::vector<Note>{{0, 0x90, 64}, {0, 0x90, 67}, {480, 0x90, 64}}));
  const std::vector<Note> filled = {
      {0, 0x90, 67}, {120, 0x90, 69}, {240, 0x90, 71}, {360, 0x90, 72}, {480, 0x91, 67}};
  auto ons = NoteOns(midi->tracks[2]);
  ASSERT_EQ(ons.size(), filled.size());
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(ons[i].tick, filled[i].tick);
  // No note of the full track is squeezed: each sounds 95 % of its quarter.
  auto offs = NoteOffs(midi->tracks[2]);
  ASSERT_EQ(offs.size(), 5u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(offs[i].tick, ons[i].tick + 114) << i;
  EXPECT_EQ(TimeSignatures(midi->tracks[0]), (std::vector<std::string>{"0 4/4"}));

  // When no track fills it, the bar takes the longest music in it: half a bar of 4/4 here.
  f.Write(2, NoteLine(10, 5, 1) + NoteLine(20, 6, 1) + NoteLine(60, 5, 4));
  midi = f.Run();
  ASSERT_TRUE(midi);
  EXPECT_EQ(NoteOns(midi->tracks[1]).back().tick, 240);
  EXPECT_EQ(TimeSignatures(midi->tracks[0]), (std::vector<std::string>{"0 1/2", "240 2/2"}));
  ExpectEveryNoteEnded(*midi);
}

// An ending bracket: a slur item (P1 P2 P3 P4 P5 P6 P7 P8 P9) whose P8 is 1 or 2.
std::string Bracket(float left, float right, float p8, float p9) {
  return Line({5, 2, left, 20, 20, right, 1.5f, p8, p9});
}

TEST(BuildMidi, TheRepeatPlaysTheSecondEndingInsteadOfTheFirst) {
  OldData f;
  // Bar 1 in 4/4, bar 2 (the first ending) in 3/4 closing with an end repeat, bar 3 (the second
  // ending, a closed one numbered by P9) in 2/4.
  f.Write(0, Bar(50, 0, 4, 4, 2, true) + Bar(100, 3, 3, 3, 2, false) + Bar(150, 0, 2, 2, 2, false));
  // The brackets stand on the top staff only, as engravers draw them.
  f.Write(1, NoteLine(25, 3, 4) + Bracket(52, 99, 1, 0) + NoteLine(75, 4, 3) +
                 Bracket(101, 148, 1, 2) + NoteLine(125, 5, 2));
  f.Write(2, NoteLine(25, -4, 4) + NoteLine(75, -3, 3) + NoteLine(125, -2, 2));
  auto midi = f.Run();
  ASSERT_TRUE(midi);
  const std::vector<std::int64_t> order = {0, 480, 840, 1320};  // bars 1, 2, 1, 3
  const int top[] = {64, 65, 64, 67};
  const int bottom[] = {52, 53, 52, 55};
  for (int track : {1, 2}) {
    auto ons = NoteOns(midi->tracks[static_cast<std::size_t>(track)]);
    ASSERT_EQ(ons.size(), 4u) << track;
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(ons[i].tick, order[i]) << track << " " << i;
      EXPECT_EQ(ons[i].pitch, (track == 1 ? top : bottom)[i]) << track << " " << i;
    }
  }
  EXPECT_EQ(TimeSignatures(midi->tracks[0]),
            (std::vector<std::string>{"0 4/4", "480 3/4", "840 4/4", "1320 2/4"}));
  ExpectEveryNoteEnded(*midi);

  // Without repeats the bars are played as written, endings and all.
  Options plain = f.doc.library.options;
  plain.interpretRepeatBarlines = 0;
  ASSERT_TRUE(f.doc.library.SaveOptions(plain));
  midi = f.Run();
  ASSERT_TRUE(midi);
  EXPECT_EQ(NoteOns(midi->tracks[1]).size(), 3u);
  EXPECT_EQ(NoteOns(midi->tracks[1]).back().tick, 840);
}

TEST(BuildMidi, EndingsTheWalkCannotPlaceArePlayedAsWritten) {
  const std::string bars =
      Bar(50, 0, 4, 4, 2, true) + Bar(100, 3, 4, 4, 2, false) + Bar(150, 0, 4, 4, 2, false);
  struct Case {
    const char* what;
    std::string bars;
    std::string brackets;  // put before the notes of bar 2
    std::size_t notes;     // bars played
  };
  const Case cases[] = {
      {"no repeat", Bar(50, 0, 4, 4, 2, true) + Bar(100, 0, 4, 4, 2, false) +
                        Bar(150, 0, 4, 4, 2, false),
       Bracket(52, 99, 1, 0), 3},
      {"a third ending", bars, Bracket(52, 99, 1, 3), 5},
      {"a tuplet bracket", bars, Bracket(52, 99, 3, 0), 5},
      // 1 2 3, and the repeat of 3 is its first ending: passed over.
      {"a repeat inside the ending",
       Bar(50, 0, 4, 4, 2, true) + Bar(100, 4, 4, 4, 2, false) + Bar(150, 3, 4, 4, 2, false),
       Bracket(52, 148, 1, 0), 3},
      {"an ending to the end of the piece", bars, Bracket(52, 200, 1, 0), 3},
      {"bars of no length", Bar(50, 0, 0, 4, 2, true) + Bar(100, 3, 0, 4, 2, false) +
                                Bar(150, 0, 0, 4, 2, false),
       Bracket(52, 99, 1, 0), 4},
  };
  for (const Case& c : cases) {
    OldData f;
    f.Write(0, c.bars);
    f.Write(1, NoteLine(25, 3, 4) + c.brackets + NoteLine(75, 4, 4) + NoteLine(125, 5, 4));
    auto midi = f.Run();
    ASSERT_TRUE(midi) << c.what;
    EXPECT_EQ(NoteOns(midi->tracks[1]).size(), c.notes) << c.what;
    ExpectEveryNoteEnded(*midi);
  }
}

TEST(BuildMidi, TripletsLandOnTheTick) {
  OldData f;
  f.Write(0, Bar(50, 0, 2, 2, 2, true));
  f.Write(1, NoteLine(10, 3, 0.3333f) + NoteLine(20, 4, 0.3333f) + NoteLine(30, 5, 0.3333f) +
                 NoteLine(40, 6, 1));
  auto midi = f.Run();
  ASSERT_TRUE(midi);
  std::vector<std::int64_t> ticks;
  for (const Note& n : NoteOns(midi->tracks[1])) ticks.push_back(n.tick);
  EXPECT_EQ(ticks, (std::vector<std::int64_t>{0, 40, 80, 120}));
  EXPECT_EQ(NoteOffs(midi->tracks[1])[1].tick, 78);  // 40 + 95 % of 40
}

TEST(BuildMidi, EveryNoteEndsAndNoPitchIsStruckWhileItSounds) {
  OldData f;
  f.Write(0, Bar(50, 0, 4, 4, 2, true) + Bar(100, 0, 4, 4, 2, false));
  // A tie from E whose right end the next E reaches only after another note (so it does not
  // continue it), and a last chord tied out into the margin.
  const std::string tie = Line({5, 1, 10, 4, 4, 30, -1, -2, 0});
  const std::string lastTies = Line({5, 1, 80, 4, 4, 120, -1, -2, 0}) +
                               Line({5, 1, 80, 6, 6, 120, -1, -2, 0});
  f.Write(1, tie + NoteLine(10, 3, 1) + NoteLine(20, 4, 0.5f) + NoteLine(30, 3, 1) +
                 NoteLine(40, 5, 1.5f) + NoteLine(60, 3, 2) + lastTies + NoteLine(80, 3, 2) +
                 NoteLine(80, 5, 2));
  const std::string out = f.data.slashed() + "out.mid";
  ASSERT_EQ(ReadOldData(f.doc, out), RunResult::kDone);
  auto bytes = files::ReadAll(out);
  ASSERT_TRUE(bytes);
  auto midi = ReadMidiFile(*bytes);
  ASSERT_TRUE(midi);
  ExpectEveryNoteEnded(*midi);
  // The last chord sounds to the end of the piece.
  auto offs = NoteOffs(midi->tracks[1]);
  ASSERT_GE(offs.size(), 2u);
  EXPECT_EQ(offs.back().tick, 960);

  // An independent reader sees every note-on answered.
  auto mido = test::RunProgram("/usr/bin/python3", {"-c", R"(
import sys, mido
sounding = {}
for t in mido.MidiFile(sys.argv[1]).tracks:
    for m in t:
        if m.type == 'note_on' and m.velocity > 0:
            sounding[(m.channel, m.note)] = sounding.get((m.channel, m.note), 0) + 1
        elif m.type in ('note_on', 'note_off'):
            sounding[(m.channel, m.note)] = sounding.get((m.channel, m.note), 0) - 1
print(sum(1 for v in sounding.values() if v != 0))
)",
                                                       out});
  ASSERT_EQ(mido.status, 0) << mido.err;
  EXPECT_EQ(mido.out, "0\n");
}

TEST(BuildMidi, AFailedRunLeavesTheOldFileAndNoPartialFile) {
  OldData f;
  const std::string out = f.data.slashed() + "out.mid";
  ASSERT_TRUE(files::WriteAtomic(out, "previous"));
  // No bar file: message 9, nothing written.
  EXPECT_EQ(ReadOldData(f.doc, out), RunResult::kStopped);
  EXPECT_EQ(f.host.MessageIds(), std::vector<int>{9});
  auto kept = files::ReadAll(out);
  ASSERT_TRUE(kept);
  EXPECT_EQ(std::string(kept->begin(), kept->end()), "previous");
  for (const auto& e : fs::directory_iterator(f.data.path()))
    EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();

  // A track file cut off in the middle of a line stops the run with message 57.
  f.Write(0, Bar(50, 0, 4, 4, 2, true));
  ASSERT_TRUE(files::WriteAtomic(TrackFileName(f.data.slashed(), 1), "1.0000 25.0000 3.0"));
  EXPECT_EQ(ReadOldData(f.doc, out), RunResult::kStopped);
  EXPECT_EQ(f.host.MessageIds(), (std::vector<int>{9, 57}));
  kept = files::ReadAll(out);
  EXPECT_EQ(std::string(kept->begin(), kept->end()), "previous");

  // A cancel while the items are read stops it too, without a message.
  f.Write(1, NoteLine(25, 3, 4));
  f.host.cancelAtReport = static_cast<int>(f.host.statuses.size()) + 2;
  EXPECT_EQ(ReadOldData(f.doc, out), RunResult::kStopped);
  EXPECT_EQ(f.host.MessageIds(), (std::vector<int>{9, 57}));
  kept = files::ReadAll(out);
  EXPECT_EQ(std::string(kept->begin(), kept->end()), "previous");
}

}  // namespace
}  // namespace vellumix
