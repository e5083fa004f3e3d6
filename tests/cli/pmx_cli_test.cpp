// vellumix-cli on SCORE's text form of a page (PMX).
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "run_program.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

// The minuet's items as text give its MIDI file; a line that cannot be read stops the run with
// its file and line named, and nothing is written.
TEST(PmxCli, ATextPageTranscribesAsItsBinaryFile) {
  const fs::path examples = fs::path(VELLUMIX_SOURCE_DIR) / "examples";
  test::TempFolder data, otherData, dir;
  const std::string fromBinary = dir.slashed() + "binary.mid";
  const std::string fromText = dir.slashed() + "text.mid";
  auto b = test::RunCli({"--data-dir", data.path().string(), "transcribe",
                         (examples / "minuet.mus").string(), "-o", fromBinary});
  ASSERT_EQ(b.status, 0) << b.err;
  auto t = test::RunCli({"--data-dir", otherData.path().string(), "transcribe",
                         (examples / "minuet.pmx").string(), "-o", fromText});
  ASSERT_EQ(t.status, 0) << t.err;
  EXPECT_EQ(files::ReadAll(fromText), files::ReadAll(fromBinary));

  std::string text = test::ReadText(examples / "minuet.pmx");
  const auto dynamic = text.find("9 2 22 -2 53\n");
  ASSERT_NE(dynamic, std::string::npos);
  text.replace(dynamic, 12, "9 2 22 -2 p");
  const std::string bad = dir.slashed() + "bad.pmx";
  ASSERT_TRUE(files::WriteAtomic(bad, text));
  const std::string out = dir.slashed() + "bad.mid";
  auto r = test::RunCli({"--data-dir", data.path().string(), "transcribe", bad, "-o", out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(bad + ", line 9: \"p\" stands where a number belongs"), std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace vellumix
