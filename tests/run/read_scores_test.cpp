#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "library/factory.h"
#include "platform/files.h"
#include "run/document.h"
#include "score_builder.h"
#include "scripted_host.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

const char* kPage = "8 1 0 0 0 0 0 0 1\n3 1 1.5 0 0\n18 1 14 0 4 4\n1 1 20 5 10 0 4\n14 1 60 1 0\n";

struct Fixture {
  test::TempFolder data;
  test::ScriptedHost host;
  CVellumixDoc doc{host};
  std::string page;

  Fixture() {
    InstallFactoryLibrary(data.slashed(), host);
    EXPECT_TRUE(doc.Create(data.slashed(), false));
    page = data.slashed() + "page1.mus";
    std::string error;
    auto bytes = test::BuildScoreFile(kPage, &error);
    EXPECT_TRUE(bytes && files::WriteAtomic(page, *bytes)) << error;
    host.messages.clear();
  }
};

// What the data folder holds of its runs: intermediate files, NAMELIST.TMP, and run folders.
std::vector<std::string> RunFiles(const test::TempFolder& data) {
  std::vector<std::string> found;
  const auto names = files::EntryNames(data.path());
  for (const std::string& name : names.value())
    if (TrackFileNumber(name) >= 0 || name == "NAMELIST.TMP" || name.starts_with(".vellumix-run."))
      found.push_back(name + "=" + test::ReadText(data.path() / name));
  std::sort(found.begin(), found.end());
  return found;
}

TEST(ReadScores, ItsFilesTakeThePlaceOfTheLastFinishedRunsOnlyWhenItFinishes) {
  Fixture f;
  // Files of an earlier run, and files a user keeps in the library.
  for (const char* name : {"VLMIX0.TMP", "VLMIX7.TMP", "TEMPO.TMP", "NAMELIST.TMP", "VLMIX.TXT"})
    ASSERT_TRUE(files::WriteAtomic(f.data.slashed() + name, "old"));
  const auto earlier = RunFiles(f.data);
  ReadSummary summary;

  // A group that stops the run, and a cancel: the earlier run's files stay as they were.
  EXPECT_EQ(ReadScores(f.doc, {f.page + " 1", f.data.slashed() + "none1.mus 1"}, summary),
            RunResult::kStopped);
  EXPECT_EQ(f.host.MessageIds(), std::vector<int>{9});
  EXPECT_EQ(f.host.statuses.back().text, "Transcribe cancelled");
  for (int s = 1; s <= kMaxGlobalStaff; ++s) EXPECT_TRUE(f.doc.score.StaffList(s).empty());
  EXPECT_EQ(RunFiles(f.data), earlier);
  f.host.messages.clear();
  f.host.cancelAtReport = 1;
  EXPECT_NE(ReadScores(f.doc, {f.page + " 1"}, summary), RunResult::kDone);
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_EQ(RunFiles(f.data), earlier);

  f.host.cancelAtReport = 0;
  ASSERT_EQ(ReadScores(f.doc, {f.page + " 1"}, summary), RunResult::kDone);
  EXPECT_EQ(test::ReadText(f.data.path() / "NAMELIST.TMP"), f.page + " 1\r\n");
  EXPECT_NE(test::ReadText(f.data.path() / "VLMIX0.TMP"), "old");
  EXPECT_FALSE(fs::exists(f.data.path() / "VLMIX7.TMP"));
  EXPECT_EQ(test::ReadText(f.data.path() / "VLMIX.TXT"), "old");
  for (const std::string& entry : RunFiles(f.data))
    EXPECT_FALSE(entry.starts_with(".vellumix-run"));
  EXPECT_EQ(summary.groups, 1);
  EXPECT_EQ(summary.systems, 1);
  EXPECT_EQ(summary.bars, 1);
  EXPECT_EQ(summary.instruments, std::vector<int>{1});
  EXPECT_EQ(f.host.statuses.back().text, "Done");
  EXPECT_TRUE(f.host.statuses.back().clearSecondPane);
}

TEST(ReadScores, MissingLibraryFileStopsBeforeAnyReading) {
  Fixture f;
  fs::remove(f.data.path() / "DEFAULTS.DAT");
  ReadSummary summary;
  EXPECT_EQ(ReadScores(f.doc, {f.page + " 1"}, summary), RunResult::kStopped);
  EXPECT_EQ(f.host.MessageIds(), std::vector<int>{9});
  EXPECT_FALSE(fs::exists(f.data.path() / "VLMIX1.TMP"));
  EXPECT_FALSE(fs::exists(f.data.path() / "NAMELIST.TMP"));
}

}  // namespace
}  // namespace vellumix
