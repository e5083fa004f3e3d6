#include <gtest/gtest.h>

#include <cstdlib>

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

ByteVector Prefs(std::string_view relative) {
  return Concat(
      {Hex("36010000"), ByteVector{static_cast<std::uint8_t>(relative.size())}, Bytes(relative)});
}

class Folders : public testing::Test {
 protected:
  Folders() : lib(host) {}
  // The user data folder as a command line would give it: without the final '/'.
  std::string CommandLine() const { return scratch.path().string(); }
  fs::path File(const std::string& name) const { return scratch.path() / name; }

  test::ScratchFolder scratch;
  test::ScriptedHost host;
  SettingsLibrary lib;
};

TEST(UserDataFolder, DefaultFollowsXdgDataHome) {
  const char* oldXdg = std::getenv("XDG_DATA_HOME");
  const char* oldHome = std::getenv("HOME");
  std::string savedXdg = oldXdg ? oldXdg : "", savedHome = oldHome ? oldHome : "";

  ::setenv("HOME", "/home/ann", 1);
  ::setenv("XDG_DATA_HOME", "/data/ann/", 1);
  EXPECT_EQ(SettingsLibrary::DefaultUserDataFolder(), "/data/ann/vellumix3/");
  ::setenv("XDG_DATA_HOME", "relative/data", 1);  // not absolute: ignored
  EXPECT_EQ(SettingsLibrary::DefaultUserDataFolder(), "/home/ann/.local/share/vellumix3/");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(SettingsLibrary::DefaultUserDataFolder(), "/home/ann/.local/share/vellumix3/");

  if (oldXdg) ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
  if (oldHome)
    ::setenv("HOME", savedHome.c_str(), 1);
  else
    ::unsetenv("HOME");
}

TEST_F(Folders, CreationFromAnEmptyFolderReportsEachMissingFile) {
  std::string cl = CommandLine() + "/new/data";  // created on demand
  lib.options.autoPlayback = 1;
  EXPECT_FALSE(lib.Create(cl));
  EXPECT_EQ(lib.UserDataFolder, cl + "/");
  EXPECT_TRUE(fs::is_directory(cl));
  EXPECT_EQ(lib.LibraryFolder, lib.UserDataFolder);
  EXPECT_EQ(lib.options, Options{});
  // prefs.dat and OPTIONS.DAT only: without options the rest is not loaded.
  ASSERT_EQ(host.MessageIds(), (std::vector<int>{res::kCannotRead, res::kCannotRead}));
  EXPECT_EQ(host.messages[0].text, "Unable to open file " + cl + "/prefs.dat for reading");
  EXPECT_EQ(host.messages[1].text, "Unable to open file " + cl + "/OPTIONS.DAT for reading");
  EXPECT_EQ(lib.bankProgramListFile, "");
  EXPECT_EQ(test::Entries(cl), std::vector<std::string>{});  // nothing written
}

TEST_F(Folders, CreationLoadsTheLibraryThatPrefsNames) {
  ASSERT_TRUE(InstallFactoryLibrary(scratch.folder() + "PIANO/", host, false).ok);
  Options o;
  o.midiFileType = "Type 0";
  WriteFile(File("PIANO/OPTIONS.DAT"), EncodeOptions(o));
  WriteFile(File("prefs.dat"), Prefs("PIANO/"));
  ASSERT_TRUE(lib.Create(CommandLine()));
  EXPECT_EQ(lib.LibraryFolder, scratch.folder() + "PIANO/");
  EXPECT_EQ(lib.options.midiFileType, "Type 0");
  EXPECT_EQ(lib.selectedTemplate, "[None]");
  EXPECT_EQ(lib.bankProgramListFile, "GS.PRG");
  EXPECT_TRUE(host.messages.empty());

  // Options load but defaults don't: built-in defaults, no template read, no list file.
  fs::remove(File("PIANO/DEFAULTS.DAT"));
  WriteFile(File("PIANO/TEMPLATE.DAT"), Concat({Hex("36010000 05"), Bytes("Brass")}));
  EXPECT_FALSE(lib.Create(CommandLine()));
  EXPECT_EQ(lib.defaults, Defaults{});
  EXPECT_EQ(lib.selectedTemplate, "[None]");
  EXPECT_EQ(lib.bankProgramListFile, "");
}

TEST_F(Folders, PrefsRoundTrip) {
  lib.FindUserDataFolder(CommandLine());
  lib.LibraryFolder = lib.UserDataFolder;
  ASSERT_TRUE(lib.WritePrefs());
  EXPECT_EQ(ReadFile(File("prefs.dat")), Hex("36010000 00"));
  lib.LibraryFolder = "x";
  ASSERT_TRUE(lib.ReadPrefs());
  EXPECT_EQ(lib.LibraryFolder, scratch.folder());

  fs::create_directory(File("PIANO"));
  lib.LibraryFolder = scratch.folder() + "PIANO/";
  ASSERT_TRUE(lib.WritePrefs());
  EXPECT_EQ(ReadFile(File("prefs.dat")), Hex("36010000 06 5049414E4F2F"));
  lib.LibraryFolder.clear();
  ASSERT_TRUE(lib.ReadPrefs());
  EXPECT_EQ(lib.LibraryFolder, scratch.folder() + "PIANO/");

  // Written on Windows: a final backslash, another letter case; a later version.
  WriteFile(File("prefs.dat"), Concat({Hex("40010000 06"), Bytes("piano\\")}));
  ASSERT_TRUE(lib.ReadPrefs());
  EXPECT_EQ(lib.LibraryFolder, scratch.folder() + "PIANO/");
  EXPECT_TRUE(host.messages.empty());

  // prefs.dat that can't be written: the fixed name and the reason.
  fs::remove(File("prefs.dat"));
  fs::create_directory(File("prefs.dat"));
  EXPECT_FALSE(lib.WritePrefs());
  ASSERT_EQ(host.MessageIds(), std::vector<int>{res::kCannotWriteBecause});
  EXPECT_EQ(host.messages[0].text, "Unable to write file PREFS.DAT: Is a directory");
}

TEST_F(Folders, PrefsNamingAFolderOutsideTheDataFolderIsRefused) {
  lib.FindUserDataFolder(CommandLine());
  fs::create_directory(File("PIANO"));
  for (std::string hostile :
       std::vector<std::string>{"../../etc/", "/etc/", "/", "..", "../", "./", "PIANO/SUB/",
                                "PIANO/../../", "..\\..\\", "C:\\x\\", std::string("A\0B/", 4)}) {
    SCOPED_TRACE(hostile);
    ByteVector prefs = Prefs(hostile);
    WriteFile(File("prefs.dat"), prefs);
    host.messages.clear();
    lib.LibraryFolder = scratch.folder() + "PIANO/";
    EXPECT_FALSE(lib.ReadPrefs());
    EXPECT_EQ(lib.LibraryFolder, scratch.folder());
    ASSERT_EQ(host.MessageIds(), std::vector<int>{res::kFolderOutsideDataFolder});
    EXPECT_EQ(host.messages[0].text,
              scratch.folder() +
                  "prefs.dat names a folder outside the user data folder; the user data folder "
                  "is used");
    EXPECT_EQ(ReadFile(File("prefs.dat")), prefs);
  }

  // Cut short anywhere: refused, library folder untouched.
  ByteVector whole = Prefs("PIANO/");
  for (std::size_t n = 0; n < whole.size(); ++n) {
    SCOPED_TRACE(n);
    ByteVector cut(whole.begin(), whole.begin() + n);
    WriteFile(File("prefs.dat"), cut);
    host.messages.clear();
    lib.LibraryFolder = "unchanged/";
    EXPECT_FALSE(lib.ReadPrefs());
    EXPECT_EQ(lib.LibraryFolder, "unchanged/");
    EXPECT_EQ(host.MessageIds(), std::vector<int>{res::kTruncatedLibraryFile});
    EXPECT_EQ(ReadFile(File("prefs.dat")), cut);
  }
}

TEST_F(Folders, ChoosingALibraryFolder) {
  lib.FindUserDataFolder(CommandLine());
  lib.LibraryFolder = lib.UserDataFolder;
  ASSERT_TRUE(InstallFactoryLibrary(lib.UserDataFolder, host).ok);

  // A new path: cut before the first ".", upper case, created, remembered, loaded (and empty).
  EXPECT_FALSE(lib.ChooseLibraryFolder("piano.lib"));
  EXPECT_TRUE(fs::is_directory(File("PIANO")));
  EXPECT_EQ(lib.LibraryFolder, scratch.folder() + "PIANO/");
  EXPECT_EQ(ReadFile(File("prefs.dat")), Prefs("PIANO/"));
  ASSERT_EQ(host.MessageIds(), std::vector<int>{res::kCannotRead});
  EXPECT_EQ(host.messages[0].text,
            "Unable to open file " + scratch.folder() + "PIANO/OPTIONS.DAT for reading");

  // An existing folder is taken as it is, in any letter case.
  ASSERT_TRUE(InstallFactoryLibrary(scratch.folder() + "PIANO/", host, false).ok);
  Defaults d;
  d.tempo = 72;
  WriteFile(File("PIANO/DEFAULTS.DAT"), EncodeDefaults(d));
  host.messages.clear();
  EXPECT_TRUE(lib.ChooseLibraryFolder("Piano"));
  EXPECT_EQ(lib.LibraryFolder, scratch.folder() + "PIANO/");
  EXPECT_EQ(lib.startingTempo, 72);

  // Names that can't be one sub-folder change nothing.
  fs::create_directory(File("Strings.v2"));
  WriteFile(File("FLUTE"), Bytes("a file"));
  for (std::string bad : {"a/b", "..", ".", ".lib", "x\\y", "flute"}) {
    SCOPED_TRACE(bad);
    host.messages.clear();
    EXPECT_FALSE(lib.ChooseLibraryFolder(bad));
    EXPECT_EQ(lib.LibraryFolder, scratch.folder() + "PIANO/");
    EXPECT_EQ(ReadFile(File("prefs.dat")), Prefs("PIANO/"));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Error creating directory.");
  }
  EXPECT_FALSE(fs::exists(File("A")));

  EXPECT_EQ(lib.LibraryFolderChoices(), (std::vector<std::string>{"PIANO", "Strings.v2"}));
  EXPECT_FALSE(lib.ChooseLibraryFolder("Strings.v2"));  // listed, so taken as it stands
  EXPECT_EQ(lib.LibraryFolder, scratch.folder() + "Strings.v2/");

  // Back to the user data folder itself.
  host.messages.clear();
  EXPECT_TRUE(lib.ChooseLibraryFolder(""));
  EXPECT_EQ(lib.LibraryFolder, scratch.folder());
  EXPECT_EQ(ReadFile(File("prefs.dat")), Prefs(""));
  EXPECT_EQ(lib.startingTempo, 120);
  EXPECT_TRUE(host.messages.empty());

  // prefs.dat not writable: reported, but the folder changes and the library loads.
  fs::remove(File("prefs.dat"));
  fs::create_directory(File("prefs.dat"));
  EXPECT_TRUE(lib.ChooseLibraryFolder("PIANO"));
  EXPECT_EQ(lib.LibraryFolder, scratch.folder() + "PIANO/");
  EXPECT_EQ(host.MessageIds(), std::vector<int>{res::kCannotWriteBecause});
}

TEST_F(Folders, NewPathCreatesTheFolderWithoutChoosingIt) {
  lib.FindUserDataFolder(CommandLine());
  lib.LibraryFolder = lib.UserDataFolder;
  WriteFile(File("prefs.dat"), Prefs(""));
  std::string created;
  ASSERT_TRUE(lib.CreateLibraryFolder("piano.lib", &created));
  EXPECT_EQ(created, "PIANO");
  EXPECT_TRUE(fs::is_directory(File("PIANO")));
  EXPECT_EQ(lib.LibraryFolder, scratch.folder());
  EXPECT_EQ(ReadFile(File("prefs.dat")), Prefs(""));
  EXPECT_TRUE(host.messages.empty());

  // What exists already in any letter case, and names that can't be one sub-folder, are refused.
  WriteFile(File("FLUTE"), Bytes("a file"));
  for (std::string bad : {"Piano", "piano.v2", "flute", "", ".lib", "a/b", "x\\y"}) {
    SCOPED_TRACE(bad);
    host.messages.clear();
    EXPECT_FALSE(lib.CreateLibraryFolder(bad));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Error creating directory.");
  }
  EXPECT_EQ(test::Entries(scratch.path()),
            (std::vector<std::string>{"FLUTE", "PIANO", "prefs.dat"}));
  EXPECT_EQ(lib.LibraryFolderChoices(), std::vector<std::string>{"PIANO"});
}

}  // namespace
}  // namespace vellumix
