#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>

#include "library/factory.h"
#include "platform/files.h"
#include "run/document.h"
#include "score_builder.h"
#include "scripted_host.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

struct RunFixture {
  test::TempFolder data;
  test::ScriptedHost host;
  CVellumixDoc doc{host};
  std::vector<std::string> entries;

  RunFixture() {
    InstallFactoryLibrary(data.slashed(), host);
    EXPECT_TRUE(doc.Create(data.slashed(), false));
    const std::string example = std::string(VELLUMIX_SOURCE_DIR) + "/examples/minuet.pmx";
    auto text = files::ReadAll(example);
    std::string error;
    auto bytes = test::BuildScoreFile(std::string(text->begin(), text->end()), &error);
    EXPECT_TRUE(bytes && files::WriteAtomic(data.slashed() + "minuet.mus", *bytes)) << error;
    entries = {data.slashed() + "minuet.mus 1"};
    host.messages.clear();
  }
  RunResult Transcribe(const std::string& out) {
    ReadSummary summary;
    return vellumix::Transcribe(doc, entries, out, summary);
  }
};

TEST(Transcribe, TheNameMustEndInMidUnlessTheUserAgrees) {
  RunFixture r;
  EXPECT_EQ(r.Transcribe(r.data.slashed() + "song.mid"), RunResult::kDone);
  EXPECT_FALSE(r.host.Shown(res::kNotMidExtension));
  EXPECT_EQ(r.Transcribe(r.data.slashed() + "SONG.MID.mid"), RunResult::kDone);
  EXPECT_FALSE(r.host.Shown(res::kNotMidExtension));

  for (const char* name : {"song.midi", "song"}) {
    r.host.messages.clear();
    // An earlier run's intermediate files stay when the answer is No.
    ASSERT_TRUE(files::WriteAtomic(r.data.slashed() + "VLMIX1.TMP", "old"));
    EXPECT_EQ(r.Transcribe(r.data.slashed() + name), RunResult::kStopped) << name;
    ASSERT_EQ(r.host.MessageIds(), std::vector<int>{res::kNotMidExtension}) << name;
    EXPECT_EQ(r.host.messages[0].text,
              "The filename " + r.data.slashed() + name +
                  " does not end in .MID. Do you want to continue?");
    EXPECT_FALSE(fs::exists(r.data.path() / name));
    EXPECT_EQ(files::ReadAll(r.data.path() / "VLMIX1.TMP"), files::Bytes({'o', 'l', 'd'}));
  }
  r.host.yesNoAnswers = {true};
  EXPECT_EQ(r.Transcribe(r.data.slashed() + "song.midi"), RunResult::kDone);
  EXPECT_TRUE(fs::exists(r.data.path() / "song.midi"));
}

TEST(Transcribe, AnExistingFileIsReplacedOnlyOnYesAndASecondRunGivesTheSameBytes) {
  RunFixture r;
  const std::string out = r.data.slashed() + "out.mid";
  ASSERT_EQ(r.Transcribe(out), RunResult::kDone);
  const auto first = files::ReadAll(out);
  ASSERT_TRUE(first);
  EXPECT_EQ(r.host.statuses.back().text, "Done");

  r.host.messages.clear();
  EXPECT_EQ(r.Transcribe(out), RunResult::kStopped);
  EXPECT_EQ(r.host.MessageIds(), std::vector<int>{res::kOverwriteQuestion});
  r.host.yesNoAnswers = {true};
  ASSERT_EQ(r.Transcribe(out), RunResult::kDone);
  EXPECT_EQ(files::ReadAll(out), first);  // the same document, run again: the same file

  // A third run in a fresh document agrees too.
  test::ScriptedHost host;
  host.yesNoAnswers = {true};
  CVellumixDoc doc(host);
  ASSERT_TRUE(doc.Create(r.data.slashed(), false));
  ReadSummary summary;
  ASSERT_EQ(vellumix::Transcribe(doc, r.entries, out, summary), RunResult::kDone);
  EXPECT_EQ(files::ReadAll(out), first);
}

TEST(Transcribe, ACancelWhileReadingEndsWithTranscribeCancelled) {
  RunFixture r;
  const std::string out = r.data.slashed() + "out.mid";
  // Find the report that reads the score, then cancel there in a second run.
  ASSERT_EQ(r.Transcribe(out), RunResult::kDone);
  const std::string reading = "Reading file " + r.data.slashed() + "minuet.mus";
  int at = 0;
  for (std::size_t i = 0; i < r.host.statuses.size(); ++i)
    if (r.host.statuses[i].text == reading) at = static_cast<int>(i) + 1;
  ASSERT_GT(at, 0);
  fs::remove(out);
  r.host.statuses.clear();
  r.host.messages.clear();
  r.host.cancelAtReport = at;
  EXPECT_EQ(r.Transcribe(out), RunResult::kStopped);
  EXPECT_EQ(r.host.statuses.back().text, "Transcribe cancelled");
  EXPECT_TRUE(r.host.statuses.back().clearSecondPane);
  EXPECT_TRUE(r.host.messages.empty());
  EXPECT_FALSE(fs::exists(out));
}

TEST(Transcribe, AnUnwritableOutputFolderStopsWithTheReasonAndLeavesNothing) {
  RunFixture r;
  const std::string out = r.data.slashed() + "no/such/folder/out.mid";
  EXPECT_EQ(r.Transcribe(out), RunResult::kStopped);
  ASSERT_EQ(r.host.MessageIds(), std::vector<int>{res::kCannotWriteBecause});
  EXPECT_EQ(r.host.messages[0].text,
            "Unable to write file " + out + ": No such file or directory");
  EXPECT_FALSE(fs::exists(r.data.path() / "no"));
  // The library is as it was: the options still load.
  EXPECT_TRUE(r.doc.library.ReloadLibrary());
}

// The files of the data folder a failed run must leave as they were: the library files and the
// MIDI file (hidden files are the runs' own), with or without the intermediate files.
std::map<std::string, files::Bytes> Snapshot(const test::TempFolder& data, bool intermediate) {
  std::map<std::string, files::Bytes> out;
  const auto names = files::EntryNames(data.path());
  for (const std::string& name : names.value()) {
    if (name.starts_with(".") || (!intermediate && (TrackFileNumber(name) >= 0 ||
                                                    name == "NAMELIST.TMP")))
      continue;
    if (auto bytes = files::ReadAll(data.path() / name)) out[name] = std::move(*bytes);
  }
  return out;
}

// Each file operation of a run failing in turn, as on a full disk: the run says so and stops, the
// earlier MIDI file and the library stay as they were, no partial file is left, the last finished
// run's intermediate files stay whole, and the next run succeeds.
TEST(Transcribe, AFileOperationFailingAnywhereLeavesTheEarlierFilesAsTheyWere) {
  RunFixture r;
  ASSERT_TRUE(r.doc.SaveOptions([&] {
    Options o = r.doc.library.options;
    o.deleteTemporaryFiles = 0;
    return o;
  }()));
  const std::string out = r.data.slashed() + "out.mid";
  ASSERT_EQ(r.Transcribe(out), RunResult::kDone);
  const auto expected = files::ReadAll(out);
  const auto before = Snapshot(r.data, true);
  const auto library = Snapshot(r.data, false);
  const std::uint64_t start = files::OperationCount();
  r.host.yesNoAnswers = {true};
  ASSERT_EQ(r.Transcribe(out), RunResult::kDone);
  const std::uint64_t operations = files::OperationCount() - start;
  ASSERT_GT(operations, 10u);
  bool fullDiskNamed = false, folderNamed = false;
  for (std::uint64_t n = 1; n <= operations; ++n) {
    SCOPED_TRACE("operation " + std::to_string(n));
    r.host.messages.clear();
    r.host.yesNoAnswers = {true};
    files::PlanFault(n, ENOSPC);
    const RunResult result = r.Transcribe(out);
    files::PlanFault(0, 0);
    if (result == RunResult::kDone) {
      EXPECT_EQ(files::ReadAll(out), expected);
    } else {
      EXPECT_FALSE(r.host.messages.empty());
      // A publication cut short is finished by the next run, so it is the new set then.
      EXPECT_EQ(Snapshot(r.data, false), library);
      if (!fs::exists(r.data.path() / ".vellumix-publish")) {
        EXPECT_EQ(Snapshot(r.data, true), before);
      }
    }
    for (const auto& m : r.host.messages) {
      fullDiskNamed |= m.text == "Unable to write file " + out + ": No space left on device";
      // A library folder that takes no run folder says how to choose another.
      folderNamed |= m.id == res::kCannotWriteLibraryFolder &&
                     m.text.find("(No space left on device)") != std::string::npos &&
                     m.text.find("--data-dir") != std::string::npos;
    }
    const auto names = files::EntryNames(r.data.path());
    for (const std::string& name : names.value())
      EXPECT_FALSE(name.ends_with(".part")) << name;
    r.host.yesNoAnswers = {true};
    ASSERT_EQ(r.Transcribe(out), RunResult::kDone);
    EXPECT_EQ(Snapshot(r.data, true), before);
  }
  EXPECT_TRUE(fullDiskNamed);
  EXPECT_TRUE(folderNamed);
}

}  // namespace
}  // namespace vellumix
