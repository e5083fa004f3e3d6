#include <gtest/gtest.h>

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

const char* kPage =
    "8 1 0 0 0 0 0 0 1\n3 1 1.5 0 0\n18 1 14 0 4 4\n1 1 20 5 10 0 4\n14 1 60 1 0\n";

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

TEST(ReadScores, DeletesOnlyWhatTheRunWroteOnceItHasWritten) {
  Fixture f;
  // Files of an earlier run, and an unrelated file a user keeps in the library.
  for (const char* name : {"VLMIX0.TMP", "VLMIX7.TMP", "TEMPO.TMP", "VLMIXMID.TMP", "VLMIX.TXT"})
    ASSERT_TRUE(files::WriteAtomic(f.data.slashed() + name, "old"));
  ReadSummary summary;
  ASSERT_EQ(ReadScores(f.doc, {f.page + " 1"}, summary), RunResult::kDone);
  EXPECT_FALSE(fs::exists(f.data.path() / "VLMIX7.TMP"));
  EXPECT_FALSE(fs::exists(f.data.path() / "VLMIXMID.TMP"));
  EXPECT_TRUE(fs::exists(f.data.path() / "VLMIX.TXT"));
  EXPECT_EQ(summary.groups, 1);
  EXPECT_EQ(summary.systems, 1);
  EXPECT_EQ(summary.bars, 1);
  EXPECT_EQ(summary.instruments, std::vector<int>{1});
  EXPECT_EQ(f.host.statuses.back().text, "Done");
  EXPECT_TRUE(f.host.statuses.back().clearSecondPane);

  // Now that this run marked what it wrote, only those files go.
  ASSERT_TRUE(files::WriteAtomic(f.data.slashed() + "VLMIX7.TMP", "mine"));
  ASSERT_TRUE(f.doc.DeleteTemporaryFiles());
  EXPECT_FALSE(fs::exists(f.data.path() / "VLMIX0.TMP"));
  EXPECT_FALSE(fs::exists(f.data.path() / "VLMIX1.TMP"));
  EXPECT_TRUE(fs::exists(f.data.path() / "VLMIX7.TMP"));
  EXPECT_EQ(f.host.statuses.back().text, "Deleting file " + f.data.slashed() + "TEMPO.TMP");
}

TEST(ReadScores, AStoppedGroupEndsTheRunWithNothingLeftInTheLists) {
  Fixture f;
  ReadSummary summary;
  // The second entry names a missing file: message 9, "Transcribe cancelled", lists emptied.
  EXPECT_EQ(ReadScores(f.doc, {f.page + " 1", f.data.slashed() + "none1.mus 1"}, summary),
            RunResult::kStopped);
  EXPECT_EQ(f.host.MessageIds(), std::vector<int>{9});
  EXPECT_EQ(f.host.statuses.back().text, "Transcribe cancelled");
  for (int s = 1; s <= kMaxGlobalStaff; ++s) EXPECT_TRUE(f.doc.score.StaffList(s).empty());

  // A cancel while reading stops the same way, without a message.
  test::ScriptedHost host;
  CVellumixDoc doc(host);
  ASSERT_TRUE(doc.Create(f.data.slashed(), false));
  host.cancelAtReport = 2;  // "Deleting file" of VLMIX0.TMP is the first report
  EXPECT_NE(ReadScores(doc, {f.page + " 1"}, summary), RunResult::kDone);
  EXPECT_TRUE(host.messages.empty());
}

TEST(ReadScores, MissingLibraryFileStopsBeforeAnyReading) {
  Fixture f;
  fs::remove(f.data.path() / "DEFAULTS.DAT");
  ReadSummary summary;
  EXPECT_EQ(ReadScores(f.doc, {f.page + " 1"}, summary), RunResult::kStopped);
  EXPECT_EQ(f.host.MessageIds(), std::vector<int>{9});
  EXPECT_FALSE(fs::exists(f.data.path() / "VLMIX1.TMP"));
  // NAMELIST.TMP is written first, as the record of what was asked for.
  EXPECT_TRUE(fs::exists(f.data.path() / "NAMELIST.TMP"));
}

}  // namespace
}  // namespace vellumix
