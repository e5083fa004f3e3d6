#include <gtest/gtest.h>

#include <filesystem>

#include "library/factory.h"
#include "library/templates.h"
#include "midi/reader.h"
#include "platform/files.h"
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
