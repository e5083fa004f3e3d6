#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sstream>

#include "cli/terminal_host.h"
#include "corpus.h"
#include "platform/files.h"
#include "run_program.h"
#include "score_builder.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

void Build(const fs::path& path, const std::string& text) {
  std::string error;
  auto bytes = test::BuildScoreFile(text, &error);
  ASSERT_TRUE(bytes) << error;
  ASSERT_TRUE(files::WriteAtomic(path, *bytes));
}

// Every bar line: six numbers, the last the system flag.
void ExpectBarFileWellFormed(const fs::path& barFile) {
  for (const auto& line : files::SplitLines(test::ReadText(barFile))) {
    std::istringstream in(line);
    std::string word;
    int count = 0;
    while (in >> word) ++count;
    EXPECT_EQ(count, 6) << barFile << ": " << line;
  }
}

TEST(ReadScoresCli, ExampleWritesTheIntermediateFiles) {
  test::TempFolder data;
  const std::string example = std::string(VELLUMIX_SOURCE_DIR) + "/examples/minuet.mus";
  auto r = test::RunCli({"--data-dir", data.path().string(), "read-scores", example});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "file groups: 1\nsystems: 1\nbars: 4\ninstrument files: 1 2\ntempo file: yes\n"
            "intermediate files in: " +
                data.slashed() + "\n");
  EXPECT_EQ(test::ReadText(data.path() / "NAMELIST.TMP"), example + " 1\r\n");
  EXPECT_EQ(test::ReadText(data.path() / "VLMIX0.TMP"),
            "62.0000 0.0000 3.0000 3.0000 2.0000 1.0000\r\n"
            "106.0000 0.0000 3.0000 3.0000 2.0000 0.0000\r\n"
            "150.0000 0.0000 3.0000 3.0000 2.0000 0.0000\r\n"
            "195.0000 2.0000 3.0000 3.0000 2.0000 0.0000\r\n");

  // A second run starts afresh: the files of the first are deleted, not appended to.
  auto again = test::RunCli({"--data-dir", data.path().string(), "read-scores", example});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(files::SplitLines(test::ReadText(data.path() / "VLMIX0.TMP")).size(), 4u);
}

TEST(ReadScoresCli, GroupsListsAndCounts) {
  test::TempFolder data, music;
  // One page split over two files: the bass staff in piece1, the treble staff in piece2.
  Build(music.path() / "piece1.mus",
        "8 1 0 0 0 0 0 0 1\n3 1 1.5 0 1\n18 1 14 0 4 4\n1 1 20 10 20 0 4\n14 1 60 1 0\n");
  Build(music.path() / "piece2.mus",
        "8 1 0 0 0 0 0 0 2\n3 1 1.5 0 0\n18 1 14 0 4 4\n1 1 20 5 10 0 4\n14 1 60 1 0\n");
  const std::string dir = data.path().string();
  const std::string p1 = (music.path() / "piece1.mus").string();
  const std::string p2 = (music.path() / "piece2.mus").string();

  auto grouped = test::RunCli({"--data-dir", dir, "read-scores", "--group", p2, p1});
  ASSERT_EQ(grouped.status, 0) << grouped.err;
  EXPECT_EQ(test::ReadText(data.path() / "NAMELIST.TMP"), p1 + " 2\r\n");
  EXPECT_NE(grouped.out.find("instrument files: 1 2\n"), std::string::npos);

  auto counted = test::RunCli({"--data-dir", dir, "read-scores", p1 + ":2"});
  ASSERT_EQ(counted.status, 0) << counted.err;
  EXPECT_EQ(test::ReadText(data.path() / "NAMELIST.TMP"), p1 + " 2\r\n");

  // A list file names groups with spaces in their paths; LF line ends are read as well.
  const fs::path spaced = music.path() / "my score1.mus";
  fs::copy_file(music.path() / "piece1.mus", spaced);
  const fs::path list = music.path() / "list.tmp";
  ASSERT_TRUE(files::WriteAtomic(list, spaced.string() + " 1\n" + p1 + " 2\n"));
  auto listed = test::RunCli({"--data-dir", dir, "read-scores", "--list", list.string()});
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.out.find("file groups: 2\n"), std::string::npos);
  ExpectBarFileWellFormed(data.path() / "VLMIX0.TMP");

  auto missing = test::RunCli({"--data-dir", dir, "read-scores", p1 + ":3"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Unable to open file " + (music.path() / "piece3.mus").string() +
                             " for reading"),
            std::string::npos);

  EXPECT_EQ(test::RunCli({"--data-dir", dir, "read-scores"}).status, 2);
  EXPECT_EQ(test::RunCli({"--data-dir", dir, "read-scores", p1, "--time-signature", "5/12"}).status,
            2);
}

TEST(ReadScoresCli, QuestionsWithoutATerminalTakeTheStartingValues) {
  test::TempFolder data, music;
  // No time signature at all: the question is answered 4/4 and stderr says so.
  Build(music.path() / "a.mus", "8 1 0 0 0 0 0 0 1\n3 1 1.5 0 0\n1 1 20 5 10 0 3\n14 1 60 1 0\n");
  const std::string file = (music.path() / "a.mus").string();
  auto r = test::RunCli({"--data-dir", data.path().string(), "read-scores", file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("No time signature was found in bar 1."), std::string::npos);
  EXPECT_NE(r.err.find("4/4 taken"), std::string::npos);
  EXPECT_NE(test::ReadText(data.path() / "VLMIX0.TMP").find("4.0000 4.0000 2.0000"),
            std::string::npos);

  auto answered = test::RunCli(
      {"--data-dir", data.path().string(), "read-scores", file, "--time-signature", "3/4"});
  ASSERT_EQ(answered.status, 0) << answered.err;
  EXPECT_EQ(test::ReadText(data.path() / "VLMIX0.TMP"),
            "60.0000 0.0000 3.0000 3.0000 2.0000 1.0000\r\n");

  // A page of two one-staff systems: its barlines say so, and a batch run reads both.
  Build(music.path() / "page.mus",
        "8 1 0 0 0 0 0 0 1\n8 2 0 0 0 0 0 0 1\n3 1 1.5 0 0\n3 2 1.5 0 0\n18 1 10 0 4 4\n"
        "18 2 10 0 4 4\n1 1 20 5 10 0 4\n1 2 20 3 10 0 4\n14 1 60 1 0\n14 2 60 1 0\n");
  const std::string page = (music.path() / "page.mus").string();
  auto systems = test::RunCli({"--data-dir", data.path().string(), "read-scores", page});
  ASSERT_EQ(systems.status, 0) << systems.err;
  EXPECT_NE(systems.err.find("more than one system"), std::string::npos) << systems.err;
  EXPECT_NE(systems.err.find(" Yes (no terminal to ask"), std::string::npos) << systems.err;
  EXPECT_EQ(files::SplitLines(test::ReadText(data.path() / "VLMIX0.TMP")).size(), 2u);
  // Answered ahead, the answer holds.
  systems = test::RunCli(
      {"--data-dir", data.path().string(), "read-scores", page, "--multiple-systems", "no"});
  ASSERT_EQ(systems.status, 0) << systems.err;
  EXPECT_EQ(files::SplitLines(test::ReadText(data.path() / "VLMIX0.TMP")).size(), 1u);
}

TEST(ReadScoresCli, EveryCorpusFileGoesThrough) {
  const auto corpus = test::CorpusScoreFiles();
  if (corpus.empty()) GTEST_SKIP() << "no corpus at " << VELLUMIX_CORPUS_DIR;
  for (const auto& file : corpus) {
    test::TempFolder data;
    auto r = test::RunCli({"--data-dir", data.path().string(), "read-scores", file.string()});
    EXPECT_TRUE(r.status == 0 || r.status == 1) << file << " status " << r.status << r.err;
    if (r.status == 0) {
      ExpectBarFileWellFormed(data.path() / "VLMIX0.TMP");
    } else {
      EXPECT_FALSE(r.err.empty()) << file;
    }
  }
}

TEST(TerminalHost, CtrlCIsTheCancelRequest) {
  cli::TerminalHost host;
  EXPECT_TRUE(host.ReportStatus("Reading file x", 0, false));
  std::raise(SIGINT);
  EXPECT_FALSE(host.ReportStatus("Reading file x", 0, false));
  EXPECT_TRUE(host.Cancelled());
  // The request is taken once; the run's own closing reports go on.
  EXPECT_TRUE(host.ReportStatus("Transcribe cancelled", 0, true));
  // An item's report, whose text waits for the next redraw, is a cancel point as well.
  EXPECT_TRUE(host.ReportStatusNumber(res::kReadingItem, 7, 1, false));
  std::raise(SIGINT);
  EXPECT_FALSE(host.ReportStatusNumber(res::kReadingItem, 8, 1, false));
  EXPECT_EQ(host.CancelExitStatus(), 130);
  // SIGTERM and SIGHUP cancel the same way, and say so in the exit status.
  for (int signal : {SIGTERM, SIGHUP}) {
    std::raise(signal);
    EXPECT_FALSE(host.ReportStatus("Reading file x", 0, false));
    EXPECT_EQ(host.CancelExitStatus(), 128 + signal);
  }
}

}  // namespace
}  // namespace vellumix
