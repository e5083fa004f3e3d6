#include "library/percussion_maps.h"
#include "engine/percussion.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/events.h"
#include "library/factory.h"
#include "platform/files.h"
#include "res/strings.h"
#include "scratch.h"
#include "scripted_host.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ByteVector;
using test::Concat;
using test::Hex;
using test::ReadFile;
using test::WriteFile;

using Map = MapSetup::Map;

MapSetup Kit() {
  MapSetup s;
  s.name = "Kit";
  s.Insert({"Snare", 72, 38, 10});
  s.Insert({"Bass", 65, 36, 0});
  return s;
}

const ByteVector kKitBytes =
    Concat({Hex("36010000 03"), Bytes("Kit"), Hex("02000000 04"), Bytes("Bass"), Hex("05"),
            Bytes("Snare"), Hex("41000000 48000000 24000000 26000000 00000000 0A000000")});

TEST(PercussionMaps, NoteNames) {
  EXPECT_EQ(NoteName(60), "C5");
  EXPECT_EQ(NoteName(127), "G10");
  EXPECT_EQ(NoteName(0), "C0");
  EXPECT_EQ(NoteName(1), "C#0");
  EXPECT_EQ(NoteName(3), "Eb0");
  EXPECT_EQ(NoteName(70), "Bb5");
  EXPECT_EQ(NoteName(-1), "");
  EXPECT_EQ(NoteName(128), "");
  for (int n = 0; n < 128; ++n) EXPECT_EQ(NoteNumber(NoteName(n)), n) << n;
  for (const char* bad : {"", "C", "H5", "G#10", "C11", "C-1", "C5x", "#5"})
    EXPECT_FALSE(NoteNumber(bad)) << bad;
}

TEST(PercussionMaps, FileBytes) {
  EXPECT_EQ(EncodeMapSetup(Kit()), kKitBytes);
  EXPECT_EQ(DecodeMapSetup(kKitBytes), Kit());
  for (std::size_t n = 0; n < kKitBytes.size(); ++n)
    EXPECT_FALSE(DecodeMapSetup(std::span(kKitBytes).first(n))) << n;

  MapSetup empty;
  empty.name = "Kit";
  EXPECT_EQ(EncodeMapSetup(empty), Concat({Hex("36010000 03"), Bytes("Kit"), Hex("00000000")}));

  // Counts that lie: negative, or more maps than the bytes could hold.
  for (const char* count : {"FFFFFFFF", "03000000", "FFFFFF7F"}) {
    ByteVector lie = kKitBytes;
    auto c = Hex(count);
    std::copy(c.begin(), c.end(), lie.begin() + 8);
    EXPECT_FALSE(DecodeMapSetup(lie)) << count;
  }
  // A file whose names are not sorted keeps its order: it decides which map a pitch uses.
  MapSetup unsorted;
  unsorted.name = "U";
  unsorted.Append({"Zebra", 1, 2, 3});
  unsorted.Append({"Alpha", 4, 5, 6});
  auto back = DecodeMapSetup(EncodeMapSetup(unsorted));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Names(), (std::vector<std::string>{"Zebra", "Alpha"}));
}

TEST(PercussionMaps, ListsStayAligned) {
  MapSetup s = Kit();
  s.Insert({"Hi-Hat", 79, 42, 10});
  // A new map sorting before the others lands at position 0 of every list.
  EXPECT_EQ(s.Insert({"agogo", 55, 67, 10}), 0u);
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"agogo", "Bass", "Hi-Hat", "Snare"}));
  EXPECT_EQ(s.Pitches(), (std::vector<std::int32_t>{55, 65, 79, 72}));
  EXPECT_EQ(s.PlayedPitches(), (std::vector<std::int32_t>{67, 36, 42, 38}));
  EXPECT_EQ(s.Channels(), (std::vector<std::int32_t>{10, 0, 10, 10}));
  // The file stores them in that order.
  auto back = DecodeMapSetup(EncodeMapSetup(s));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->At(0), (Map{"agogo", 55, 67, 10}));
  // An equal name goes after the one already there.
  EXPECT_EQ(s.Insert({"BASS", 64, 35, 10}), 2u);

  // Edit with the same name replaces; with a new name adds, and the old map stays.
  EXPECT_EQ(s.Edit(1, {"Bass", 66, 35, 9}), 1u);
  EXPECT_EQ(s.At(1), (Map{"Bass", 66, 35, 9}));
  EXPECT_EQ(s.Edit(4, {"Cowbell", 67, 56, 10}), 3u);
  EXPECT_EQ(s.Count(), 6u);
  EXPECT_EQ(s.At(5), (Map{"Snare", 72, 38, 10}));

  // Delete Map with several selected, in any order.
  s.Remove({5, 0, 3, 99});
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"Bass", "BASS", "Hi-Hat"}));
  EXPECT_EQ(s.Pitches(), (std::vector<std::int32_t>{66, 64, 79}));
  EXPECT_EQ(s.PlayedPitches(), (std::vector<std::int32_t>{35, 35, 42}));
  EXPECT_EQ(s.Channels(), (std::vector<std::int32_t>{9, 10, 10}));
}

TEST(PercussionMaps, ReadingAndWriting) {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  const std::string folder = scratch.folder();
  std::string error;

  MapSetup blank = Kit();
  blank.name.clear();
  EXPECT_FALSE(WriteMapSetup(host, folder, blank, &error));
  EXPECT_EQ(error, "Map Setup name is blank. Please give it a name.");
  MapSetup wrong = Kit();
  wrong.Insert({"Too high", 128, 1, 0});
  EXPECT_FALSE(WriteMapSetup(host, folder, wrong, &error));
  EXPECT_EQ(error, "Enter an integer between 0 and 127.");
  wrong = Kit();
  wrong.Insert({"Far channel", 1, 1, 65});
  EXPECT_FALSE(WriteMapSetup(host, folder, wrong, &error));
  EXPECT_EQ(error, "Enter an integer between 0 and 64.");
  EXPECT_TRUE(test::Entries(scratch.path()).empty());

  // Replaces a file of the same name in any letter case.
  WriteFile(scratch.path() / "kit.map", Hex("00"));
  ASSERT_TRUE(WriteMapSetup(host, folder, Kit()));
  EXPECT_EQ(ReadFile(scratch.path() / "kit.map"), kKitBytes);
  EXPECT_EQ(MapSetupChoices(folder), std::vector<std::string>{"kit"});
  EXPECT_EQ(ReadMapSetup(host, folder, "KIT"), Kit());
  EXPECT_TRUE(host.messages.empty());

  struct Case {
    const char* what;
    ByteVector bytes;
    int id;
  };
  ByteVector highPitch = kKitBytes;
  ASSERT_GE(highPitch.size(), 24u);
  highPitch.at(highPitch.size() - 24) = 0x80;  // Bass written 128
  ByteVector farChannel = kKitBytes;
  farChannel.at(farChannel.size() - 4) = 0x41;  // Snare on 65
  for (const Case& c : {Case{"pitch 128", highPitch, res::kValueOutOfRangeInFile},
                        Case{"channel 65", farChannel, res::kValueOutOfRangeInFile},
                        Case{"cut short", ByteVector(kKitBytes.begin(), kKitBytes.end() - 1),
                             res::kTruncatedLibraryFile}}) {
    SCOPED_TRACE(c.what);
    host.messages.clear();
    WriteFile(scratch.path() / "kit.map", c.bytes);
    EXPECT_FALSE(ReadMapSetup(host, folder, "Kit"));
    EXPECT_EQ(host.MessageIds(), std::vector<int>{c.id});
  }
  EXPECT_EQ(host.messages.back().text, folder + "kit.map is damaged or truncated and was not read");
  host.messages.clear();
  EXPECT_FALSE(ReadMapSetup(host, folder, "Gone"));
  EXPECT_FALSE(ReadMapSetup(host, folder, "../Kit"));
  EXPECT_EQ(host.MessageIds(), (std::vector<int>{res::kCannotRead, res::kCannotRead}));
  EXPECT_EQ(host.messages[0].text, "Unable to open file " + folder + "Gone.MAP for reading");
}

TEST(PercussionMaps, DeleteSetup) {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  ASSERT_TRUE(WriteMapSetup(host, scratch.folder(), Kit()));
  EXPECT_FALSE(DeleteMapSetup(host, scratch.folder(), "../Kit"));
  EXPECT_TRUE(DeleteMapSetup(host, scratch.folder(), "kit"));
  EXPECT_TRUE(DeleteMapSetup(host, scratch.folder(), "kit"));  // gone already
  EXPECT_TRUE(test::Entries(scratch.path()).empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST(PercussionMaps, TheEngineMapKeepsChannelsOneToSixteen) {
  MapSetup s;
  s.name = "Channels";
  s.Append({"a", 10, 20, 0});
  s.Append({"b", 11, 21, 1});
  s.Append({"c", 12, 22, 16});
  s.Append({"d", 13, 23, 17});
  s.Append({"e", 14, 24, 64});
  s.Append({"f", 10, 30, 5});  // a second map for 10: the first in list order wins
  PercussionMap map;
  map.Add(99, 99, 99);  // replaced, not added to
  FillPercussionMap(s, map);
  ASSERT_EQ(map.Entries().size(), 6u);
  std::vector<int> channels;
  for (const auto& e : map.Entries()) channels.push_back(e.channel);
  EXPECT_EQ(channels, (std::vector<int>{0, 1, 16, 0, 0, 5}));
  ASSERT_NE(map.Find(10), nullptr);
  EXPECT_EQ(map.Find(10)->to, 20);
  EXPECT_EQ(map.Find(99), nullptr);

  test::ScratchFolder scratch;
  test::ScriptedHost host;
  EXPECT_FALSE(LoadPercussionMap(host, scratch.folder(), "Channels", map));
  EXPECT_TRUE(map.Entries().empty());
  EXPECT_EQ(host.MessageIds(), std::vector<int>{res::kCannotRead});
}

TEST(PercussionMaps, FactoryDrumMap) {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  ASSERT_TRUE(InstallFactoryLibrary(scratch.folder(), host).ok);
  EXPECT_EQ(MapSetupChoices(scratch.folder()), std::vector<std::string>{"General MIDI Drums"});
  auto drums = ReadMapSetup(host, scratch.folder(), "General MIDI Drums");
  ASSERT_TRUE(drums);
  EXPECT_EQ(drums->name, "General MIDI Drums");
  EXPECT_EQ(drums->Count(), 22u);
  EXPECT_TRUE(std::is_sorted(
      drums->Names().begin(), drums->Names().end(),
      [](const std::string& a, const std::string& b) { return files::LessNoCase(a, b); }));
  PercussionMap map;
  ASSERT_TRUE(LoadPercussionMap(host, scratch.folder(), "general midi drums", map));
  struct Drum {
    const char* written;
    int note;
  };
  // Bottom space: bass drum; third space: snare; above the staff: closed hi-hat; top line: ride.
  for (const Drum& d : {Drum{"F5", 36}, Drum{"C6", 38}, Drum{"G6", 42}, Drum{"F6", 51}}) {
    const auto* e = map.Find(*NoteNumber(d.written));
    ASSERT_NE(e, nullptr) << d.written;
    EXPECT_EQ(e->to, d.note) << d.written;
    EXPECT_EQ(e->channel, 10);
  }
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace vellumix
