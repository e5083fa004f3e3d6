// vellumix-cli transcribe-all: a collection of pieces in folders, on one or more workers.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <future>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli/commands.h"
#include "platform/files.h"
#include "run_program.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kMinuet = fs::path(VELLUMIX_SOURCE_DIR) / "examples" / "minuet.mus";

void Copy(const fs::path& from, const fs::path& to) {
  fs::create_directories(to.parent_path());
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

// Every MIDI file under `folder` by its path below it.
std::map<std::string, files::Bytes> MidiFiles(const fs::path& folder) {
  std::map<std::string, files::Bytes> found;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) found[fs::relative(e.path(), folder).string()] = *files::ReadAll(e.path());
  return found;
}

// A collection in two folders: a page, a piece of two numbered pages, a damaged page, a text
// page, two pages that would share one output, a sub-folder whose output place is taken by a
// file, and files that are no SCORE pages. Each written file equals the serial transcribe of its
// piece, -j 1 and -j 2 write the same bytes, and the report names what was refused and why.
TEST(TranscribeAllCli, ACollectionBecomesOneFilePerPieceWhateverTheWorkers) {
  test::TempFolder in, data, out;
  const fs::path a = in.path() / "hymns", b = in.path() / "carols";
  Copy(kMinuet, a / "minuet.mus");
  Copy(kMinuet, a / "suite" / "song1.pag");
  Copy(kMinuet, a / "suite" / "song2.pag");
  const auto minuet = *files::ReadAll(kMinuet);
  ASSERT_TRUE(files::WriteAtomic(a / "suite" / "broken.mus",
                                 std::span(minuet.data(), minuet.size() / 2)));
  Copy(fs::path(VELLUMIX_SOURCE_DIR) / "examples" / "minuet.pmx", b / "text.pmx");
  Copy(kMinuet, b / "twice.mus");
  Copy(fs::path(VELLUMIX_SOURCE_DIR) / "examples" / "minuet.pmx", b / "twice.pmx");
  Copy(kMinuet, b / "blocked" / "page.mus");
  ASSERT_TRUE(files::WriteAtomic(b / "readme.txt", std::string_view("not a page")));

  // The references: each piece on its own, the two-page piece with a report.
  test::TempFolder ref;
  const std::string report = ref.slashed() + "one.json";
  ASSERT_TRUE(files::WriteAtomic(ref.slashed() + "song1.mid", std::string_view("old")));
  auto one = test::RunCli({"--data-dir", data.path().string(), "transcribe",
                           (a / "suite" / "song1.pag").string() + ":2", "-o",
                           ref.slashed() + "song1.mid", "--yes", "--report", report});
  ASSERT_EQ(one.status, 0) << one.err;
  ASSERT_EQ(test::RunCli({"--data-dir", data.path().string(), "transcribe", kMinuet.string(),
                          "-o", ref.slashed() + "minuet.mid"}).status, 0);
  const json single = json::parse(*files::ReadAll(report));
  EXPECT_EQ(single["command"], "transcribe");
  EXPECT_EQ(single["outcome"], "done");
  ASSERT_EQ(single["pieces"].size(), 1u);
  const json& piece = single["pieces"][0];
  EXPECT_EQ(piece["inputs"], json::parse(R"([{"path": ")" + (a / "suite" / "song1.pag").string() +
                                         R"(", "files": 2}])"));
  EXPECT_EQ(piece["outcome"], "written");
  EXPECT_EQ(piece["notes"], 40);  // twice the minuet's 20, as python3-mido counts them
  EXPECT_EQ(piece["bytes"], fs::file_size(ref.slashed() + "song1.mid"));
  ASSERT_EQ(piece["answers"].size(), 1u);
  EXPECT_EQ(piece["answers"][0]["question"], "yes/no");
  EXPECT_EQ(piece["answers"][0]["answer"], "yes");
  EXPECT_EQ(piece["answers"][0]["by"], "command line");

  std::map<std::string, files::Bytes> byWorkers[2];
  for (int jobs : {2, 1}) {
    SCOPED_TRACE(jobs);
    const fs::path to = out.path() / std::to_string(jobs);
    fs::create_directories(to);
    ASSERT_TRUE(files::WriteAtomic(to / "blocked", std::string_view("in the way")));
    const std::string json = out.slashed() + std::to_string(jobs) + ".json";
    auto r = test::RunCli({"--data-dir", data.path().string(), "transcribe-all", a.string(),
                           b.string(), "-o", to.string(), "-j", std::to_string(jobs),
                           "--report", json});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("Pieces:    7\nWritten:   3\nRefused:   4\n"), std::string::npos) << r.out;
    fs::remove(to / "blocked");
    byWorkers[jobs - 1] = MidiFiles(to);

    const auto report = json::parse(*files::ReadAll(json));
    EXPECT_EQ(report["outcome"], "failed");
    std::map<std::string, std::string> outcomes, messages;
    for (const auto& p : report["pieces"]) {
      const std::string input = fs::relative(p["inputs"][0]["path"].get<std::string>(), in.path());
      outcomes[input] = p["outcome"];
      if (!p["messages"].empty()) messages[input] = p["messages"][0]["text"];
    }
    EXPECT_EQ(outcomes, (std::map<std::string, std::string>{
                            {"hymns/minuet.mus", "written"},
                            {"hymns/suite/song1.pag", "written"},
                            {"hymns/suite/broken.mus", "refused"},
                            {"carols/text.pmx", "written"},
                            {"carols/twice.mus", "refused"},
                            {"carols/twice.pmx", "refused"},
                            {"carols/blocked/page.mus", "refused"}}));
    EXPECT_NE(messages["hymns/suite/broken.mus"].find(a / "suite" / "broken.mus"),
              std::string::npos);
    EXPECT_EQ(messages["carols/twice.mus"],
              b.string() + "/twice.mus and " + b.string() + "/twice.pmx would both be written to " +
                  (to / "twice.mid").string() + "; neither is transcribed");
    EXPECT_EQ(messages["carols/blocked/page.mus"],
              "Unable to write file " + (to / "blocked").string() + ": Not a directory");
  }
  EXPECT_EQ(byWorkers[0], byWorkers[1]);
  const auto& written = byWorkers[1];
  ASSERT_EQ(written.size(), 3u);
  // Each folder's structure goes under the output folder.
  EXPECT_EQ(written.at("minuet.mid"), *files::ReadAll(ref.slashed() + "minuet.mid"));
  EXPECT_EQ(written.at("suite/song1.mid"), *files::ReadAll(ref.slashed() + "song1.mid"));
  EXPECT_EQ(written.at("text.mid"), *files::ReadAll(ref.slashed() + "minuet.mid"));
}

// A SIGTERM mid-collection stops the workers after their pieces: what was written is whole, no
// partial file is left, and the exit status says which signal.
TEST(TranscribeAllCli, ASignalStopsTheCollectionLeavingOnlyWholeFiles) {
  test::TempFolder in, data, out, ref;
  constexpr int kPieces = 200;
  for (int i = 0; i < kPieces; ++i) {
    const std::string name = std::string("tune-") + char('a' + i / 26 % 26) + char('a' + i % 26);
    Copy(kMinuet, in.path() / (name + "x.mus"));
  }
  ASSERT_EQ(test::RunCli({"--data-dir", data.path().string(), "transcribe", kMinuet.string(),
                          "-o", ref.slashed() + "minuet.mid"}).status, 0);
  const auto expected = *files::ReadAll(ref.slashed() + "minuet.mid");

  cli::RunInputs run;
  cli::CollectionOptions collection{{in.path().string()}, out.path().string(), 2, {}};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  auto status = std::async(std::launch::async, [&] {
    return cli::TranscribeAllCommand({data.path().string(), false}, run, collection);
  });
  // Files come and go while the workers run, so only names are looked at.
  auto anyWritten = [&] {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(out.path(), ec), end; !ec && it != end;
         it.increment(ec))
      if (it->path().extension() == ".mid") return true;
    return false;
  };
  while (!anyWritten()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::raise(SIGTERM);
  EXPECT_EQ(status.get(), 128 + SIGTERM);
  testing::internal::GetCapturedStdout();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Transcribe cancelled"), std::string::npos);
  const auto written = MidiFiles(out.path());
  EXPECT_GE(written.size(), 1u);
  EXPECT_LT(written.size(), static_cast<std::size_t>(kPieces));
  for (const auto& [name, bytes] : written) {
    EXPECT_TRUE(name.ends_with(".mid")) << name;
    EXPECT_EQ(bytes, expected) << name;
  }
}

}  // namespace
}  // namespace vellumix
