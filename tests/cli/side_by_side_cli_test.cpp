#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "platform/files.h"
#include "run_program.h"
#include "score_builder.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

// `copies` pages of one example, each a file of its own, so that a run lasts long enough for
// another to start meanwhile.
std::vector<std::string> Pages(const test::TempFolder& folder, const std::string& example,
                               int copies) {
  const std::string source =
      test::ReadText(std::string(VELLUMIX_SOURCE_DIR) + "/examples/" + example);
  std::string error;
  const auto bytes = test::BuildScoreFile(source, &error);
  EXPECT_TRUE(bytes) << error;
  std::vector<std::string> pages;
  for (int i = 0; i < copies && bytes; ++i) {
    pages.push_back(folder.slashed() + example + std::to_string(i) + ".mus");
    EXPECT_TRUE(files::WriteAtomic(pages.back(), *bytes));
  }
  return pages;
}

// Runs on one data folder at once give what each gives alone, and Read Old Data afterwards reads
// the whole files of one of them.
TEST(SideBySideCli, RunsAtOnceOnOneDataFolderGiveTheirSerialBytes) {
  test::TempFolder data, inputs;
  const std::string dir = data.path().string();
  const std::vector<std::vector<std::string>> pages = {Pages(inputs, "minuet.pmx", 30),
                                                       Pages(inputs, "sonatina.items", 30)};
  const auto args = [&](const std::string& command, int piece, const std::string& out) {
    std::vector<std::string> a = {"--data-dir", dir, command, "--yes"};
    a.insert(a.end(), pages[piece].begin(), pages[piece].end());
    if (!out.empty()) a.insert(a.end(), {"-o", out});
    return a;
  };
  const auto run = [](const std::vector<std::string>& a) { return test::RunCli(a); };

  // Alone: each piece's MIDI file, and what Read Old Data makes of its intermediate files.
  std::string alone[2], oldData[2];
  for (int piece : {0, 1}) {
    const std::string out = inputs.slashed() + "alone" + std::to_string(piece) + ".mid";
    ASSERT_EQ(run(args("transcribe", piece, out)).status, 0);
    alone[piece] = test::ReadText(out);
    ASSERT_EQ(run(args("read-scores", piece, "")).status, 0);
    const std::string old = inputs.slashed() + "old" + std::to_string(piece) + ".mid";
    ASSERT_EQ(run({"--data-dir", dir, "read-old-data", "-o", old}).status, 0);
    oldData[piece] = test::ReadText(old);
  }
  ASSERT_NE(alone[0], alone[1]);
  ASSERT_NE(oldData[0], oldData[1]);

  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string out0 = inputs.slashed() + "together0.mid";
    const std::string out1 = inputs.slashed() + "together1.mid";
    auto first = std::async(std::launch::async, run, args("transcribe", 0, out0));
    auto second = std::async(std::launch::async, run, args("transcribe", 1, out1));
    auto third = std::async(std::launch::async, run, args("read-scores", round % 2, ""));
    for (auto* f : {&first, &second, &third}) {
      const auto r = f->get();
      EXPECT_EQ(r.status, 0) << r.err;
    }
    EXPECT_EQ(test::ReadText(out0), alone[0]);
    EXPECT_EQ(test::ReadText(out1), alone[1]);
    // The factory options leave no intermediate files after a transcribe, so the last two runs
    // read only.
    first = std::async(std::launch::async, run, args("read-scores", 0, ""));
    second = std::async(std::launch::async, run, args("read-scores", 1, ""));
    EXPECT_EQ(first.get().status, 0);
    EXPECT_EQ(second.get().status, 0);
    const std::string old = inputs.slashed() + "old.mid";
    ASSERT_EQ(run({"--data-dir", dir, "read-old-data", "-o", old}).status, 0);
    const std::string got = test::ReadText(old);
    EXPECT_TRUE(got == oldData[0] || got == oldData[1]);
  }
  // Every run folder is gone.
  for (const auto& entry : fs::directory_iterator(data.path()))
    EXPECT_FALSE(entry.path().filename().string().starts_with(".vellumix-run."));
}

}  // namespace
}  // namespace vellumix
