#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "library/factory.h"
#include "library/library.h"
#include "library/settings.h"
#include "platform/files.h"
#include "res/strings.h"
#include "run/document.h"
#include "score_builder.h"
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

// The built-in values as files, byte for byte.
const ByteVector kBuiltInOptions =
    Hex("36010000"                             // version 310
        "01000000 01000000"                    // instruments 1 to 1
        "01000000 01000000 01000000 01000000"  // delete .tmp, code 9, specials, all instruments
        "06 547970652031"                      // "Type 1"
        "00000000 00000000 00000000 01000000"  // multiple systems, cue notes, playback, repeats
        "00000000 00000000 01000000 00000000"  // duplicate dynamics, notation, sort, code 4
        "00000000 00000000 01000000 01000000"  // explorer, prompt, tremolos, octava
        "01000000 01000000 01000000 00000000"  // pedalling, text, metronome, lyrics
        "00000000 00000000");                  // punctuation (301), stave transposition (302)

const ByteVector kBuiltInDefaults =
    Hex("36010000 50000000 5F000000 00000000"  // version, dynamic 80, length 95, transposition 0
        "78000000 00000000 06000000 03000000"  // tempo 120, grace on beat, grace 6, tie vertical 3
        "CDCCCC3D 08000000 FBFFFFFF 02000000"  // tie horizontal 0.1, unit 8, lyrics -5, width 2
    );

Options Unusual() {
  Options o;
  o.firstInstrument = 7;
  o.lastInstrument = 9;
  o.midiFileType = "Type 0";
  o.interpretLyrics = 1;
  o.removeLyricPunctuation = 1;
  o.useStaveTransposition = 1;
  return o;
}

class LibraryFiles : public testing::Test {
 protected:
  LibraryFiles() : lib(host) {
    lib.UserDataFolder = scratch.folder();
    lib.LibraryFolder = scratch.folder();
  }
  std::filesystem::path File(const char* name) const { return scratch.path() / name; }

  test::ScratchFolder scratch;
  test::ScriptedHost host;
  SettingsLibrary lib;
};

TEST(Settings, BuiltInValuesEncodeToTheExactFiles) {
  ASSERT_EQ(kBuiltInOptions.size(), 107u);
  ASSERT_EQ(kBuiltInDefaults.size(), 48u);
  EXPECT_EQ(EncodeOptions(Options{}), kBuiltInOptions);
  EXPECT_EQ(EncodeDefaults(Defaults{}), kBuiltInDefaults);
  // Whatever version the values came from, 310 is written.
  Options old;
  old.version = 300;
  EXPECT_EQ(EncodeOptions(old), kBuiltInOptions);

  Options o;
  o.version = 0;
  ASSERT_TRUE(DecodeOptions(kBuiltInOptions, o));
  EXPECT_EQ(o, Options{});
  Defaults d;
  d.tempo = 0;
  ASSERT_TRUE(DecodeDefaults(kBuiltInDefaults, d));
  EXPECT_EQ(d, Defaults{});
}

TEST_F(LibraryFiles, OlderVersionsLeaveTheLaterFieldsAsTheyWere) {
  auto optionsOfVersion = [](std::int32_t version, int fields) {
    ByteVector b = EncodeOptions(Options{});
    b[0] = static_cast<std::uint8_t>(version);
    b[1] = static_cast<std::uint8_t>(version >> 8);
    b.resize(b.size() - 4 * (2 - fields));
    return b;
  };
  struct Case {
    std::int32_t version;
    int laterFields;
    std::int32_t punctuation, staveTransposition;
  };
  for (const Case& c :
       {Case{300, 0, 1, 1}, Case{301, 1, 0, 1}, Case{302, 2, 0, 0}, Case{310, 2, 0, 0}}) {
    SCOPED_TRACE(c.version);
    WriteFile(File("OPTIONS.DAT"), optionsOfVersion(c.version, c.laterFields));
    lib.options = Unusual();
    ASSERT_TRUE(lib.LoadOptions());
    EXPECT_EQ(lib.options.version, c.version);
    EXPECT_EQ(lib.options.firstInstrument, 1);
    EXPECT_EQ(lib.options.midiFileType, "Type 1");
    EXPECT_EQ(lib.options.removeLyricPunctuation, c.punctuation);
    EXPECT_EQ(lib.options.useStaveTransposition, c.staveTransposition);
  }

  for (std::int32_t version : {300, 301, 310}) {
    SCOPED_TRACE(version);
    ByteVector b = kBuiltInDefaults;
    b[0] = static_cast<std::uint8_t>(version);
    b[1] = static_cast<std::uint8_t>(version >> 8);
    if (version == 300) b.resize(44);
    WriteFile(File("DEFAULTS.DAT"), b);
    lib.defaults.lyricsVerticalWidth = 9;
    lib.defaults.tempo = 1;
    ASSERT_TRUE(lib.LoadDefaults());
    EXPECT_EQ(lib.defaults.tempo, 120);
    EXPECT_EQ(lib.defaults.lyricsVerticalWidth, version == 300 ? 9 : 2);
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(LibraryFiles, TruncatedFilesAreRefusedAtEveryLength) {
  const ByteVector options300 = [] {
    ByteVector b(kBuiltInOptions.begin(), kBuiltInOptions.end() - 8);
    b[0] = 0x2C;  // 300
    return b;
  }();
  struct Case {
    const char* name;
    ByteVector whole;
  };
  for (const Case& c : {Case{"OPTIONS.DAT", kBuiltInOptions}, Case{"OPTIONS.DAT", options300},
                        Case{"DEFAULTS.DAT", kBuiltInDefaults},
                        Case{"TEMPLATE.DAT", Concat({Hex("36010000 07"), Bytes("Strings")})}}) {
    for (std::size_t n = 0; n < c.whole.size(); ++n) {
      SCOPED_TRACE(std::string(c.name) + " cut to " + std::to_string(n));
      ByteVector cut(c.whole.begin(), c.whole.begin() + n);
      WriteFile(File(c.name), cut);
      host.messages.clear();
      lib.options = Unusual();
      lib.defaults.tempo = 77;
      lib.selectedTemplate = "Kept";
      bool loaded = std::string(c.name) == "OPTIONS.DAT"    ? lib.LoadOptions()
                    : std::string(c.name) == "DEFAULTS.DAT" ? lib.LoadDefaults()
                                                            : lib.LoadTemplateSelection();
      EXPECT_FALSE(loaded);
      EXPECT_EQ(lib.options, Unusual());
      EXPECT_EQ(lib.defaults.tempo, 77);
      EXPECT_EQ(lib.selectedTemplate, "Kept");
      ASSERT_EQ(host.MessageIds(), std::vector<int>{res::kTruncatedLibraryFile});
      EXPECT_EQ(host.messages[0].text,
                (scratch.path() / c.name).string() + " is damaged or truncated and was not read");
      EXPECT_EQ(ReadFile(File(c.name)), cut);
    }
  }
}

TEST_F(LibraryFiles, MissingFilesGiveMessage9WithTheFullPath) {
  lib.options = Unusual();
  EXPECT_FALSE(lib.LoadOptions());
  EXPECT_FALSE(lib.LoadDefaults());
  EXPECT_FALSE(lib.LoadTemplateSelection());
  EXPECT_EQ(lib.options, Unusual());
  ASSERT_EQ(host.messages.size(), 3u);
  EXPECT_EQ(host.messages[0].id, res::kCannotRead);
  EXPECT_EQ(host.messages[0].text,
            "Unable to open file " + scratch.folder() + "OPTIONS.DAT for reading");
  EXPECT_EQ(host.messages[1].text,
            "Unable to open file " + scratch.folder() + "DEFAULTS.DAT for reading");
  EXPECT_EQ(host.messages[2].text,
            "Unable to open file " + scratch.folder() + "TEMPLATE.DAT for reading");
}

TEST_F(LibraryFiles, FilesAreFoundWithoutRegardToLetterCase) {
  WriteFile(File("options.dat"), EncodeOptions(Unusual()));
  WriteFile(File("Defaults.Dat"), kBuiltInDefaults);
  WriteFile(File("template.dat"), Concat({Hex("36010000 05"), Bytes("Organ")}));
  // The template it names, with no instruments.
  WriteFile(File("organ.tpl"),
            Concat({Hex("36010000 05"), Bytes("Organ"), Hex("00000000 00000000")}));
  ASSERT_TRUE(lib.ReloadLibrary());
  EXPECT_EQ(lib.options, Unusual());
  EXPECT_EQ(lib.selectedTemplate, "Organ");

  // Saving replaces the file that was found rather than adding a second one.
  ASSERT_TRUE(lib.SaveOptions(Options{}));
  EXPECT_EQ(test::Entries(scratch.path()),
            (std::vector<std::string>{"Defaults.Dat", "options.dat", "organ.tpl", "template.dat"}));
  EXPECT_EQ(ReadFile(File("options.dat")), kBuiltInOptions);
}

TEST_F(LibraryFiles, SavingValidatesWritesAndTakesTheValues) {
  std::string error;
  bool changed = true;

  Options bad = Unusual();
  bad.lastInstrument = 351;
  EXPECT_FALSE(lib.SaveOptions(bad, &error, &changed));
  EXPECT_EQ(error, "Enter an integer between 1 and 350.");
  EXPECT_FALSE(changed);
  bad = Unusual();
  bad.firstInstrument = 0;
  EXPECT_FALSE(lib.SaveOptions(bad, &error));
  EXPECT_EQ(error, "Enter an integer between 1 and 350.");
  bad = Unusual();
  bad.midiFileType = "Type 100";
  EXPECT_FALSE(lib.SaveOptions(bad, &error));
  EXPECT_EQ(error, "Enter no more than 7 characters.");
  bad = Unusual();
  bad.autoPlayback = 2;
  EXPECT_FALSE(lib.SaveOptions(bad, &error));
  EXPECT_EQ(error, "Enter an integer between 0 and 1.");
  EXPECT_FALSE(std::filesystem::exists(File("OPTIONS.DAT")));
  EXPECT_EQ(lib.options, Options{});

  Options good = Unusual();
  good.version = 300;
  good.interpretMultipleSystems = 1;
  ASSERT_TRUE(lib.SaveOptions(good, &error, &changed));
  EXPECT_TRUE(changed);
  ByteVector written = ReadFile(File("OPTIONS.DAT"));
  ASSERT_EQ(written.size(), 107u);
  good.version = 310;
  EXPECT_EQ(lib.options, good);
  lib.options = Options{};
  ASSERT_TRUE(lib.LoadOptions());
  EXPECT_EQ(lib.options, good);
  ASSERT_TRUE(lib.SaveOptions(good, &error, &changed));
  EXPECT_FALSE(changed);

  Defaults d;
  d.tieHorizontalWidth = 6.5f;
  EXPECT_FALSE(lib.SaveDefaults(d, &error));
  EXPECT_EQ(error, "Enter a number between 0 and 6.");
  d.tieHorizontalWidth = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(lib.SaveDefaults(d, &error));
  d.tieHorizontalWidth = 0.1f;
  d.transposition = -49;
  EXPECT_FALSE(lib.SaveDefaults(d, &error));
  EXPECT_EQ(error, "Enter an integer between -48 and 48.");
  d.transposition = 0;
  d.lyricsVerticalPosition = 101;
  EXPECT_FALSE(lib.SaveDefaults(d, &error));
  EXPECT_EQ(error, "Enter an integer between -100 and 100.");
  EXPECT_FALSE(std::filesystem::exists(File("DEFAULTS.DAT")));

  d = DefaultsDialogDefaults();
  d.tieHorizontalWidth = 6.0f;
  d.tempo = 500;
  ASSERT_TRUE(lib.SaveDefaults(d, &error));
  EXPECT_EQ(ReadFile(File("DEFAULTS.DAT")),
            Hex("36010000 50000000 5F000000 00000000 F4010000 00000000 04000000 01000000"
                "0000C040 08000000 FBFFFFFF 02000000"));
  EXPECT_EQ(lib.defaults, d);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(LibraryFiles, AnUnwritableFileKeepsTheOldValues) {
  lib.LibraryFolder = scratch.folder() + "gone/";
  Options o = Unusual();
  EXPECT_FALSE(lib.SaveOptions(o));
  EXPECT_FALSE(lib.SaveDefaults(DefaultsDialogDefaults()));
  EXPECT_EQ(lib.options, Options{});
  EXPECT_EQ(lib.defaults, Defaults{});
  EXPECT_EQ(host.MessageIds(),
            (std::vector<int>{res::kCannotWriteBecause, res::kCannotWriteBecause}));
  EXPECT_EQ(host.messages[0].text, "Unable to write file " + scratch.folder() +
                                       "gone/OPTIONS.DAT: No such file or directory");
}

// Hand-edited or damaged values: each is named with its range, and the built-in value is used.
TEST_F(LibraryFiles, OutOfRangeValuesAreReportedAndReplacedByTheBuiltInOnes) {
  Options o;
  o.firstInstrument = 5000;
  o.lastInstrument = 6000;
  o.midiFileType = "Type 7";
  o.interpretLyrics = 2;
  WriteFile(File("OPTIONS.DAT"), EncodeOptions(o));
  Defaults d;
  d.transposition = 1000;
  d.tempo = 2147483647;
  d.tieHorizontalWidth = std::numeric_limits<float>::quiet_NaN();
  WriteFile(File("DEFAULTS.DAT"), EncodeDefaults(d));
  ASSERT_TRUE(lib.LoadOptions());
  ASSERT_TRUE(lib.LoadDefaults());
  EXPECT_EQ(lib.options, Options{});
  EXPECT_EQ(lib.defaults, Defaults{});
  const std::string options = scratch.folder() + "OPTIONS.DAT: ";
  const std::string defaults = scratch.folder() + "DEFAULTS.DAT: ";
  std::vector<std::string> texts;
  for (const auto& m : host.messages) texts.push_back(m.text);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       options + "firstInstrument is 5000, outside 1 to 350; 1 is used instead",
                       options + "lastInstrument is 6000, outside 1 to 350; 1 is used instead",
                       options + "midiFileType is \"Type 7\", outside \"Type 0\" or \"Type 1\"; "
                                 "\"Type 1\" is used instead",
                       options + "interpretLyrics is 2, outside 0 to 1; 0 is used instead",
                       defaults + "transposition is 1000, outside -48 to 48; 0 is used instead",
                       defaults + "tempo is 2147483647, outside 0 to 500; 120 is used instead",
                       defaults + "tieHorizontalWidth is nan, outside 0 to 6; 0.1 is used instead",
                   }));
}

TEST_F(LibraryFiles, ReloadStopsAtTheFirstFailureAndSetsTheStartingTempo) {
  Defaults d;
  d.tempo = 96;
  WriteFile(File("OPTIONS.DAT"), kBuiltInOptions);
  WriteFile(File("DEFAULTS.DAT"), EncodeDefaults(d));
  EXPECT_FALSE(lib.ReloadLibrary());
  EXPECT_EQ(host.MessageIds(), std::vector<int>{res::kCannotRead});
  EXPECT_EQ(lib.startingTempo, 120);

  WriteFile(File("TEMPLATE.DAT"), Concat({Hex("36010000 06"), Bytes("[None]")}));
  EXPECT_TRUE(lib.ReloadLibrary());
  EXPECT_EQ(lib.startingTempo, 96);

  // A missing OPTIONS.DAT stops before DEFAULTS.DAT is read.
  std::filesystem::remove(File("OPTIONS.DAT"));
  d.tempo = 60;
  WriteFile(File("DEFAULTS.DAT"), EncodeDefaults(d));
  host.messages.clear();
  EXPECT_FALSE(lib.ReloadLibrary());
  EXPECT_EQ(host.MessageIds(), std::vector<int>{res::kCannotRead});
  EXPECT_EQ(lib.defaults.tempo, 96);
}

TEST(Settings, FieldsByName) {
  Options o;
  EXPECT_TRUE(SetField(o, "midiFileType", "Type 0"));
  EXPECT_TRUE(SetField(o, "lastInstrument", "12"));
  EXPECT_FALSE(SetField(o, "lastInstrument", "12x"));
  EXPECT_FALSE(SetField(o, "lastInstrument", ""));
  EXPECT_FALSE(SetField(o, "version", "300"));
  EXPECT_FALSE(SetField(o, "nonsense", "1"));
  EXPECT_EQ(o.midiFileType, "Type 0");
  EXPECT_EQ(o.lastInstrument, 12);
  Defaults d;
  EXPECT_TRUE(SetField(d, "tieHorizontalWidth", "2.5"));
  EXPECT_TRUE(SetField(d, "lyricsVerticalPosition", "-7"));
  EXPECT_EQ(d.tieHorizontalWidth, 2.5f);
  EXPECT_EQ(d.lyricsVerticalPosition, -7);
  EXPECT_EQ(OptionsFieldNames().size(), 25u);
  EXPECT_EQ(DefaultsFieldNames().size(), 11u);
}

// A dialog's boxes: shown as text, taken back with the refusal OK shows (the dialog tests cover
// each text); a refused text changes nothing.
TEST(Settings, FieldsAsDialogBoxText) {
  Defaults d;
  EXPECT_EQ(FieldText(d, "tieHorizontalWidth"), "0.1");
  EXPECT_EQ(FieldText(d, "lyricsVerticalPosition"), "-5");
  EXPECT_EQ(TakeFieldText(d, "tieHorizontalWidth", "6.5"), "Enter a number between 0 and 6.");
  EXPECT_EQ(TakeFieldText(d, "transposition", "1.5"), "Enter an integer.");
  EXPECT_EQ(TakeFieldText(d, "version", "300"), "");
  EXPECT_EQ(d, Defaults{});
  EXPECT_FALSE(TakeFieldText(d, "transposition", " -12 "));
  EXPECT_EQ(d.transposition, -12);
  Options o;
  EXPECT_EQ(TakeFieldText(o, "midiFileType", "Type 100"), "Enter no more than 7 characters.");
  EXPECT_FALSE(TakeFieldText(o, "midiFileType", "Type 0"));
  EXPECT_EQ(o.midiFileType, "Type 0");
}

// The document's save: a changed "Interpret multiple systems" asks the question again, even after
// "Don't show this window again".
TEST(Settings, SavingChangedMultipleSystemsAsksAgain) {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  CVellumixDoc doc(host);
  ASSERT_TRUE(InstallFactoryLibrary(scratch.folder(), host).ok);
  ASSERT_TRUE(doc.Create(scratch.folder(), false));
  std::string page;  // eight staves, barlines spanning four: two systems
  for (int s = 1; s <= 8; ++s) {
    page += "8 " + std::to_string(s) + " 0 0 0 0 0 0 " + std::to_string((s - 1) % 4 + 1) + "\n1 " +
            std::to_string(s) + " 10 1\n";
  }
  page += "18 1 2 0 4 4\n18 5 2 0 4 4\n14 1 0.0004 4\n14 1 50 4\n14 5 0.0004 4\n14 5 50 4\n";
  std::string error;
  auto bytes = test::BuildScoreFile(page, &error);
  ASSERT_TRUE(bytes) << error;
  ASSERT_TRUE(files::WriteAtomic(scratch.folder() + "PAGE.MUS", *bytes));
  host.multipleSystemsAnswers.push_back({true, true});
  ReadSummary summary;
  ASSERT_EQ(ReadScores(doc, {scratch.folder() + "PAGE.MUS 1"}, summary), RunResult::kDone);
  ASSERT_EQ(doc.systems.AskAgain(), 0);

  ASSERT_TRUE(doc.library.LoadOptions());  // as the Options command does
  Options values = doc.library.options;
  values.autoPlayback = 1;
  ASSERT_TRUE(doc.SaveOptions(values));
  EXPECT_EQ(doc.systems.AskAgain(), 0);
  values.interpretMultipleSystems = 1 - values.interpretMultipleSystems;
  values.lastInstrument = 0;
  EXPECT_FALSE(doc.SaveOptions(values, &error));
  EXPECT_EQ(error, "Enter an integer between 1 and 350.");
  EXPECT_EQ(doc.systems.AskAgain(), 0);
  values.lastInstrument = 1;
  ASSERT_TRUE(doc.SaveOptions(values));
  EXPECT_EQ(doc.systems.AskAgain(), 1);
  EXPECT_EQ(doc.library.options, values);
}

}  // namespace
}  // namespace vellumix
