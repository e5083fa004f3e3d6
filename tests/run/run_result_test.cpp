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

// The window starts playback only after a run that wrote its file, so the run must say so.
struct WrittenFixture {
  test::TempFolder data;
  test::ScriptedHost host;
  CVellumixDoc doc{host};
  std::string out = data.slashed() + "out.mid";
  std::vector<std::string> entries;
  ReadSummary summary;

  WrittenFixture() {
    InstallFactoryLibrary(data.slashed(), host);
    EXPECT_TRUE(doc.Create(data.slashed(), false));
    auto text = files::ReadAll(std::string(VELLUMIX_SOURCE_DIR) + "/examples/minuet.pmx");
    std::string error;
    auto bytes = test::BuildScoreFile(std::string(text->begin(), text->end()), &error);
    EXPECT_TRUE(bytes && files::WriteAtomic(data.slashed() + "minuet.mus", *bytes)) << error;
    entries = {data.slashed() + "minuet.mus 1"};
  }
  RunResult Run() { return Transcribe(doc, entries, out, summary); }
};

TEST(RunResult, AWrittenFileIsReportedAndAnEmptyListWritesNothing) {
  WrittenFixture f;
  ASSERT_EQ(f.Run(), RunResult::kDone);
  EXPECT_TRUE(f.summary.midiWritten);
  EXPECT_TRUE(fs::exists(f.out));

  fs::remove(f.out);
  EXPECT_EQ(Transcribe(f.doc, {}, f.out, f.summary), RunResult::kDone);
  EXPECT_FALSE(f.summary.midiWritten);
  EXPECT_FALSE(fs::exists(f.out));
}

}  // namespace
}  // namespace vellumix
