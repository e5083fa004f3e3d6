#include "library/specials.h"

#include <gtest/gtest.h>

#include "library/factory.h"
#include "library/library.h"
#include "library/symbols.h"
#include "res/strings.h"
#include "scratch.h"
#include "scripted_host.h"

namespace vellumix {
namespace {

using test::Bytes;
using test::ByteVector;
using test::Concat;
using test::Hex;
using test::ReadFile;
using test::WriteFile;

SpecialRecord Named(std::string name, std::int32_t library, std::int32_t offset) {
  SpecialRecord r;
  r.fileName = std::move(name);
  r.kind = kRelativeChangeEvent;
  r.changeVelocity = 1;
  r.offset = offset;
  r.instrumentLibrary = library;
  return r;
}

// A library folder with INSTRUMENTS.DAT lines 1 General, 2 Strings,GS, 3 Brass.
struct Fixture {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  SettingsLibrary settings{host};
  SymbolLibrary symbols{host, settings};
  SpecialLibrary specials{host, settings, symbols};

  Fixture() {
    settings.LibraryFolder = scratch.folder();
    WriteFile(scratch.path() / "instruments.dat", Bytes("General\r\nStrings,GS\r\nBrass\n"));
  }
  void Put(const std::string& name, const SpecialRecord& r) {
    WriteFile(scratch.path() / name, EncodeSpecial(r));
  }
  std::int32_t OffsetIn(int slot) const {
    const SpecialRecord* r = specials.Loaded(slot);
    return r ? r->offset : -1;
  }
};

TEST(Specials, RecordBytesAndRoundTrip) {
  SpecialRecord r;
  r.fileName = "TRILL";
  r.durations = {1, 1, 2};
  r.velocities = {0, 90};
  r.pitchMovements = {0, 2, -1};
  r.repeated = 1;
  r.minimumDuration = 15;
  r.changeTempo = 1;
  r.controllerNumber = 7;
  r.untilSymbol = "56";
  r.offset = 130;
  r.revert = 1;
  r.instrumentLibrary = 2;
  const ByteVector bytes =
      Concat({Hex("36010000 05"), Bytes("TRILL"),
              Hex("00000000"                                                        // kind
                  "01000000 01000000 02000000 00000000 00000000 00000000 00000000"  // durations
                  "00000000 5a000000 00000000 00000000 00000000 00000000 00000000"  // velocities
                  "00000000 02000000 ffffffff 00000000 00000000 00000000 00000000"  // pitches
                  "01000000 0f000000"                                  // repeated, unit
                  "00000000 01000000 00000000 00000000 07000000 02"),  // change flags
              Bytes("56"), Hex("82000000 01000000 02000000")});
  EXPECT_EQ(bytes.size(), 141u);
  EXPECT_EQ(EncodeSpecial(r), bytes);
  EXPECT_EQ(DecodeSpecial(bytes), r);

  // Every shorter prefix is a damaged file, never a record with made-up fields.
  for (std::size_t n = 0; n < bytes.size(); ++n)
    EXPECT_FALSE(DecodeSpecial(std::span(bytes.data(), n))) << n;
}

TEST(Specials, ChecksFieldsAndNames) {
  SpecialRecord r;
  EXPECT_FALSE(ValidateSpecial(r));
  r.durations[6] = 100;
  ASSERT_TRUE(ValidateSpecial(r));
  EXPECT_EQ(ValidateSpecial(r)->field, "duration7");
  r.durations[6] = 99;
  r.pitchMovements[0] = 64;
  EXPECT_EQ(ValidateSpecial(r)->field, "pitchMovement1");
  r.pitchMovements[0] = -64;
  r.velocities[3] = 1000;
  EXPECT_EQ(ValidateSpecial(r)->field, "velocity4");
  r.velocities[3] = 999;
  r.untilSymbol = std::string(150, '5');
  EXPECT_FALSE(ValidateSpecial(r));
  r.untilSymbol += "5";
  EXPECT_EQ(ValidateSpecial(r)->field, "untilSymbol");
  r.untilSymbol.clear();
  r.offset = 301;
  EXPECT_EQ(ValidateSpecial(r)->field, "offset");

  SpecialRecord s;
  EXPECT_TRUE(SetField(s, "pitchMovement3", "-5"));
  EXPECT_TRUE(SetField(s, "untilSymbol", "56"));
  EXPECT_FALSE(SetField(s, "duration8", "1"));
  EXPECT_FALSE(SetField(s, "offset", "1x"));
  EXPECT_EQ(s.pitchMovements[2], -5);
  EXPECT_EQ(s.untilSymbol, "56");

  EXPECT_EQ(SpecialFileName("cresc", ""), "CRESC.SSL");
  EXPECT_EQ(SpecialFileName("cresc", "Strings"), "CRESC [Strings].SSL");
  EXPECT_EQ(SpecialNameFromRule("CRESC [Strings].SSL"), "CRESC.SSL");
  EXPECT_EQ(SpecialNameFromRule("ACCEL.SSL"), "ACCEL.SSL");
}

TEST(Specials, LoadFindsTheBracketedFileThenTheGeneralOne) {
  Fixture f;
  f.Put("CRESC.SSL", Named("CRESC", 0, 110));
  f.Put("CRESC [Brass].SSL", Named("CRESC", 3, 130));
  f.Put("CRESC [Strings,GS].SSL", Named("CRESC", 1, 120));  // recorded for another library
  f.Put("CRESCX [Brass].SSL", Named("CRESCX", 3, 200));

  // Library 0: only a bracketed file recorded for 0 applies, so the general file.
  ASSERT_TRUE(f.specials.LoadSpecial("cresc.ssl", 1, false));
  EXPECT_EQ(f.OffsetIn(1), 110);
  ASSERT_EQ(f.host.statuses.size(), 1u);
  EXPECT_EQ(f.host.statuses[0].text, "Reading file CRESC.SSL");

  f.symbols.SetCurrentInstrumentLibrary(3);
  EXPECT_FALSE(f.specials.Holds(1, "CRESC.SSL"));  // loaded for another instrument library
  ASSERT_TRUE(f.specials.LoadSpecial("CRESC.SSL", 1, false));
  EXPECT_EQ(f.OffsetIn(1), 130);
  EXPECT_TRUE(f.specials.Holds(1, "Cresc"));
  EXPECT_FALSE(f.specials.Holds(2, "CRESC"));

  // Line 2 "Strings,GS" holds "Strings,GS": the bracket applies through the line, whatever
  // library the file records.
  f.symbols.SetCurrentInstrumentLibrary(2);
  ASSERT_TRUE(f.specials.LoadSpecial("CRESC", 2, false));
  EXPECT_EQ(f.OffsetIn(2), 120);

  // The direct flag opens the name as it stands.
  f.symbols.SetCurrentInstrumentLibrary(0);
  ASSERT_TRUE(f.specials.LoadSpecial("crescx [brass].ssl", 0, true));
  EXPECT_EQ(f.OffsetIn(0), 200);
  EXPECT_TRUE(f.host.messages.empty());

  // Without INSTRUMENTS.DAT a bracketed lookup ends without a special.
  std::filesystem::remove(f.scratch.path() / "instruments.dat");
  f.symbols.SetCurrentInstrumentLibrary(1);
  EXPECT_FALSE(f.specials.LoadSpecial("CRESC", 1, false));
  EXPECT_EQ(f.specials.Loaded(1), nullptr);
  EXPECT_EQ(f.host.MessageIds(), std::vector<int>{res::kCannotRead});
}

TEST(Specials, MissingDamagedAndCancelled) {
  Fixture f;
  EXPECT_FALSE(f.specials.LoadSpecial("TRILL.SSL", 0, false));
  EXPECT_TRUE(f.host.messages.empty());  // no prompt asked for
  f.settings.options.promptMissingSymbol = 1;
  EXPECT_FALSE(f.specials.LoadSpecial("TRILL.SSL", 0, false));
  EXPECT_EQ(f.host.MessageIds(), std::vector<int>{res::kCannotRead});

  // Truncated, and an until symbol over 150 characters: reported once a run, never loaded.
  f.host.messages.clear();
  WriteFile(f.scratch.path() / "TRILL.SSL", Hex("36010000 05"));
  SpecialRecord longUntil = Named("HAIRPINU", 0, 100);
  longUntil.untilSymbol = std::string(151, '1');
  f.Put("HAIRPINU.SSL", longUntil);
  EXPECT_FALSE(f.specials.LoadSpecial("TRILL.SSL", 0, false));
  EXPECT_FALSE(f.specials.LoadSpecial("TRILL.SSL", 0, false));
  EXPECT_FALSE(f.specials.LoadSpecial("HAIRPINU.SSL", 1, false));
  EXPECT_EQ(f.host.MessageIds(),
            (std::vector<int>{res::kTruncatedLibraryFile, res::kTruncatedLibraryFile}));

  // A cancel at the status report leaves the slot empty.
  f.Put("ACCEL.SSL", Named("ACCEL", 0, 125));
  ASSERT_TRUE(f.specials.LoadSpecial("ACCEL.SSL", 2, false));
  f.host.cancelAtReport = static_cast<int>(f.host.statuses.size()) + 1;
  EXPECT_FALSE(f.specials.LoadSpecial("ACCEL.SSL", 2, false));
  EXPECT_TRUE(f.specials.Cancelled());
  EXPECT_EQ(f.specials.Loaded(2), nullptr);
}

TEST(Specials, SaveSpecial) {
  Fixture f;
  std::string error;
  std::string name;
  SpecialRecord r = Named("", 0, 100);
  EXPECT_FALSE(f.specials.SaveSpecial(r, &error));
  EXPECT_EQ(error, "Special name is blank. Please give it a name.");
  // The dialog is told which field to focus.
  FieldError refused;
  EXPECT_FALSE(f.specials.SaveSpecial(r, refused));
  EXPECT_EQ(refused.field, "fileName");
  r.fileName = "cresc";
  r.offset = 301;
  EXPECT_FALSE(f.specials.SaveSpecial(r, refused));
  EXPECT_EQ(refused.field, "offset");
  EXPECT_EQ(refused.text, "Enter an integer between 0 and 300.");
  r.offset = 100;

  r.fileName = "cresc";
  r.instrumentLibrary = 2;
  ASSERT_TRUE(f.specials.SaveSpecial(r, &error, &name));
  EXPECT_EQ(name, "CRESC [Strings,GS].SSL");
  auto stored = DecodeSpecial(ReadFile(f.scratch.path() / name));
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->fileName, "CRESC");

  r.instrumentLibrary = 4;
  EXPECT_FALSE(f.specials.SaveSpecial(r, &error));
  EXPECT_EQ(error, RangeText(0, 3, true));
  EXPECT_FALSE(f.specials.SaveSpecial(r, refused));
  EXPECT_EQ(refused.field, "instrumentLibrary");
}

TEST(Specials, DialogListAndReadingForEditing) {
  Fixture f;
  f.Put("TRILL.SSL", Named("TRILL", 0, 0));
  f.Put("CRESC [Brass].SSL", Named("CRESC", 3, 120));
  WriteFile(f.scratch.path() / "BROKEN.SSL", Bytes("old"));
  const std::vector<LibraryEntry> entries = {
      {"BROKEN.SSL", "BROKEN"}, {"CRESC [Brass].SSL", "CRESC [Brass]"}, {"TRILL.SSL", "TRILL"}};
  EXPECT_EQ(ListSpecials(f.scratch.folder()), entries);
  EXPECT_EQ(SpecialEntry("TRILL.SSL"), entries[2]);

  EXPECT_EQ(ReadSpecialFile(f.host, f.scratch.folder(), "cresc [brass].ssl"),
            Named("CRESC", 3, 120));
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_EQ(ReadSpecialFile(f.host, f.scratch.folder(), "BROKEN.SSL"), std::nullopt);
  ASSERT_EQ(f.host.MessageIds(), std::vector<int>{res::kCannotRead});
  EXPECT_EQ(f.host.messages[0].text,
            res::Format(res::kCannotRead, {f.scratch.folder() + "BROKEN.SSL"}));
}

TEST(Specials, FactorySpecialsPassTheChecks) {
  std::string error;
  int count = 0;
  for (const auto& file : FactoryFiles(&error)) {
    if (!file.name.ends_with(".SSL")) continue;
    ++count;
    auto r = DecodeSpecial(file.bytes);
    ASSERT_TRUE(r) << file.name;
    EXPECT_FALSE(ValidateSpecial(*r)) << file.name;
    EXPECT_EQ(SpecialFileName(r->fileName, ""), file.name);
  }
  EXPECT_EQ(error, "");
  EXPECT_EQ(count, 8);
}

}  // namespace
}  // namespace vellumix
