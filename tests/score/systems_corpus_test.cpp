// The real SCORE files of the shared corpus through reading and the systems stage (skipped when
// the corpus is absent).
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "corpus.h"
#include "systems_test_util.h"

namespace vellumix::test {
namespace {

namespace fs = std::filesystem;

int NumbersOn(const std::string& line) {
  int count = 0;
  std::size_t at = 0;
  while (at < line.size()) {
    if (line[at] == ' ') {
      ++at;
      continue;
    }
    std::size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    float v = 0;
    auto r = std::from_chars(line.data() + at, line.data() + end, v);
    if (r.ec != std::errc() || r.ptr != line.data() + end || !std::isfinite(v)) return -1;
    ++count;
    at = end;
  }
  return count;
}

void ExpectSixNumbersALine(SystemsRig& rig) {
  const std::string bars = rig.File(0);
  if (bars == "<missing>") return;
  for (const std::string& line : files::SplitLines(bars)) EXPECT_EQ(NumbersOn(line), 6) << line;
}

TEST(SystemsCorpus, EveryFileReadsIntoSystemsAndBars) {
  const auto paths = CorpusScoreFiles();
  if (paths.empty()) GTEST_SKIP() << "no SCORE corpus at " << VELLUMIX_CORPUS_DIR;
  int written = 0;
  // Each file in a run of its own.
  for (const auto& path : paths) {
    SCOPED_TRACE(path.string());
    SystemsRig rig;
    std::string name = path.string();
    if (!rig.score.ReadGroupFiles(name, 1)) continue;
    if (rig.systems.ProcessFileGroup(name)) {
      ++written;
      // Every system opens its bars with a flagged line.
      int flagged = 0;
      for (const std::string& line : files::SplitLines(rig.File(0))) {
        flagged += line.size() >= 6 && line.compare(line.size() - 6, 6, "1.0000") == 0;
      }
      EXPECT_EQ(flagged, rig.systems.SystemCounter());
      for (int s = 1; s <= kMaxBarlineStaff; ++s) EXPECT_TRUE(rig.score.BarlineList(s).empty());
    }
    ExpectSixNumbersALine(rig);
  }
  EXPECT_GT(written, 0);

  // All files as the groups of one run, with multiple systems on: late instruments read the bar
  // file back, absent ones are padded.
  SystemsRig run;
  run.options.interpretMultipleSystems = 1;
  int groups = 0;
  for (const auto& path : paths) {
    SCOPED_TRACE(path.string());
    std::string name = path.string();
    if (run.score.ReadGroupFiles(name, 1) && run.systems.ProcessFileGroup(name)) ++groups;
    run.score.ClearLists();
  }
  EXPECT_GT(groups, 1);
  ExpectSixNumbersALine(run);
}

}  // namespace
}  // namespace vellumix::test
