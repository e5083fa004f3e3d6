#include "library/templates.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "library/factory.h"
#include "library/library.h"
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

InstrumentRecord Flute() {
  InstrumentRecord r;
  r.staveId = 1;
  r.staveName = "Flute";
  r.channel = 2;
  r.bankProgram = 73;
  r.pan = -10;
  r.volume = 90;
  r.transposition = -2;
  r.convertLyrics = 1;
  r.usePercussionMap = 1;
  r.percussionMapName = "Kit";
  return r;
}

const ByteVector kFluteBytes = Concat({Hex("36010000 01000000 05"), Bytes("Flute"),
                                       Hex("00000000 00000000 02000000 49000000 F6FFFFFF "
                                           "5A000000 FEFFFFFF 01000000 01000000 00000000 03"),
                                       Bytes("Kit")});

// A library folder with INSTRUMENTS.DAT lines General and GS,Roland and their lists.
struct Library {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  InstrumentTable table;
  std::string selected = "Kept";

  Library() {
    Put("INSTRUMENTS.DAT", Bytes("General\r\nGS,Roland\r\n"));
    std::string general;
    for (int i = 0; i < 128; ++i)
      general += std::to_string(i) + "=Program " + std::to_string(i) + "\r\n";
    Put("General.PCH", Bytes(general));
    Put("GS.PCH",
        Bytes("0=Piano 1\r\n25=Steel Guitar\r\nno number here\r\n=Nameless\r\n16384=Too far\r\n"
              " 7 =Clavi\n"));
  }
  std::string folder() const { return scratch.folder(); }
  void Put(const std::string& name, const ByteVector& bytes) {
    WriteFile(scratch.path() / name, bytes);
  }
  void Put(const InstrumentRecord& r) {
    Put(InstrumentName(r.staveName, r.staveId) + ".INS", EncodeInstrument(r));
  }
  void PutTemplate(const std::string& name, std::int32_t tempo, std::vector<std::string> names) {
    Put(name + ".TPL", EncodeTemplate({kLibraryFileVersion, name, tempo, std::move(names)}));
    Put("TEMPLATE.DAT", EncodeTemplateSelection(name));
  }
  TemplateLoad Load() { return table.LoadTemplate(host, folder(), 120, selected); }
  std::optional<std::int32_t> Resolve(std::int32_t library, std::int32_t line) {
    return ResolveProgram(host, folder(), library, line);
  }
};

TEST(Templates, InstrumentFileBytesAndVersions) {
  EXPECT_EQ(InstrumentName("Flute", 1), "Flute [1]");
  EXPECT_EQ(EncodeInstrument(Flute()), kFluteBytes);
  EXPECT_EQ(DecodeInstrument(kFluteBytes), Flute());
  for (std::size_t n = 0; n < kFluteBytes.size(); ++n)
    EXPECT_FALSE(DecodeInstrument(std::span(kFluteBytes).first(n))) << n;

  // Before 310 the file ends after "convert lyrics": no map, whatever the record held.
  ByteVector v300(kFluteBytes.begin(), kFluteBytes.end() - 12);
  v300[0] = 0x2C;
  auto old = DecodeInstrument(v300);
  ASSERT_TRUE(old);
  EXPECT_EQ(old->version, 300);
  EXPECT_EQ(old->convertLyrics, 1);
  EXPECT_EQ(old->usePercussionMap, 0);
  EXPECT_EQ(old->percussionMapName, "");

  // A 300-character stave name: FF and a 16-bit length.
  InstrumentRecord longName;
  longName.staveName = std::string(300, 'x');
  ByteVector b = EncodeInstrument(longName);
  EXPECT_EQ(ByteVector(b.begin() + 8, b.begin() + 11), Hex("FF 2C 01"));
  EXPECT_EQ(DecodeInstrument(b), longName);
}

TEST(Templates, TemplateAndSelectionBytes) {
  TemplateRecord duo{kLibraryFileVersion, "Duo", 96, {"Flute [1]", "Cello [2]"}};
  const ByteVector bytes = Concat({Hex("36010000 03"), Bytes("Duo"), Hex("60000000 02000000 09"),
                                   Bytes("Flute [1]"), Hex("09"), Bytes("Cello [2]")});
  EXPECT_EQ(EncodeTemplate(duo), bytes);
  EXPECT_EQ(DecodeTemplate(bytes), duo);
  for (std::size_t n = 0; n < bytes.size(); ++n)
    EXPECT_FALSE(DecodeTemplate(std::span(bytes).first(n))) << n;
  EXPECT_EQ(EncodeTemplateSelection("Duo"), Concat({Hex("36010000 03"), Bytes("Duo")}));
  EXPECT_EQ(DecodeTemplateSelection(EncodeTemplateSelection("[None]")), "[None]");

  // Counts that lie: negative, or more names than bytes left.
  for (const char* count : {"FFFFFFFF", "00000080", "03000000"}) {
    ByteVector lie = bytes;
    auto c = Hex(count);
    std::copy(c.begin(), c.end(), lie.begin() + 12);
    EXPECT_FALSE(DecodeTemplate(lie)) << count;
  }
}

TEST(Templates, WritersCheckBeforeWriting) {
  Library lib;
  std::string error;
  // A file of the same name in another letter case is replaced, not joined by a second one.
  lib.Put("flute [1].ins", Hex("00"));
  ASSERT_TRUE(WriteInstrument(lib.host, lib.folder(), Flute(), &error));
  EXPECT_EQ(ReadFile(lib.scratch.path() / "flute [1].ins"), kFluteBytes);
  EXPECT_FALSE(fs::exists(lib.scratch.path() / "Flute [1].INS"));

  InstrumentRecord bad = Flute();
  bad.staveId = 2;
  bad.volume = 128;
  EXPECT_FALSE(WriteInstrument(lib.host, lib.folder(), bad, &error));
  EXPECT_EQ(error, "Enter an integer between 0 and 127.");
  bad.volume = 90;
  bad.staveName = "../Flute";
  EXPECT_FALSE(WriteInstrument(lib.host, lib.folder(), bad, &error));
  EXPECT_EQ(error, "A name can't contain \"/\".");
  EXPECT_FALSE(fs::exists(lib.scratch.path() / "Flute [2].INS"));

  TemplateRecord tpl{kLibraryFileVersion, "", 100, {"Flute [1]"}};
  EXPECT_FALSE(WriteTemplate(lib.host, lib.folder(), tpl, &error));
  EXPECT_EQ(error, "Template name is blank. Please give it a name.");
  tpl.name = "Solo";
  tpl.defaultTempo = 251;
  EXPECT_FALSE(WriteTemplate(lib.host, lib.folder(), tpl, &error));
  EXPECT_EQ(error, "Enter an integer between 0 and 250.");
  tpl.defaultTempo = 100;
  ASSERT_TRUE(WriteTemplate(lib.host, lib.folder(), tpl, &error));
  EXPECT_EQ(ReadFile(lib.scratch.path() / "Solo.TPL"), EncodeTemplate(tpl));
  EXPECT_EQ(TemplateChoices(lib.folder()), (std::vector<std::string>{"[None]", "Solo"}));
  EXPECT_EQ(InstrumentChoices(lib.folder()), std::vector<std::string>{"flute [1]"});

  SettingsLibrary settings(lib.host);
  settings.LibraryFolder = lib.folder();
  ASSERT_TRUE(settings.SelectTemplate("Solo"));
  EXPECT_EQ(settings.selectedTemplate, "Solo");
  EXPECT_EQ(ReadFile(lib.scratch.path() / "TEMPLATE.DAT"), EncodeTemplateSelection("Solo"));
  EXPECT_TRUE(lib.host.messages.empty());

  // A folder that is gone: message 10 with the path, the selection kept.
  settings.LibraryFolder = lib.folder() + "gone/";
  EXPECT_FALSE(settings.SelectTemplate("Other"));
  EXPECT_EQ(settings.selectedTemplate, "Solo");
  EXPECT_FALSE(WriteTemplate(lib.host, settings.LibraryFolder, tpl));
  EXPECT_EQ(lib.host.MessageIds(),
            (std::vector<int>{res::kCannotWriteBecause, res::kCannotWriteBecause}));
  EXPECT_EQ(lib.host.messages[1].text,
            "Unable to write file " + lib.folder() + "gone/Solo.TPL: No such file or directory");
}

TEST(Templates, EditorBoxesTakeWholeValuesWithinLimits) {
  struct Case {
    const char* key;
    const char* text;
    std::optional<std::string> refusal;
  };
  for (const Case& c :
       {Case{"pan", " 64 ", std::nullopt},
        Case{"pan", "-64", "Enter an integer between -63 and 64."},
        Case{"volume", "1.5", "Enter an integer."},
        Case{"staveId", "350", "Enter an integer between 0 and 349."},
        Case{"staveName", "a/b", "A name can't contain \"/\"."}, Case{"nothing", "1", ""}}) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.text);
    InstrumentRecord r = Flute();
    EXPECT_EQ(TakeFieldText(r, c.key, c.text), c.refusal);
    EXPECT_EQ(r == Flute(), c.refusal.has_value());
  }
  TemplateRecord tpl;
  EXPECT_EQ(TakeFieldText(tpl, "defaultTempo", "251"), "Enter an integer between 0 and 250.");
  EXPECT_EQ(TakeFieldText(tpl, "defaultTempo", "x"), "Enter an integer.");
  EXPECT_EQ(TakeFieldText(tpl, "defaultTempo", "90"), std::nullopt);
  EXPECT_EQ(tpl.defaultTempo, 90);
  EXPECT_EQ(InstrumentFieldLimits("transposition")->min, -26);
  EXPECT_EQ(InstrumentFieldLimits("defaultTempo")->max, 250);
  EXPECT_FALSE(InstrumentFieldLimits("staveName"));

  InstrumentRecord r = Flute();  // map "Kit", position 0
  EXPECT_EQ(MapChoice({"Drums", "kit"}, r), 1);
  r.percussionMap = 1;
  r.percussionMapName = "Gone";
  EXPECT_EQ(MapChoice({"Drums", "Kit"}, r), 1);
  r.percussionMap = 5;
  EXPECT_EQ(MapChoice({"Drums"}, r), 0);
  EXPECT_EQ(MapChoice({}, r), -1);
}

TEST(Templates, TheEditorsListDeleteAndPrepareLibraryFiles) {
  Library lib;
  EXPECT_EQ(BankProgramListName("GS,Roland"), "GS");
  EXPECT_EQ(BankProgramListName("General"), "General");
  const std::vector<std::string> lines{"Brass", "GS,Roland"};
  EXPECT_EQ(BankProgramListName(lines, 1), "GS");
  EXPECT_EQ(BankProgramListName(lines, 2), "General");
  auto gs = ReadBankProgramList(lib.host, lib.folder(), "gs");
  ASSERT_TRUE(gs);
  EXPECT_EQ(gs->size(), 6u);
  EXPECT_EQ((*gs)[1], "25=Steel Guitar");
  EXPECT_FALSE(ReadBankProgramList(lib.host, lib.folder(), "Brass"));
  EXPECT_EQ(lib.host.MessageIds(), std::vector<int>{res::kCannotRead});

  // Template opening: an instrument that can't be read is reported and left out.
  lib.host.messages.clear();
  lib.Put(Flute());
  lib.Put("Bad [2].INS", Hex("3601"));
  EXPECT_EQ(ReadableInstruments(lib.host, lib.folder(), {"Gone [3]", "Flute [1]", "Bad [2]"}),
            std::vector<std::string>{"Flute [1]"});
  EXPECT_EQ(lib.host.MessageIds(),
            (std::vector<int>{res::kCannotRead, res::kTruncatedLibraryFile}));

  // The editor gets an existing file as it is, a missing one created empty.
  lib.host.messages.clear();
  const ByteVector gsBytes = ReadFile(lib.scratch.path() / "GS.PCH");
  EXPECT_EQ(PrepareTextFile(lib.host, lib.folder(), "GS.PCH"), lib.folder() + "GS.PCH");
  EXPECT_EQ(ReadFile(lib.scratch.path() / "GS.PCH"), gsBytes);
  EXPECT_EQ(PrepareTextFile(lib.host, lib.folder(), "Brass.PCH"), lib.folder() + "Brass.PCH");
  EXPECT_TRUE(ReadFile(lib.scratch.path() / "Brass.PCH").empty());
  EXPECT_FALSE(PrepareTextFile(lib.host, lib.folder(), "../Brass.PCH"));
  EXPECT_FALSE(PrepareTextFile(lib.host, lib.folder() + "gone/", "Brass.PCH"));
  EXPECT_EQ(lib.host.MessageIds(), (std::vector<int>{0, res::kCannotWriteBecause}));

  lib.PutTemplate("Solo", 100, {"Flute [1]"});
  lib.host.messages.clear();
  EXPECT_FALSE(DeleteTemplate(lib.host, lib.folder(), "[None]"));
  EXPECT_FALSE(DeleteTemplate(lib.host, lib.folder(), "../Solo"));
  EXPECT_TRUE(DeleteTemplate(lib.host, lib.folder(), "SOLO"));
  EXPECT_TRUE(DeleteInstrument(lib.host, lib.folder(), "Flute [1]"));
  EXPECT_TRUE(DeleteBankProgramList(lib.host, lib.folder(), "Brass"));
  EXPECT_TRUE(lib.host.messages.empty());
  EXPECT_EQ(test::Entries(lib.scratch.path()),
            (std::vector<std::string>{"Bad [2].INS", "GS.PCH", "General.PCH", "INSTRUMENTS.DAT",
                                      "TEMPLATE.DAT"}));
}

TEST(Templates, ResolveProgramReadsTheLibraryLineAndItsList) {
  Library lib;
  EXPECT_EQ(lib.Resolve(1, 1), 25);  // GS,Roland → GS.PCH, "25=Steel Guitar"
  EXPECT_EQ(lib.Resolve(0, 1), 1);   // General → General.PCH
  EXPECT_EQ(lib.Resolve(1, 5), 7);   // leading blanks, then the leading digits
  EXPECT_TRUE(lib.host.messages.empty());

  struct Case {
    std::int32_t library, line;
    int id;
    std::string text;
  };
  const std::string gs = lib.folder() + "GS.PCH";
  for (const Case& c : {
           Case{1, 2, res::kNoProgramNumber,
                "No program number found in line 2 of file " + gs + "."},
           Case{1, 3, res::kNoProgramNumber,
                "No program number found in line 3 of file " + gs + "."},
           Case{1, 4, res::kProgramNumberOutOfRange,
                "The program number in line 4 of file " + gs + " is not between 0 and 16383."},
           Case{1, 6, res::kNoSuchLine, "No line 6 in file " + gs + "."},
           Case{1, -1, res::kNoSuchLine, "No line -1 in file " + gs + "."},
           Case{2, 0, res::kNoSuchLine, "No line 2 in file " + lib.folder() + "INSTRUMENTS.DAT."},
       }) {
    lib.host.messages.clear();
    EXPECT_FALSE(lib.Resolve(c.library, c.line));
    ASSERT_EQ(lib.host.MessageIds(), std::vector<int>{c.id});
    EXPECT_EQ(lib.host.messages[0].text, c.text);
  }

  // A library line naming a list that is not there, or one outside the folder.
  lib.Put("INSTRUMENTS.DAT", Bytes("Missing\r\n../GS,x\r\n"));
  lib.host.messages.clear();
  EXPECT_FALSE(lib.Resolve(0, 0));
  EXPECT_FALSE(lib.Resolve(1, 1));
  EXPECT_EQ(lib.host.MessageIds(), (std::vector<int>{res::kCannotRead, res::kCannotRead}));
  EXPECT_EQ(lib.host.messages[1].text,
            "Unable to open file " + lib.folder() + "../GS.PCH for reading");
  fs::remove(lib.scratch.path() / "INSTRUMENTS.DAT");
  EXPECT_FALSE(lib.Resolve(0, 0));
  EXPECT_EQ(lib.host.messages.back().id, res::kCannotRead);
}

TEST(Templates, LoadFillsTheTableInTemplateOrder) {
  Library lib;
  InstrumentRecord left = Flute();
  left.pan = -63;
  left.instrumentLibrary = 1;
  left.bankProgram = 1;  // 25 in GS.PCH
  InstrumentRecord cello;
  cello.staveId = 2;
  cello.staveName = "Cello";
  cello.pan = 64;
  cello.channel = 3;
  cello.transposition = -12;
  InstrumentRecord centre = cello;  // a second instrument on stave 2: the first one wins
  centre.staveName = "Cello 2";
  centre.pan = 0;
  lib.Put(left);
  lib.Put(cello);
  // An instrument file from before version 310 has no map fields.
  ByteVector v300 = EncodeInstrument(centre);
  v300.resize(v300.size() - 9);
  v300[0] = 0x2C;
  lib.Put("Cello 2 [2].INS", v300);
  lib.PutTemplate("Trio", 96, {"Flute [1]", "Cello [2]", "Cello 2 [2]"});

  EXPECT_EQ(lib.Load(), TemplateLoad::kLoaded);
  EXPECT_TRUE(lib.host.messages.empty());
  EXPECT_EQ(lib.selected, "Trio");
  EXPECT_EQ(lib.table.count, 3);
  EXPECT_EQ(lib.table.defaultTempo, 96);
  EXPECT_EQ(lib.table.StartingTempo(120), 96);
  const InstrumentSlot& s0 = lib.table.slots[0];
  EXPECT_EQ(s0.staveName, "Flute");
  EXPECT_EQ(s0.pan, 0);       // -63 + 63
  EXPECT_EQ(s0.program, 25);  // the list line's number, not its position
  EXPECT_EQ(s0.volume, 90);
  EXPECT_EQ(s0.usePercussionMap, 1);
  EXPECT_EQ(s0.percussionMapName, "Kit");
  EXPECT_EQ(lib.table.slots[1].pan, 127);  // 64 + 63
  EXPECT_EQ(lib.table.slots[2].pan, 63);   // 0 + 63
  EXPECT_EQ(lib.table.slots[2].usePercussionMap, 0);
  EXPECT_EQ(lib.table.slots[3], InstrumentSlot{});
  EXPECT_EQ(lib.table.slots.size(), kInstrumentSlotCount);

  ASSERT_NE(lib.table.FindSlot(2), nullptr);
  EXPECT_EQ(lib.table.FindSlot(2)->staveName, "Cello");
  EXPECT_EQ(lib.table.FindSlot(2)->transposition, -12);
  EXPECT_EQ(lib.table.FindSlot(1), &lib.table.slots[0]);
  EXPECT_EQ(lib.table.FindSlot(0), nullptr);  // the empty slots are not instruments
  EXPECT_EQ(lib.table.FindSlot(5), nullptr);

  // "[None]" and an empty template: no instruments; the tempo is the playback default or the
  // template's own.
  lib.Put("TEMPLATE.DAT", EncodeTemplateSelection("[None]"));
  EXPECT_EQ(lib.Load(), TemplateLoad::kLoaded);
  EXPECT_EQ(lib.table.count, 0);
  EXPECT_EQ(lib.table.defaultTempo, 120);
  EXPECT_EQ(lib.table.slots[0], InstrumentSlot{});
  lib.PutTemplate("Empty", 80, {});
  EXPECT_EQ(lib.Load(), TemplateLoad::kLoaded);
  EXPECT_EQ(lib.selected, "Empty");
  EXPECT_EQ(lib.table.count, 0);
  EXPECT_EQ(lib.table.defaultTempo, 80);
  lib.PutTemplate("NoTempo", 0, {});
  EXPECT_EQ(lib.Load(), TemplateLoad::kLoaded);
  EXPECT_EQ(lib.table.StartingTempo(110), 110);
  EXPECT_TRUE(lib.host.messages.empty());
}

TEST(Templates, MoreThan350InstrumentsLoadTheFirst350) {
  Library lib;
  InstrumentRecord r = Flute();
  r.percussionMapName.clear();
  lib.Put(r);
  InstrumentRecord last = r;
  last.staveId = 7;
  lib.Put(last);
  std::vector<std::string> names(350, "Flute [1]");
  names.push_back("Flute [7]");
  names.push_back("Missing [9]");  // never opened
  lib.PutTemplate("Big", 0, names);
  EXPECT_EQ(lib.Load(), TemplateLoad::kLoaded);
  EXPECT_EQ(lib.selected, "Big");
  EXPECT_EQ(lib.table.count, 350);
  EXPECT_EQ(lib.table.slots[349].staveId, 1);
  EXPECT_EQ(lib.table.FindSlot(7), nullptr);
  ASSERT_EQ(lib.host.MessageIds(), std::vector<int>{res::kTooManyInstruments});
  EXPECT_EQ(lib.host.messages[0].text,
            lib.folder() +
                "Big.TPL lists 352 instruments; the first 350 were loaded and the rest left out");
}

TEST(Templates, ATemplateThatCannotLoadFallsBackToNone) {
  InstrumentRecord good = Flute();
  struct Case {
    std::string what;
    std::function<void(Library&)> setUp;
    int id;
  };
  auto withInstrument = [](InstrumentRecord r) {
    return [r](Library& lib) { lib.Put("Flute [1].INS", EncodeInstrument(r)); };
  };
  InstrumentRecord loud = good;
  loud.volume = 200;
  InstrumentRecord wide = good;
  wide.pan = std::numeric_limits<std::int32_t>::max();
  InstrumentRecord noList = good;
  noList.instrumentLibrary = 5;
  InstrumentRecord noNumber = good;
  noNumber.instrumentLibrary = 1;
  noNumber.bankProgram = 2;
  InstrumentRecord escape = good;
  escape.percussionMapName = "../../etc/Kit";
  std::vector<Case> cases = {
      {"no template file", [](Library& lib) { fs::remove(lib.scratch.path() / "Duo.TPL"); },
       res::kCannotRead},
      {"template cut short",
       [](Library& lib) {
         ByteVector b = EncodeTemplate({310, "Duo", 90, {"Flute [1]", "Cello [2]"}});
         b.resize(b.size() - 3);
         lib.Put("Duo.TPL", b);
       },
       res::kTruncatedLibraryFile},
      {"negative count",
       [](Library& lib) {
         lib.Put("Duo.TPL", Concat({Hex("36010000 03"), Bytes("Duo"), Hex("5A000000 FEFFFFFF")}));
       },
       res::kTruncatedLibraryFile},
      {"tempo beyond 250",
       [](Library& lib) {
         lib.Put("Duo.TPL", EncodeTemplate({310, "Duo", 251, {}}));
       },
       res::kValueOutOfRangeInFile},
      {"second instrument missing", [](Library&) {}, res::kCannotRead},
      {"instrument cut short",
       [](Library& lib) {
         lib.Put("Flute [1].INS", ByteVector(kFluteBytes.begin(), kFluteBytes.end() - 1));
       },
       res::kTruncatedLibraryFile},
      {"volume 200", withInstrument(loud), res::kValueOutOfRangeInFile},
      {"pan that would overflow", withInstrument(wide), res::kValueOutOfRangeInFile},
      {"map outside the folder", withInstrument(escape), res::kValueOutOfRangeInFile},
      {"INSTRUMENTS.DAT too short", withInstrument(noList), res::kNoSuchLine},
      {"list line without a number", withInstrument(noNumber), res::kNoProgramNumber},
      {"instrument name outside the folder",
       [](Library& lib) {
         lib.Put("Duo.TPL", EncodeTemplate({310, "Duo", 90, {"../Flute [1]"}}));
       },
       res::kCannotRead},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Library lib;
    lib.Put(good);
    lib.PutTemplate("Duo", 90, {"Flute [1]", "Cello [2]"});
    c.setUp(lib);
    EXPECT_EQ(lib.Load(), TemplateLoad::kFellBack);
    EXPECT_EQ(lib.selected, "[None]");
    EXPECT_EQ(lib.host.MessageIds(), std::vector<int>{c.id});
    // The table is what "[None]" gives, not half a template.
    EXPECT_EQ(lib.table.count, 0);
    EXPECT_EQ(lib.table.defaultTempo, 120);
    EXPECT_EQ(lib.table.slots[0], InstrumentSlot{});
  }

  // TEMPLATE.DAT itself missing or damaged: a failure that changes nothing.
  Library lib;
  lib.Put(good);
  lib.PutTemplate("Duo", 90, {"Flute [1]"});
  ASSERT_EQ(lib.Load(), TemplateLoad::kLoaded);
  for (const ByteVector& bytes : {ByteVector{}, Hex("36010000 05 44")}) {
    lib.host.messages.clear();
    fs::remove(lib.scratch.path() / "TEMPLATE.DAT");
    if (!bytes.empty()) lib.Put("TEMPLATE.DAT", bytes);
    EXPECT_EQ(lib.Load(), TemplateLoad::kFailed);
    EXPECT_EQ(lib.host.MessageIds(),
              std::vector<int>{bytes.empty() ? res::kCannotRead : res::kTruncatedLibraryFile});
    EXPECT_EQ(lib.selected, "Duo");
    EXPECT_EQ(lib.table.count, 1);
  }
}

TEST(Templates, TheLibraryLoadsTheSelectedTemplateAndFallsBack) {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  const std::string folder = scratch.folder();
  ASSERT_TRUE(InstallFactoryLibrary(folder, host).ok);
  EXPECT_EQ(TemplateChoices(folder), (std::vector<std::string>{"[None]", "Piano", "SATB Choir"}));

  SettingsLibrary lib(host);
  ASSERT_TRUE(lib.Create(folder));
  EXPECT_EQ(lib.selectedTemplate, "[None]");  // the factory selects none
  EXPECT_EQ(lib.instruments.count, 0);

  // The piano: both staves of the grand staff on one channel and program.
  ASSERT_TRUE(lib.SelectTemplate("Piano"));
  ASSERT_TRUE(lib.ReloadLibrary());
  EXPECT_EQ(lib.selectedTemplate, "Piano");
  ASSERT_EQ(lib.instruments.count, 2);
  const InstrumentSlot* right = lib.instruments.FindSlot(1);
  const InstrumentSlot* left = lib.instruments.FindSlot(2);
  ASSERT_TRUE(right && left);
  EXPECT_EQ(right->staveName, "Piano right hand");
  EXPECT_EQ(left->staveName, "Piano left hand");
  EXPECT_EQ(right->channel, left->channel);
  EXPECT_EQ(right->program, 0);
  EXPECT_EQ(left->program, 0);
  EXPECT_EQ(right->pan, 63);

  // The choir: four voices, Choir Aahs, spread left to right.
  ASSERT_TRUE(lib.SelectTemplate("SATB Choir"));
  ASSERT_TRUE(lib.Create(folder));
  ASSERT_EQ(lib.instruments.count, 4);
  for (std::int32_t id = 1; id <= 4; ++id) {
    const InstrumentSlot* s = lib.instruments.FindSlot(id);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->channel, id - 1);
    EXPECT_EQ(s->program, 52);
    EXPECT_EQ(s->convertLyrics, 1);
    if (id > 1) {
      EXPECT_GT(s->pan, lib.instruments.FindSlot(id - 1)->pan);
    }
  }
  EXPECT_EQ(lib.instruments.FindSlot(1)->staveName, "Soprano");
  EXPECT_TRUE(host.messages.empty());

  // A selected template that has gone: the run goes on with "[None]".
  fs::remove(scratch.path() / "SATB Choir.TPL");
  EXPECT_TRUE(lib.ReloadLibrary());
  EXPECT_EQ(lib.selectedTemplate, "[None]");
  EXPECT_EQ(lib.instruments.count, 0);
  EXPECT_EQ(host.MessageIds(), std::vector<int>{res::kCannotRead});
  // TEMPLATE.DAT still names it: the next reload tells again.
  EXPECT_EQ(ReadFile(scratch.path() / "TEMPLATE.DAT"), EncodeTemplateSelection("SATB Choir"));
}

}  // namespace
}  // namespace vellumix
