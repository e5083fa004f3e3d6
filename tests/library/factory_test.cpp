#include "library/factory.h"

#include <gtest/gtest.h>

#include <map>

#include "library/library.h"
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

std::map<std::string, ByteVector> ByName(const std::vector<FactoryFile>& files) {
  std::map<std::string, ByteVector> out;
  for (const auto& f : files) out[f.name] = f.bytes;
  return out;
}

// Symbol, special, template and map files have tests of their own; these look at the rest.
bool IsSymbolFile(const std::string& name) {
  for (const char* ext : {".SBL", ".TBL", ".SSL", ".TPL", ".INS", ".MAP"})
    if (name.ends_with(ext)) return true;
  return false;
}
std::vector<std::string> WithoutSymbols(std::vector<std::string> names) {
  std::erase_if(names, IsSymbolFile);
  return names;
}

std::string Text(const ByteVector& b) {
  return std::string(b.begin(), b.end());
}

TEST(Factory, FilesAreBuiltFromTheEmbeddedSources) {
  std::string error;
  auto files = ByName(FactoryFiles(&error));
  ASSERT_EQ(error, "");
  std::erase_if(files, [](const auto& f) { return IsSymbolFile(f.first); });
  ASSERT_EQ(files.size(), 6u);
  EXPECT_EQ(files["OPTIONS.DAT"], EncodeOptions(Options{}));
  EXPECT_EQ(files["DEFAULTS.DAT"], EncodeDefaults(Defaults{}));
  EXPECT_EQ(files["TEMPLATE.DAT"], Concat({Hex("36010000 06"), Bytes("[None]")}));
  EXPECT_EQ(Text(files["INSTRUMENTS.DAT"]), "General\r\n");
  EXPECT_EQ(Text(files["SCOREPATH.DAT"]), "wscore.exe\r\n");

  std::string pch = Text(files["General.PCH"]);
  auto lines = files::SplitLines(pch);
  ASSERT_EQ(lines.size(), 128u);
  EXPECT_EQ(lines[0], "0=Acoustic Grand Piano");
  EXPECT_EQ(lines[25], "25=Acoustic Guitar (steel)");
  EXPECT_EQ(lines[127], "127=Gunshot");
  for (std::size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(lines[i].rfind(std::to_string(i) + "=", 0), 0u) << lines[i];
  // Text files end every line in CR LF.
  for (const auto* name : {"General.PCH", "INSTRUMENTS.DAT", "SCOREPATH.DAT"}) {
    std::string t = Text(files[name]);
    for (std::size_t i = 0; i < t.size(); ++i)
      if (t[i] == '\n') {
        EXPECT_TRUE(i > 0 && t[i - 1] == '\r') << name << " at " << i;
      }
    EXPECT_EQ(t.substr(t.size() - 2), "\r\n");
  }
}

TEST(Factory, InstallIsIdempotentAndNeverReplacesAFile) {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  const std::string folder = scratch.folder() + "data/vellumix3/";

  FactoryInstall first = InstallFactoryLibrary(folder, host);
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(
      WithoutSymbols(first.written),
      (std::vector<std::string>{"General.PCH", "DEFAULTS.DAT", "INSTRUMENTS.DAT", "OPTIONS.DAT",
                                "SCOREPATH.DAT", "TEMPLATE.DAT", "prefs.dat"}));
  EXPECT_EQ(ReadFile(fs::path(folder) / "prefs.dat"), Hex("36010000 00"));
  EXPECT_EQ(ReadFile(fs::path(folder) / "OPTIONS.DAT").size(), 107u);

  std::map<std::string, std::pair<ByteVector, fs::file_time_type>> before;
  for (const auto& e : fs::directory_iterator(folder))
    before[e.path().filename().string()] = {ReadFile(e.path()), fs::last_write_time(e.path())};

  FactoryInstall second = InstallFactoryLibrary(folder, host);
  EXPECT_TRUE(second.ok);
  EXPECT_TRUE(second.written.empty());
  std::map<std::string, std::pair<ByteVector, fs::file_time_type>> after;
  for (const auto& e : fs::directory_iterator(folder))
    after[e.path().filename().string()] = {ReadFile(e.path()), fs::last_write_time(e.path())};
  EXPECT_EQ(before, after);
  EXPECT_TRUE(host.messages.empty());

  // The installed library is one a document can be created from.
  SettingsLibrary lib(host);
  EXPECT_TRUE(lib.Create(folder));
  EXPECT_EQ(lib.options, Options{});
  EXPECT_EQ(lib.defaults, Defaults{});
  EXPECT_EQ(lib.LibraryFolder, folder);
  // Creation can install it too, before prefs.dat is looked for.
  const std::string fresh = scratch.folder() + "fresh";
  EXPECT_TRUE(lib.Create(fresh, true));
  EXPECT_EQ(lib.LibraryFolder, fresh + "/");
  EXPECT_EQ(lib.bankProgramListFile, "GS.PRG");
  EXPECT_TRUE(host.messages.empty());
}

TEST(Factory, FilesOfAnyLetterCaseAreKept) {
  test::ScratchFolder scratch;
  test::ScriptedHost host;
  Options mine;
  mine.midiFileType = "Type 0";
  WriteFile(scratch.path() / "options.dat", EncodeOptions(mine));
  WriteFile(scratch.path() / "general.pch", Bytes("0=Mine\r\n"));
  WriteFile(scratch.path() / "PREFS.DAT", Concat({Hex("36010000 06"), Bytes("PIANO/")}));

  FactoryInstall r = InstallFactoryLibrary(scratch.folder(), host);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(WithoutSymbols(r.written), (std::vector<std::string>{"DEFAULTS.DAT", "INSTRUMENTS.DAT",
                                                                 "SCOREPATH.DAT", "TEMPLATE.DAT"}));
  EXPECT_EQ(ReadFile(scratch.path() / "options.dat"), EncodeOptions(mine));
  EXPECT_EQ(Text(ReadFile(scratch.path() / "general.pch")), "0=Mine\r\n");
  EXPECT_FALSE(fs::exists(scratch.path() / "OPTIONS.DAT"));
  EXPECT_FALSE(fs::exists(scratch.path() / "prefs.dat"));

  // A folder that can't be made is reported and nothing is written.
  WriteFile(scratch.path() / "plain", Bytes("x"));
  FactoryInstall bad = InstallFactoryLibrary(scratch.folder() + "plain/sub/", host);
  EXPECT_FALSE(bad.ok);
  EXPECT_TRUE(bad.written.empty());
  EXPECT_EQ(host.MessageIds(), std::vector<int>{res::kCannotCreateFolder});
}

}  // namespace
}  // namespace vellumix
