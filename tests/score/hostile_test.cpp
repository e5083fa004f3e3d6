// Damaged and hostile files: each is refused with a message or read safely, never out of bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "res/strings.h"
#include "score/pmx.h"
#include "score_test_util.h"
#include "temp_folder.h"

namespace vellumix::test {
namespace {

using ::testing::ElementsAre;

// Reads `bytes` with the reader and (unless the fault lies in the values only) the dump; both
// must refuse it.
std::string Refusal(const files::Bytes& bytes, bool dumpRefuses = true) {
  ReaderRig rig;
  EXPECT_FALSE(rig.input.ReadScoreBytes(bytes, "BAD.MUS"));
  ScriptedHost host;
  std::string out;
  EXPECT_EQ(DumpScore(bytes, "BAD.MUS", host, out), !dumpRefuses);
  EXPECT_EQ(rig.host.messages.size(), 1u);
  if (rig.host.messages.empty()) return {};
  if (dumpRefuses && rig.host.messages[0].id == res::kDamagedScoreFile) {
    EXPECT_EQ(host.MessageIds(), std::vector<int>{res::kDamagedScoreFile});
  }
  return rig.host.messages[0].text;
}

void PutFloat(files::Bytes& bytes, std::size_t at, float value) {
  std::uint32_t w;
  std::memcpy(&w, &value, 4);
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(w >> (8 * i));
}

TEST(ScoreHostile, FilesTooShortForHeaderAndTrailer) {
  for (std::size_t size = 0; size < 10; ++size) {
    SCOPED_TRACE(size);
    EXPECT_EQ(Refusal(files::Bytes(size, 0)), "BAD.MUS is damaged: the file is too short");
  }
  // A header word over 14200 wants four header bytes.
  EXPECT_EQ(Refusal(files::Bytes{0x00, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
            "BAD.MUS is damaged: the file is too short");
  ReaderRig rig;
  EXPECT_TRUE(rig.input.ReadScoreBytes(Build(""), "EMPTY.MUS"));  // no items at all is fine
}

TEST(ScoreHostile, TrailerLengths) {
  EXPECT_EQ(Refusal(Build("T 20\n9 1 5 0 1\n")),
            "BAD.MUS is damaged: the trailer length exceeds the header word");
  EXPECT_EQ(Refusal(Build("T -3\n9 1 5 0 1\n")),
            "BAD.MUS is damaged: the trailer length is negative");
  files::Bytes nan = Build("9 1 5 0 1\n");
  PutFloat(nan, nan.size() - 8, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(Refusal(nan), "BAD.MUS is damaged: the trailer length is not a usable number");
  files::Bytes huge = Build("9 1 5 0 1\n");
  PutFloat(huge, huge.size() - 8, 1e20f);
  EXPECT_EQ(Refusal(huge), "BAD.MUS is damaged: the trailer length is not a usable number");
  EXPECT_EQ(Refusal(Build("H 400\n9 1 5 0 1\n")),
            "BAD.MUS is damaged: the header word claims more items than the file holds");
}

TEST(ScoreHostile, ParameterCounts) {
  EXPECT_EQ(Refusal(Build("N=nan 9 1 5 0 1\n")),
            "BAD.MUS is damaged: an item's parameter count is not a number");
  EXPECT_EQ(Refusal(Build("N=-inf 9 1 5 0 1\n")),
            "BAD.MUS is damaged: an item's parameter count is not a number");
  EXPECT_EQ(Refusal(Build("N=-1 9 1 5 0 1\n")),
            "BAD.MUS is damaged: an item's parameter count is negative");
  EXPECT_EQ(Refusal(Build("N=1e30 9 1 5 0 1\n")),
            "Error: Maximum number of parameters exceeded for this item");
  EXPECT_EQ(Refusal(Build("9 1 5 0 1\nN=40 9 1 5 0 1\n")),
            "BAD.MUS is damaged: an item runs past the end of the items");
  // Into the trailer is still inside the file, but not inside the items.
  EXPECT_EQ(Refusal(Build("N=6 9 1 5 0 1\n")),
            "BAD.MUS is damaged: an item runs past the end of the items");
}

TEST(ScoreHostile, StaffNumbersAndPositions) {
  EXPECT_EQ(Refusal(Build("9 nan 5 0 1\n"), false),
            "BAD.MUS is damaged: an item's staff number is not a number");
  EXPECT_EQ(Refusal(Build("14 inf 5 0 1\n"), false),
            "BAD.MUS is damaged: an item's staff number is not a number");
  EXPECT_EQ(Refusal(Build("1 1 nan 0 1\n"), false),
            "BAD.MUS is damaged: an item's position is not a number");
  EXPECT_EQ(Refusal(Build("18 nan 5 0 1\n"), false),
            "BAD.MUS is damaged: an item's staff number is not a number");

  // Beyond the lists: left out, said once per file, the rest read.
  ReaderRig rig;
  ASSERT_TRUE(
      rig.Read("9 1e30 5 0 1\n9 350 5 0 1\n9 349 5 0 1\n9 0 5 0 1\n9 -7 5 0 1\n"
               "14 100 5 1 0\n14 99 5 1 0\n18 400 5 0 99\n9 1 5 0 1\n"));
  EXPECT_THAT(rig.host.MessageIds(), ElementsAre(res::kStaffOutOfRange));
  EXPECT_EQ(rig.host.messages[0].text,
            "TEST.MUS: an item on staff 1000000015047466219876688855040 lies beyond the staves a "
            "file group can hold and was left out");
  EXPECT_EQ(rig.input.StaffList(349).size(), 1u);
  EXPECT_EQ(rig.input.BarlineList(99).size(), 1u);
  EXPECT_EQ(rig.input.StaffList(1).size(), 1u);
  EXPECT_TRUE(rig.input.StaffList(99).empty());
  // Said again for the next file.
  ASSERT_TRUE(rig.Read("9 360 5 0 1\n"));
  EXPECT_EQ(rig.host.MessageIds().size(), 2u);
}

TEST(ScoreHostile, OddValuesInKeptItems) {
  ReaderRig rig;
  rig.options.duplicateDynamicsOnBracedStaves = 1;
  ASSERT_TRUE(rig.Read(
      "14 1e30 0 2 8\n14 nan 0 2 8\n14 -1 0 2 8\n14 1 0 2 8\n"
      "9 2 5 -5 nan\n9 2 6 -5 1e30\n9 2 7 nan 53\n"
      "1 1 10 inf inf\n1 1 10 nan -inf\n1 1 12 5 1e30 0 0 0 0 0 0 1\n"
      "3 1 0 0 1e30\n3 2 0 0 nan\n3 3 0 0 -2\n"
      "16 1 5 0 0 0 0 0 0 0 0 nan\n16 1 5 0 0 0 0 0 0 0 0 1e30 0 1 2\n16 1 5 0 0 0 0 0 0 0 0 -9\n"
      "18 1 20 0 nan inf\n7 1 40 0 0 nan 21 50 0 0 nan nan\n"));
  rig.input.FinishGroupRead();
  EXPECT_TRUE(rig.host.messages.empty());
  EXPECT_EQ(rig.input.ClefAt(1, 100), -1);  // no clef type
  EXPECT_EQ(rig.input.StaffList(2).size(), 4u);
  // Positions taken from other parameters are checked as well.
  EXPECT_EQ(Refusal(Build("6 1 30 0 0 0 -1 0 0 0 inf\n"), false),
            "BAD.MUS is damaged: an item's position is not a number");
  EXPECT_EQ(Refusal(Build("7 1 40 0 0 0 21 nan\n"), false),
            "BAD.MUS is damaged: an item's position is not a number");
}

TEST(ScoreHostile, NothingOnDiskChanges) {
  TempFolder folder;
  const auto path = folder.path() / "DAMAGED.MUS";
  files::Bytes bytes = Build("9 1 5 0 1\nN=nan 1 1 1\n");
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  ReaderRig rig;
  std::string name = path.string();
  EXPECT_FALSE(rig.input.ReadGroupFiles(name, 1));
  EXPECT_EQ(files::ReadAll(path), bytes);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            1);
}

// Inputs the fuzzer once found troublesome are replayed in every build.
TEST(ScoreHostile, FuzzRegressionInputs) {
  const std::filesystem::path dir =
      std::filesystem::path(VELLUMIX_SOURCE_DIR) / "tests/fuzz/corpus";
  std::error_code ec;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (!entry.is_regular_file()) continue;
    SCOPED_TRACE(entry.path().string());
    const auto bytes = files::ReadAll(entry.path());
    ASSERT_TRUE(bytes.has_value());
    ReaderRig rig;
    if (!rig.input.ReadScoreBytes(*bytes, "fuzz")) {
      EXPECT_FALSE(rig.host.messages.empty());
    }
    rig.input.FinishGroupRead();
    ScriptedHost host;
    std::string out;
    const bool dumped = DumpScore(*bytes, "fuzz", host, out);
    EXPECT_EQ(dumped, host.messages.empty());
    ++replayed;
  }
  if (replayed == 0) GTEST_SKIP() << "no regression inputs in " << dir;
}

}  // namespace
}  // namespace vellumix::test
