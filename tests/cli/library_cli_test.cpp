#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/files.h"
#include "run_program.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

TEST(LibraryCli, InitInstallsOnceAndShowPrintsTheLabels) {
  test::TempFolder data;
  const std::string dir = data.path().string();
  auto first = test::RunCli({"--data-dir", dir, "library", "init"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(fs::file_size(data.path() / "OPTIONS.DAT"), 107u);
  EXPECT_EQ(fs::file_size(data.path() / "DEFAULTS.DAT"), 48u);
  EXPECT_NE(first.out.find("OPTIONS.DAT"), std::string::npos);

  std::map<std::string, std::pair<std::string, fs::file_time_type>> before;
  for (const auto& e : fs::directory_iterator(data.path()))
    before[e.path().filename()] = {test::ReadText(e.path()), e.last_write_time()};
  auto second = test::RunCli({"--data-dir", dir, "library", "init"});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_NE(second.out.find("nothing was written"), std::string::npos);
  std::size_t count = 0;
  for (const auto& e : fs::directory_iterator(data.path())) {
    ++count;
    auto it = before.find(e.path().filename());
    ASSERT_NE(it, before.end()) << e.path();
    EXPECT_EQ(it->second.first, test::ReadText(e.path())) << e.path();
    EXPECT_EQ(it->second.second, e.last_write_time()) << e.path();
  }
  EXPECT_EQ(count, before.size());

  auto show = test::RunCli({"--data-dir", dir, "library", "show"});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_NE(show.out.find("  Transcribe all instruments: on\n"), std::string::npos);
  EXPECT_NE(show.out.find("  Midi file type: Type 1\n"), std::string::npos);
  EXPECT_NE(show.out.find("  Default dynamic: 80 units\n"), std::string::npos);
  EXPECT_NE(show.out.find("  Tie horizontal search width: 0.1 Score units\n"), std::string::npos);
  EXPECT_EQ(show.err, "");
}

TEST(LibraryCli, PathChoosesAndCreatesTheSubFolder) {
  test::TempFolder data;
  const std::string dir = data.path().string();
  auto start = test::RunCli({"--data-dir", dir, "library", "path"});
  ASSERT_EQ(start.status, 0) << start.err;
  EXPECT_EQ(start.out, dir + "/\n");

  auto chosen = test::RunCli({"--data-dir", dir, "library", "path", "piano.lib"});
  ASSERT_EQ(chosen.status, 0) << chosen.err;
  EXPECT_EQ(chosen.out, dir + "/PIANO/\n");
  EXPECT_TRUE(fs::is_directory(data.path() / "PIANO"));
  // prefs.dat: version 310, then the relative folder as a short string.
  EXPECT_EQ(test::ReadText(data.path() / "prefs.dat"), std::string("\x36\x01\0\0\x06PIANO/", 11));
  // The new library has what a run needs.
  EXPECT_EQ(fs::file_size(data.path() / "PIANO" / "OPTIONS.DAT"), 107u);
  EXPECT_EQ(test::RunCli({"--data-dir", dir, "library", "path"}).out, dir + "/PIANO/\n");

  auto back = test::RunCli({"--data-dir", dir, "library", "path", ""});
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(back.out, dir + "/\n");
  EXPECT_EQ(test::ReadText(data.path() / "prefs.dat"), std::string("\x36\x01\0\0\x00", 5));

  auto refused = test::RunCli({"--data-dir", dir, "library", "path", "../escape"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Error creating directory."), std::string::npos);
  EXPECT_FALSE(fs::exists(data.path().parent_path() / "ESCAPE"));
}

TEST(LibraryCli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(test::RunCli({}).status, 2);
  EXPECT_EQ(test::RunCli({"frobnicate"}).status, 2);
  EXPECT_EQ(test::RunCli({"dump"}).status, 2);
  EXPECT_EQ(test::RunCli({"--help"}).status, 0);
  // Empty paths and groups of no file are refused before anything runs.
  const std::vector<std::vector<std::string>> refused = {{"transcribe", "", "-o", "x.mid"},
                                                         {"transcribe", "a.mus", "-o", ""},
                                                         {"transcribe", "a.mus:0", "-o", "x.mid"},
                                                         {"read-scores", "--list", ""},
                                                         {"dump", ""},
                                                         {"read-old-data", "-o", ""},
                                                         {"render", "", "-o", "x.wav"}};
  for (const auto& args : refused) {
    const auto r = test::RunCli(args);
    EXPECT_EQ(r.status, 2) << args[0] << " " << args[1];
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace vellumix
