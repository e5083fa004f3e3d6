#include "library/symbols.h"

#include <gtest/gtest.h>

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

SymbolRecord Code9(std::int32_t number, std::int32_t library, std::int32_t velocity) {
  SymbolRecord r;
  r.number = number;
  r.code9Library = library;
  r.velocityLevel = velocity;
  return r;
}

SymbolRecord Text(std::string text, std::int32_t library, std::int32_t velocity) {
  SymbolRecord r;
  r.kind = kTextSymbol;
  r.text = std::move(text);
  r.textLibrary = library;
  r.velocityLevel = velocity;
  return r;
}

// A library folder with INSTRUMENTS.DAT lines 1 General, 2 Strings,GS, 3 Brass.
struct Fixture {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  SettingsLibrary settings{host};
  SymbolLibrary symbols{host, settings};

  Fixture() {
    settings.LibraryFolder = scratch.folder();
    WriteFile(scratch.path() / "instruments.dat", Bytes("General\r\nStrings,GS\r\nBrass\n"));
  }
  void Put(const std::string& name, const SymbolRecord& r) {
    WriteFile(scratch.path() / name, EncodeSymbol(r));
  }
};

TEST(Symbols, RecordBytesAndRoundTrip) {
  SymbolRecord r;
  r.number = 7;
  r.duration = 50;
  r.pitchOffset = -2;
  r.velocityLevel = 100;
  r.tempoOffset = -10;
  r.bankProgram = 300;
  r.bender = -8192;
  r.controllerType = 64;
  r.controllerValue = 127;
  r.permanent = 1;
  r.name = "stacc";
  const ByteVector code9 = Concat(
      {Hex("36010000 00000000 07000000 00000000 00 00000000 32000000 feffffff 64000000"
           "00000000 00000000 f6ffffff 06"),
       Bytes("[none]"), Hex("2c010000 00e0ffff 40000000 7f000000 01000000 05"), Bytes("stacc")});
  EXPECT_EQ(EncodeSymbol(r), code9);
  EXPECT_EQ(DecodeSymbol(code9), r);

  // A text symbol stores no name.
  SymbolRecord t = Text("f", 3, 0);
  t.special = kSpecialATempo;
  t.name = "not stored";
  const ByteVector text =
      Concat({Hex("36010000 01000000 00000000 00000000 01"), Bytes("f"),
              Hex("03000000 00000000 00000000 00000000 00000000 00000000"
                  "00000000 09"),
              Bytes("[a tempo]"), Hex("00000000 00000000 00000000 00000000 00000000")});
  EXPECT_EQ(EncodeSymbol(t), text);
  t.name.clear();
  EXPECT_EQ(DecodeSymbol(text), t);

  // Every shorter form is refused, and so is a string that claims more than is left.
  for (std::size_t n = 0; n < code9.size(); ++n)
    EXPECT_FALSE(DecodeSymbol(std::span(code9).first(n))) << n;
  ByteVector lying = code9;
  lying[lying.size() - 6] = 0x06;  // the name claims one byte more
  EXPECT_FALSE(DecodeSymbol(lying));
}

TEST(Symbols, FileNamesAndChecks) {
  EXPECT_EQ(SymbolFileName(7, ""), "Symbol007.SBL");
  EXPECT_EQ(SymbolFileName(42, ""), "Symbol042.SBL");
  EXPECT_EQ(SymbolFileName(123, "Strings"), "Symbol123 [Strings].SBL");
  EXPECT_EQ(SymbolFileName("f", "Brass"), "f [Brass].TBL");
  EXPECT_EQ(SymbolFileName("a tempo", ""), "a tempo.TBL");

  EXPECT_FALSE(ValidateSymbol(Code9(999, 0, 127)));
  auto bad = ValidateSymbol(Code9(1, 0, 128));
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->field, "velocityLevel");
  EXPECT_EQ(bad->text, "Enter an integer between 0 and 127.");
  SymbolRecord r;
  r.bender = -8193;
  EXPECT_EQ(ValidateSymbol(r)->text, "Enter an integer between -8192 and 8191.");
  r = {};
  r.number = 1000;
  EXPECT_EQ(ValidateSymbol(r)->field, "number");
}

TEST(Symbols, CacheIsFilledFromTheTwentyThreeFiles) {
  Fixture f;
  const std::vector<int> numbers = {21, 22, 23, 24, 25, 27, 28, 29, 30, 31, 50, 51,
                                    52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62};
  for (int n : numbers) f.Put("Symbol0" + std::to_string(n) + ".SBL", Code9(n, 0, n));
  f.Put("Symbol026.SBL", Code9(26, 0, 26));  // never part of the cache
  fs::remove(f.scratch.path() / "Symbol055.SBL");
  WriteFile(f.scratch.path() / "Symbol056.SBL", Hex("36010000 00000000"));

  EXPECT_TRUE(f.symbols.FillCache());
  std::vector<int> cached;
  for (const auto& e : f.symbols.Cache()) {
    cached.push_back(e.record.number);
    EXPECT_EQ(e.useCount, 0);
  }
  std::vector<int> expected = numbers;
  std::erase(expected, 55);
  std::erase(expected, 56);
  EXPECT_EQ(cached, expected);
  ASSERT_EQ(f.host.messages.size(), 2u);
  EXPECT_EQ(f.host.messages[0].id, res::kCannotRead);
  EXPECT_EQ(f.host.messages[0].text,
            "Unable to open file " + f.scratch.folder() + "SYMBOL055.SBL for reading");
  EXPECT_EQ(f.host.messages[1].id, res::kTruncatedLibraryFile);
  ASSERT_EQ(f.host.statuses.size(), 23u);
  EXPECT_EQ(f.host.statuses[0].text, "Reading file Symbol021.SBL");

  f.symbols.ReleaseCache();
  EXPECT_TRUE(f.symbols.Cache().empty());

  // A cancel at any file stops the fill.
  f.host.statuses.clear();
  f.host.cancelAtReport = 3;
  EXPECT_FALSE(f.symbols.FillCache());
  EXPECT_TRUE(f.symbols.Cancelled());
  EXPECT_EQ(f.symbols.Cache().size(), 2u);
}

TEST(Symbols, LeastUsedEntryIsReplaced) {
  Fixture f;
  for (int n = 1; n <= 40; ++n) f.Put(SymbolFileName(n, ""), Code9(n, 0, n));
  for (int n = 50; n <= 62; ++n) f.Put(SymbolFileName(n, ""), Code9(n, 0, n));
  ASSERT_TRUE(f.symbols.FillCache());
  ASSERT_EQ(f.symbols.Cache().size(), 23u);

  EXPECT_EQ(f.symbols.LookUpCode9Symbol(21), 1);
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(21), 1);
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(22), 1);
  EXPECT_EQ(f.symbols.Cache()[0].useCount, 2);
  EXPECT_EQ(f.symbols.Cache()[1].useCount, 1);
  const std::size_t statusesBefore = f.host.statuses.size();

  // 3 is not cached: the general file is read, every use count goes back to 0 and the record
  // takes the place of the first least-used entry (23, the third).
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(3), 1);
  EXPECT_EQ(f.symbols.Current().velocityLevel, 3);
  EXPECT_EQ(f.host.statuses.size(), statusesBefore + 1);
  EXPECT_EQ(f.host.statuses.back().text, "Reading file Symbol003.SBL");
  ASSERT_EQ(f.symbols.Cache().size(), 23u);
  EXPECT_EQ(f.symbols.Cache()[2].record.number, 3);
  for (const auto& e : f.symbols.Cache()) EXPECT_EQ(e.useCount, 0);

  // Now 21 is used once and all else not: the next record replaces 22.
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(21), 1);
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(4), 1);
  EXPECT_EQ(f.symbols.Cache()[1].record.number, 4);
  EXPECT_EQ(f.symbols.Cache()[0].record.number, 21);

  // A cache hit reads no file.
  fs::remove(f.scratch.path() / "Symbol004.SBL");
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(4), 1);
  EXPECT_EQ(f.symbols.Current().velocityLevel, 4);

  // However many symbols a run meets, the cache holds 23; without a fill it grows to 23 first.
  for (int n = 1; n <= 40; ++n) f.symbols.LookUpCode9Symbol(n);
  EXPECT_EQ(f.symbols.Cache().size(), 23u);
  f.symbols.ReleaseCache();
  for (int n = 5; n <= 40; ++n) {
    f.symbols.LookUpCode9Symbol(n);
    EXPECT_LE(f.symbols.Cache().size(), 23u);
  }
  EXPECT_EQ(f.symbols.Cache().size(), 23u);
}

TEST(Symbols, BracketedCode9FilesAndTheInstrumentLine) {
  Fixture f;
  f.Put("Symbol040.SBL", Code9(40, 0, 1));
  f.Put("Symbol040 [Strings].SBL", Code9(40, 2, 2));
  // Recorded for library 0 though bound by name to "Old": applies to library 0 only.
  f.Put("symbol040 [Old].sbl", Code9(40, 0, 3));
  // Recorded for a library that isn't Brass's line, but its bracketed name is in that line.
  f.Put("Symbol041 [Brass].SBL", Code9(41, 7, 4));
  f.Put("Symbol041.SBL", Code9(41, 0, 5));

  f.symbols.SetCurrentInstrumentLibrary(2);  // Strings,GS
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(40), 1);
  EXPECT_EQ(f.symbols.Current().velocityLevel, 2);
  f.symbols.SetCurrentInstrumentLibrary(3);  // Brass
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(40), 1);
  EXPECT_EQ(f.symbols.Current().velocityLevel, 1);
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(41), 1);
  EXPECT_EQ(f.symbols.Current().velocityLevel, 4);
  f.symbols.SetCurrentInstrumentLibrary(1);  // General
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(41), 1);
  EXPECT_EQ(f.symbols.Current().velocityLevel, 5);

  // Library 0: the bracketed file recorded for 0, else the general one.
  f.symbols.ReleaseCache();
  f.symbols.SetCurrentInstrumentLibrary(0);
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(40), 1);
  EXPECT_EQ(f.symbols.Current().velocityLevel, 3);
  fs::remove(f.scratch.path() / "symbol040 [Old].sbl");
  f.symbols.ReleaseCache();
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(40), 1);
  EXPECT_EQ(f.symbols.Current().velocityLevel, 1);
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(41), 1);
  EXPECT_EQ(f.symbols.Current().velocityLevel, 5);
  EXPECT_TRUE(f.host.messages.empty());
}

TEST(Symbols, TextSymbols) {
  Fixture f;
  f.Put("f [Brass].TBL", Text("f", 3, 90));
  f.Put("dolce.TBL", Text("dolce", 0, 40));
  f.Put("cresc.TBL", Text("cresc", 0, 50));
  f.Put("olc.TBL", Text("olc", 0, 60));

  // On a Brass instrument any text holding an "f" takes f [Brass].TBL, even "dolce forte".
  f.symbols.SetCurrentInstrumentLibrary(3);
  EXPECT_TRUE(f.symbols.LookUpTextSymbol("_02sFz   "));
  EXPECT_EQ(f.symbols.Current().velocityLevel, 90);
  EXPECT_TRUE(f.symbols.LookUpTextSymbol("dolce forte"));
  EXPECT_EQ(f.symbols.Current().velocityLevel, 90);
  // Elsewhere the general files, the first in name order whose name is in the text.
  f.symbols.SetCurrentInstrumentLibrary(1);
  EXPECT_FALSE(f.symbols.LookUpTextSymbol("forte"));
  EXPECT_TRUE(f.symbols.LookUpTextSymbol("Dolce"));
  EXPECT_EQ(f.symbols.Current().velocityLevel, 40);
  f.Put("Dolc.TBL", Text("dolc", 0, 30));
  EXPECT_TRUE(f.symbols.LookUpTextSymbol("dolce"));
  EXPECT_EQ(f.symbols.Current().velocityLevel, 30);
  // Trailing blanks go before the search: "cresc " is not in "cresc".
  f.Put("cresc .TBL", Text("cresc ", 0, 70));
  EXPECT_TRUE(f.symbols.LookUpTextSymbol("cresc   "));
  EXPECT_EQ(f.symbols.Current().velocityLevel, 50);
  f.symbols.SetCurrentInstrumentLibrary(0);
  EXPECT_FALSE(f.symbols.LookUpTextSymbol("forte"));

  // A bracketed file whose record names another text or library applies only by the line test.
  f.Put("p [Strings].TBL", Text("p", 0, 20));
  f.Put("pp [Old].TBL", Text("pp", 0, 10));
  f.symbols.SetCurrentInstrumentLibrary(0);
  EXPECT_TRUE(f.symbols.LookUpTextSymbol("p"));
  EXPECT_EQ(f.symbols.Current().velocityLevel, 20);
  EXPECT_TRUE(f.symbols.LookUpTextSymbol("pp"));
  EXPECT_EQ(f.symbols.Current().velocityLevel, 20);  // "p [" sorts before "pp ["
  f.symbols.SetCurrentInstrumentLibrary(3);
  EXPECT_FALSE(f.symbols.LookUpTextSymbol("pp"));
  f.symbols.SetCurrentInstrumentLibrary(2);
  EXPECT_TRUE(f.symbols.LookUpTextSymbol("pp"));
  EXPECT_EQ(f.symbols.Current().velocityLevel, 20);
  EXPECT_TRUE(f.host.messages.empty());
}

TEST(Symbols, MissingAndDamagedFiles) {
  Fixture f;
  // Missing: silent unless the option asks for a message.
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(7), 0);
  EXPECT_FALSE(f.symbols.Cancelled());
  EXPECT_TRUE(f.host.messages.empty());
  f.settings.options.promptMissingSymbol = 1;
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(7), 0);
  ASSERT_EQ(f.host.MessageIds(), std::vector<int>{res::kCannotRead});
  EXPECT_EQ(f.host.messages[0].text,
            "Unable to open file " + f.scratch.folder() + "SYMBOL007.SBL for reading");
  f.host.messages.clear();

  // A damaged bracketed file is reported once a run and passed over.
  f.symbols.SetCurrentInstrumentLibrary(3);
  ByteVector good = EncodeSymbol(Code9(8, 3, 77));
  WriteFile(f.scratch.path() / "Symbol008 [Brass].SBL",
            ByteVector(good.begin(), good.begin() + 30));
  f.Put("Symbol008.SBL", Code9(8, 0, 66));
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(8), 1);
  EXPECT_EQ(f.symbols.Current().velocityLevel, 66);
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(8), 1);
  ASSERT_EQ(f.host.MessageIds(), std::vector<int>{res::kTruncatedLibraryFile});
  EXPECT_EQ(f.host.messages[0].text,
            f.scratch.folder() + "Symbol008 [Brass].SBL is damaged or truncated and was not read");
  f.host.messages.clear();

  // A string that claims more bytes than the file has, or values out of range: damaged too.
  ByteVector lying = EncodeSymbol(Code9(9, 0, 1));
  lying[16] = 0xFE;  // the empty text claims 254 bytes
  WriteFile(f.scratch.path() / "Symbol009.SBL", lying);
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(9), 0);
  SymbolRecord loud = Code9(10, 0, 1);
  loud.velocityLevel = 300;
  f.Put("Symbol010.SBL", loud);
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(10), 0);
  WriteFile(f.scratch.path() / "damaged.TBL", Hex("3601"));
  EXPECT_FALSE(f.symbols.LookUpTextSymbol("damaged"));
  EXPECT_EQ(f.host.MessageIds(),
            (std::vector<int>{res::kTruncatedLibraryFile, res::kTruncatedLibraryFile,
                              res::kTruncatedLibraryFile}));
  EXPECT_FALSE(f.symbols.Cancelled());
}

TEST(Symbols, CancelWhileReading) {
  Fixture f;
  f.Put("Symbol011.SBL", Code9(11, 0, 11));
  f.Put("Symbol012.SBL", Code9(12, 0, 12));
  f.Put("dolce.TBL", Text("dolce", 0, 40));
  ASSERT_EQ(f.symbols.LookUpCode9Symbol(11), 1);

  f.host.cancelAtReport = static_cast<int>(f.host.statuses.size()) + 1;
  EXPECT_EQ(f.symbols.LookUpCode9Symbol(12), 0);
  EXPECT_TRUE(f.symbols.Cancelled());
  EXPECT_EQ(f.symbols.Current().velocityLevel, 11);
  EXPECT_EQ(f.symbols.Cache().size(), 1u);
  EXPECT_EQ(f.host.statuses.back().text, "Reading file Symbol012.SBL");

  f.host.cancelAtReport = static_cast<int>(f.host.statuses.size()) + 1;
  EXPECT_FALSE(f.symbols.LookUpTextSymbol("dolce"));
  EXPECT_TRUE(f.symbols.Cancelled());
  EXPECT_EQ(f.symbols.Current().velocityLevel, 11);

  f.host.cancelAtReport = 0;
  EXPECT_TRUE(f.symbols.LookUpTextSymbol("dolce"));
  EXPECT_FALSE(f.symbols.Cancelled());
  EXPECT_EQ(f.symbols.Current().velocityLevel, 40);
  EXPECT_TRUE(f.host.messages.empty());
}

TEST(Symbols, SaveSymbol) {
  Fixture f;
  std::string error, name;
  SymbolRecord r = Code9(0, 0, 10);
  EXPECT_FALSE(f.symbols.SaveSymbol(r, &error));
  EXPECT_EQ(error, "Please enter a symbol number greater than 0.");
  // The dialog is told which field to focus.
  auto refused = [&](const SymbolRecord& record) {
    FieldError field;
    EXPECT_FALSE(f.symbols.SaveSymbol(record, field));
    return field.field + ": " + field.text;
  };
  EXPECT_EQ(refused(r), "number: Please enter a symbol number greater than 0.");
  EXPECT_EQ(refused(Text("", 0, 1)), "text: Please enter the text of the symbol.");
  EXPECT_EQ(refused(Text("f", 4, 1)), "textLibrary: Enter an integer between 0 and 3.");
  r.number = 123;
  r.velocityOffset = 65;
  EXPECT_FALSE(f.symbols.SaveSymbol(r, &error));
  EXPECT_EQ(error, "Enter an integer between -64 and 64.");
  EXPECT_EQ(refused(r), "velocityOffset: Enter an integer between -64 and 64.");
  r.velocityOffset = 0;
  r.code9Library = 4;
  EXPECT_FALSE(f.symbols.SaveSymbol(r, &error));
  EXPECT_EQ(error, "Enter an integer between 0 and 3.");
  EXPECT_EQ(refused(r), "code9Library: Enter an integer between 0 and 3.");
  EXPECT_EQ(test::Entries(f.scratch.path()), std::vector<std::string>{"instruments.dat"});

  r.code9Library = 2;
  r.special = "TRILL";
  r.version = 300;
  ASSERT_TRUE(f.symbols.SaveSymbol(r, &error, &name));
  EXPECT_EQ(name, "Symbol123 [Strings,GS].SBL");
  SymbolRecord written = r;
  written.special = "TRILL.SSL";
  written.version = 310;
  EXPECT_EQ(ReadFile(f.scratch.path() / name), EncodeSymbol(written));

  // Specials that carry their extension or need no file keep their name.
  for (std::string special : {"Trill.ssl", "[none]", "[a tempo]", "[Tempo I]"}) {
    r.special = special;
    ASSERT_TRUE(f.symbols.SaveSymbol(r));
    EXPECT_EQ(DecodeSymbol(ReadFile(f.scratch.path() / name))->special, special);
  }

  SymbolRecord t = Text("f", 3, 90);
  ASSERT_TRUE(f.symbols.SaveSymbol(t, &error, &name));
  EXPECT_EQ(name, "f [Brass].TBL");
  // An existing file of another letter case is replaced, not doubled.
  WriteFile(f.scratch.path() / "SYMBOL007.SBL", Bytes("old"));
  ASSERT_TRUE(f.symbols.SaveSymbol(Code9(7, 0, 1), &error, &name));
  EXPECT_EQ(name, "SYMBOL007.SBL");
  EXPECT_EQ(DecodeSymbol(ReadFile(f.scratch.path() / name)), Code9(7, 0, 1));
  // The saved symbols are found.
  f.symbols.SetCurrentInstrumentLibrary(3);
  EXPECT_TRUE(f.symbols.LookUpTextSymbol("sf"));
  EXPECT_EQ(f.symbols.Current().velocityLevel, 90);

  EXPECT_FALSE(f.symbols.SaveSymbol(Text("", 0, 1), &error));
  EXPECT_FALSE(f.symbols.SaveSymbol(Text("a/b", 0, 1), &error));
  EXPECT_TRUE(f.host.messages.empty());

  f.settings.LibraryFolder = f.scratch.folder() + "gone/";
  EXPECT_FALSE(f.symbols.SaveSymbol(Code9(5, 0, 1)));
  EXPECT_EQ(f.host.MessageIds(), std::vector<int>{res::kCannotWriteBecause});
  f.host.messages.clear();
  EXPECT_FALSE(f.symbols.SaveSymbol(Code9(5, 1, 1)));
  EXPECT_EQ(f.host.MessageIds(), std::vector<int>{res::kCannotRead});
}

TEST(Symbols, DialogListsAndReadingForEditing) {
  Fixture f;
  SymbolRecord trill = Code9(123, 2, 0);
  trill.name = "trill";
  SymbolRecord stacc = Code9(7, 0, 0);
  stacc.name = "stacc";
  f.Put("Symbol123 [Strings,GS].SBL", trill);
  f.Put("Symbol007.SBL", stacc);
  WriteFile(f.scratch.path() / "Symbol050.SBL", Bytes("old"));
  f.Put("f.TBL", Text("f", 0, 90));
  f.Put("f [Brass].TBL", Text("f", 3, 90));
  WriteFile(f.scratch.path() / "TRILL.SSL", Bytes(""));
  WriteFile(f.scratch.path() / "cresc [Brass].ssl", Bytes(""));

  // The damaged file is reported and still listed, so that it can be deleted.
  const SymbolEntries lists = ListSymbols(f.host, f.scratch.folder());
  const std::vector<LibraryEntry> code9 = {
      {"Symbol007.SBL", "Symbol007 - stacc"},
      {"Symbol050.SBL", "Symbol050"},
      {"Symbol123 [Strings,GS].SBL", "Symbol123 [Strings,GS] - trill"}};
  EXPECT_EQ(lists.code9, code9);
  const std::vector<LibraryEntry> text = {{"f [Brass].TBL", "f [Brass]"}, {"f.TBL", "f"}};
  EXPECT_EQ(lists.text, text);
  ASSERT_EQ(f.host.MessageIds(), std::vector<int>{res::kCannotRead});
  EXPECT_EQ(f.host.messages[0].text,
            res::Format(res::kCannotRead, {f.scratch.folder() + "Symbol050.SBL"}));
  EXPECT_EQ(SymbolEntry("Symbol007.SBL", stacc), code9[0]);
  EXPECT_EQ(SymbolEntry("f.TBL", Text("f", 0, 0)), text[1]);

  f.host.messages.clear();
  EXPECT_EQ(ReadSymbolFile(f.host, f.scratch.folder(), "SYMBOL123 [strings,gs].sbl"), trill);
  EXPECT_EQ(ReadSymbolFile(f.host, f.scratch.folder(), "Symbol050.SBL"), std::nullopt);
  EXPECT_EQ(ReadSymbolFile(f.host, f.scratch.folder(), "Symbol051.SBL"), std::nullopt);
  EXPECT_EQ(f.host.MessageIds(), (std::vector<int>{res::kCannotRead, res::kCannotRead}));

  EXPECT_EQ(
      SpecialChoices(f.scratch.folder()),
      (std::vector<std::string>{"cresc [Brass]", "TRILL", "[a tempo]", "[Tempo I]", "[none]"}));
  EXPECT_EQ(SpecialChoice("TRILL.SSL"), "TRILL");
  EXPECT_EQ(SpecialChoice("cresc [Brass].ssl"), "cresc [Brass]");
  EXPECT_EQ(SpecialChoice("[Tempo I]"), "[Tempo I]");
  EXPECT_EQ(SpecialChoice(""), "[none]");
}

TEST(InstrumentList, LinesChoicesAndFilter) {
  Fixture f;
  const std::vector<std::string> lines = {"General", "Strings,GS", "Brass"};
  EXPECT_EQ(ReadInstrumentList(f.scratch.folder()), lines);
  EXPECT_EQ(InstrumentLibraryChoices(lines),
            (std::vector<std::string>{"ALL", "General", "Strings,GS", "Brass"}));
  EXPECT_EQ(LibraryFilterChoices(lines), (std::vector<std::string>{"ALL", "General", "Brass"}));
  EXPECT_EQ(LinesWithoutComma(lines), (std::vector<std::string>{"General", "Brass"}));

  const std::string gone = f.scratch.folder() + "gone/";
  EXPECT_EQ(ReadInstrumentList(gone), std::nullopt);
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_EQ(ReadInstrumentList(f.host, gone), std::nullopt);
  ASSERT_EQ(f.host.MessageIds(), std::vector<int>{res::kCannotRead});
  EXPECT_EQ(f.host.messages[0].text, res::Format(res::kCannotRead, {gone + "INSTRUMENTS.DAT"}));

  struct Case {
    const char* filter;
    const char* fileName;
    bool shown;
  };
  for (const Case& c :
       {Case{"ALL", "Symbol007 [Brass].SBL", true}, Case{"General", "Symbol007.SBL", true},
        Case{"General", "Symbol007 [Brass].SBL", false},
        Case{"Brass", "Symbol007 [Brass].SBL", true}, Case{"Brass", "f [brass].TBL", true},
        Case{"Brass", "Symbol007 [Strings,GS].SBL", false}, Case{"Brass", "Brass.SSL", false},
        Case{"Strings", "Symbol007 [Strings,GS].SBL", true}})
    EXPECT_EQ(FilterShows(c.filter, c.fileName), c.shown) << c.filter << " " << c.fileName;
}

TEST(InstrumentList, DeleteLibraryFile) {
  Fixture f;
  f.Put("SYMBOL007.SBL", Code9(7, 0, 1));
  EXPECT_TRUE(DeleteLibraryFile(f.host, f.scratch.folder(), "Symbol007.SBL"));
  EXPECT_FALSE(fs::exists(f.scratch.path() / "SYMBOL007.SBL"));
  // Gone already is as good as deleted.
  EXPECT_TRUE(DeleteLibraryFile(f.host, f.scratch.folder(), "Symbol007.SBL"));
  EXPECT_TRUE(f.host.messages.empty());

  fs::create_directories(f.scratch.path() / "Symbol008.SBL" / "inside");
  EXPECT_FALSE(DeleteLibraryFile(f.host, f.scratch.folder(), "Symbol008.SBL"));
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0].text,
            "Unable to delete file " + f.scratch.folder() + "Symbol008.SBL");
}

}  // namespace
}  // namespace vellumix
