// Whole runs over the real SCORE files of the shared corpus (skipped when it is absent).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

#include "res/strings.h"
#include "score/internal/records.h"
#include "score/pmx.h"
#include "score_test_util.h"

#include "corpus.h"

namespace vellumix::test {
namespace {

namespace fs = std::filesystem;

// Counts records by the plain layout every corpus file has, without the reader's scanner.
std::int64_t CountRecords(const files::Bytes& b) {
  auto word = [&](std::size_t at) {
    float f;
    std::uint32_t w =
        b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
    std::memcpy(&f, &w, 4);
    return f;
  };
  const int h = b[0] | b[1] << 8;
  const int t = static_cast<int>(word(b.size() - 8) + 1.0f);
  std::int64_t records = 0;
  for (std::size_t at = 2, end = 2 + 4 * static_cast<std::size_t>(h - t); at < end; ++records) {
    at += 4 * (1 + static_cast<std::size_t>(word(at)));
  }
  return records;
}

std::int64_t ItemLines(const std::string& dump) {
  std::int64_t lines = 0;
  std::size_t start = dump.find('\n') + 1;  // after the header line
  while (start < dump.size()) {
    if (dump[start] != '"') ++lines;
    start = dump.find('\n', start) + 1;
  }
  return lines;
}

files::Bytes Load(const fs::path& path) {
  auto bytes = files::ReadAll(path);
  EXPECT_TRUE(bytes.has_value()) << path;
  return bytes.value_or(files::Bytes{});
}

TEST(ScoreCorpus, EveryFileDumpsOneLinePerRecordAndRoundTrips) {
  const auto paths = CorpusScoreFiles();
  if (paths.empty()) GTEST_SKIP() << "no SCORE corpus at " << VELLUMIX_CORPUS_DIR;
  EXPECT_EQ(paths.size(), 31u);
  const std::map<std::string, std::int64_t> fromReadme = {{"ex1.mus", 310},
                                                          {"epsgraph.mus", 2},
                                                          {"artic.mus", 9},
                                                          {"keytime.mus", 47},
                                                          {"SCORE.SAV", 25}};
  int checkedAgainstReadme = 0;
  for (const auto& path : paths) {
    SCOPED_TRACE(path.string());
    const files::Bytes bytes = Load(path);
    ScriptedHost host;
    std::string out;
    ASSERT_TRUE(DumpScore(bytes, path.string(), host, out));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(ItemLines(out), CountRecords(bytes));
    if (auto it = fromReadme.find(path.filename().string()); it != fromReadme.end()) {
      EXPECT_EQ(ItemLines(out), it->second);
      ++checkedAgainstReadme;
    }
    EXPECT_EQ(out.rfind("H " + std::to_string(bytes[0] | bytes[1] << 8) + " T 6 offset 2\n", 0),
              0u);

    std::string error;
    const auto rebuilt = BuildScoreFile(out, &error);
    ASSERT_TRUE(rebuilt.has_value()) << error;
    EXPECT_EQ(rebuilt->size(), bytes.size());
    std::string again;
    ASSERT_TRUE(DumpScore(*rebuilt, "rebuilt", host, again));
    EXPECT_EQ(again, out);
  }
  EXPECT_EQ(checkedAgainstReadme, 5);
}

TEST(ScoreCorpus, EveryFileReadsAsAGroupOfOne) {
  const auto paths = CorpusScoreFiles();
  if (paths.empty()) GTEST_SKIP() << "no SCORE corpus at " << VELLUMIX_CORPUS_DIR;
  std::size_t texts = 0;
  for (const auto& path : paths) {
    SCOPED_TRACE(path.string());
    ReaderRig rig;
    std::string name = path.string();
    ASSERT_TRUE(rig.input.ReadGroupFiles(name, 1));
    rig.input.FinishGroupRead();
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(rig.input.State().version, 2);
    EXPECT_GE(rig.input.State().highestStaff, 0);
    std::size_t items = 0;
    for (int s = 1; s <= kMaxGlobalStaff; ++s) {
      items += rig.input.StaffList(s).size();
      float last = -1e9f;
      for (const CItem& item : rig.input.StaffList(s)) {
        EXPECT_GE(item.values.Get(2), last);  // in position order
        last = item.values.Get(2);
        if (item.values.Get(0) == 16) {
          ++texts;
          EXPECT_EQ(item.text.find('\0'), std::string::npos);
        }
      }
    }
    EXPECT_GT(items, 0u);
  }
  EXPECT_EQ(texts, 110u);  // every text item of the corpus
}

TEST(ScoreCorpus, TheTristanPageReadsAsItShould) {
  const fs::path path = fs::path(VELLUMIX_CORPUS_DIR) / "score/mus2pmx-tests/ex1.mus";
  if (!fs::exists(path)) GTEST_SKIP() << "no " << path;
  ReaderRig rig;
  std::string name = path.string();
  ASSERT_TRUE(rig.input.ReadGroupFiles(name, 1));
  // Six staves, with time signatures on them; the texts lose their font code.
  int staves = 0, timeSignatures = 0;
  bool sawText = false;
  for (int s = 1; s <= kMaxGlobalStaff; ++s) {
    for (const CItem& item : rig.input.StaffList(s)) {
      if (item.values.Get(0) == 8) ++staves;
      if (item.values.Get(0) == 18) ++timeSignatures;
      if (item.values.Get(0) == 16 && !item.text.empty()) {
        sawText = true;
        EXPECT_NE(item.text.rfind("_0", 0), 0u) << item.text;
      }
    }
  }
  EXPECT_EQ(staves, 6);
  EXPECT_GT(timeSignatures, 0);
  EXPECT_TRUE(sawText);
  EXPECT_EQ(rig.input.State().staffOffset, 6);
  // Progress came in tenths.
  EXPECT_EQ(rig.host.statuses.back().text, "100 percent read");
}

// Every prefix of a real file is read or refused with a message, never more.
TEST(ScoreCorpus, EveryPrefixIsReadOrRefused) {
  const fs::path root = fs::path(VELLUMIX_CORPUS_DIR) / "score";
  const char* picks[] = {"mei2012-30shortexamples/chord-artic/artic.mus",
                         "mei2012-30shortexamples/staff-keytime/keytime.mus",
                         "mus2pmx-tests/epsgraph.mus", "mus2pmx-tests/ex1.mus"};
  if (!fs::exists(root / picks[0])) GTEST_SKIP() << "no SCORE corpus at " << root;
  for (const char* pick : picks) {
    SCOPED_TRACE(pick);
    const files::Bytes whole = Load(root / pick);
    for (std::size_t n = 0; n <= whole.size(); ++n) {
      const std::span<const std::uint8_t> prefix(whole.data(), n);
      ReaderRig rig;
      const bool read = rig.input.ReadScoreBytes(prefix, "prefix");
      if (read) {
        // A misread prefix may only have items left out beyond the staves.
        for (int id : rig.host.MessageIds()) EXPECT_EQ(id, res::kStaffOutOfRange) << n;
      } else {
        EXPECT_FALSE(rig.host.messages.empty()) << n;
      }
      ScriptedHost host;
      std::string out;
      const bool dumped = DumpScore(prefix, "prefix", host, out);
      EXPECT_EQ(dumped, host.messages.empty()) << n;
      if (n == whole.size()) {
        EXPECT_TRUE(read && dumped);
      }
    }
  }
}

}  // namespace
}  // namespace vellumix::test
