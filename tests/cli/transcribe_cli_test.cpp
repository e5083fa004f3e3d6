#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "corpus.h"
#include "platform/files.h"
#include "run_program.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kMidicsv = "/usr/bin/midicsv";

// What python3-mido makes of a MIDI file: "type tracks noteons noteoffs unbalanced".
const char* kMidoScript = R"(
import sys, mido
f = mido.MidiFile(sys.argv[1])
on = off = 0
sounding = {}
for t in f.tracks:
    for m in t:
        if m.type == 'note_on' and m.velocity > 0:
            on += 1; k = (m.channel, m.note); sounding[k] = sounding.get(k, 0) + 1
        elif m.type == 'note_off' or (m.type == 'note_on' and m.velocity == 0):
            off += 1; k = (m.channel, m.note); sounding[k] = sounding.get(k, 0) - 1
print(f.type, len(f.tracks), on, off, sum(1 for v in sounding.values() if v != 0))
)";

bool HaveMido() {
  return fs::exists(kPython) &&
         test::RunProgram(kPython, {"-c", "import mido"}).status == 0;
}

TEST(TranscribeCli, TheExampleBecomesAMidiFileTheIndependentReadersAgreeOn) {
  if (!HaveMido() || !fs::exists(kMidicsv)) GTEST_SKIP() << "python3-mido or midicsv missing";
  test::TempFolder data;
  const std::string example = std::string(VELLUMIX_SOURCE_DIR) + "/examples/minuet.mus";
  const std::string out = data.slashed() + "minuet.mid";
  auto r = test::RunCli({"--data-dir", data.path().string(), "transcribe", example, "-o", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Transcribed 1 file group (1 system, 4 bars) into 3 tracks (Type 1), playing "
                   "0:06: " + out + ", " + std::to_string(fs::file_size(out)) + " bytes.\n");
  // The factory options delete the intermediate files after a run.
  EXPECT_FALSE(fs::exists(data.path() / "VLMIX1.TMP"));

  auto mido = test::RunProgram(kPython, {"-c", kMidoScript, out});
  ASSERT_EQ(mido.status, 0) << mido.err;
  EXPECT_EQ(mido.out, "1 3 20 20 0\n");  // conductor + two staves; 20 notes, all ended

  auto csv = test::RunProgram(kMidicsv, {out});
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(csv.out.find("0, 0, Header, 1, 3, 120"), std::string::npos);
  EXPECT_NE(csv.out.find("1, 0, Time_signature, 3, 2, 120, 8"), std::string::npos);
  // F sharp from the key signature, in bar 3.
  EXPECT_NE(csv.out.find("3, 1020, Note_on_c, 1, 78, "), std::string::npos);

  // Writing over it asks first; without a terminal the answer is No and the file stays.
  const auto before = files::ReadAll(out);
  auto again = test::RunCli({"--data-dir", data.path().string(), "transcribe", example, "-o", out});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("already exists"), std::string::npos);
  EXPECT_EQ(files::ReadAll(out), before);
  auto yes = test::RunCli(
      {"--data-dir", data.path().string(), "transcribe", example, "-o", out, "--yes"});
  EXPECT_EQ(yes.status, 0) << yes.err;
}

TEST(TranscribeCli, EveryCorpusFileBecomesTheSameBalancedMidiFileInOneRunOrTwo) {
  const auto corpus = test::CorpusScoreFiles();
  if (corpus.empty()) GTEST_SKIP() << "no corpus at " << VELLUMIX_CORPUS_DIR;
  if (!HaveMido() || !fs::exists(kMidicsv)) GTEST_SKIP() << "python3-mido or midicsv missing";
  for (const auto& file : corpus) {
    test::TempFolder data;
    const std::string dir = data.path().string();
    auto read = test::RunCli({"--data-dir", dir, "read-scores", file.string()});
    if (read.status != 0) {
      EXPECT_EQ(read.status, 1) << file << read.err;
      continue;
    }
    const std::string out = data.slashed() + "out.mid";
    auto r = test::RunCli({"--data-dir", dir, "read-old-data", "-o", out});
    ASSERT_EQ(r.status, 0) << file << "\n" << r.err;
    // One track per instrument file the reading wrote, plus the conductor.
    const std::string summary = read.out;
    const auto at = summary.find("instrument files:");
    std::istringstream numbers(summary.substr(at + 17, summary.find('\n', at) - at - 17));
    int instruments = 0, n = 0;
    while (numbers >> n) ++instruments;

    auto mido = test::RunProgram(kPython, {"-c", kMidoScript, out});
    ASSERT_EQ(mido.status, 0) << file << mido.err;
    std::istringstream in(mido.out);
    int type = -1, tracks = -1, on = -1, off = -1, unbalanced = -1;
    in >> type >> tracks >> on >> off >> unbalanced;
    EXPECT_EQ(type, 1) << file;
    EXPECT_EQ(tracks, instruments + 1) << file;
    EXPECT_GT(on, 0) << file;
    EXPECT_EQ(on, off) << file;
    EXPECT_EQ(unbalanced, 0) << file;
    EXPECT_EQ(test::RunProgram(kMidicsv, {out}).status, 0) << file;

    // The whole run in one go writes the same bytes as its two halves.
    test::TempFolder other;
    const std::string whole = other.slashed() + "whole.mid";
    auto t = test::RunCli({"--data-dir", other.path().string(), "transcribe", file.string(), "-o",
                           whole});
    ASSERT_EQ(t.status, 0) << file << "\n" << t.err;
    EXPECT_EQ(files::ReadAll(whole), files::ReadAll(out)) << file;
  }
}

// What might never end (a FIFO no one writes to, a device, a folder) is refused at once, as
// input, list file or dump argument, and so is a file larger than any SCORE file can be.
TEST(TranscribeCli, InputsThatAreNotPlainFilesAreRefusedAtOnce) {
  test::TempFolder data, dir;
  const std::string fifo = dir.slashed() + "pipe.mus";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string huge = dir.slashed() + "huge.mus";
  ASSERT_TRUE(files::WriteAtomic(huge, std::string_view("")));
  fs::resize_file(huge, files::kInputLimit + 1);
  const std::string out = dir.slashed() + "out.mid";
  for (const std::string& input : {fifo, std::string("/dev/zero"), dir.path().string(), huge}) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"transcribe", input, "-o", out, "--yes"},
          {"transcribe", "--list", input, "-o", out, "--yes"}, {"dump", input}}) {
      std::vector<std::string> all{"--data-dir", data.path().string()};
      all.insert(all.end(), args.begin(), args.end());
      const auto r = test::RunCli(all);
      EXPECT_EQ(r.status, 1) << input << " " << args[1];
      EXPECT_NE(r.err.find(input), std::string::npos) << r.err;
    }
  }
  EXPECT_FALSE(fs::exists(out));
}

// An output that is not a plain file is refused whatever --yes says and stays as it was; a link
// has its file written and stays a link; a link that leads nowhere is a name that is taken.
TEST(TranscribeCli, OutputsThatAreNotPlainFilesAreRefusedAndLinksFollowed) {
  const std::string example = std::string(VELLUMIX_SOURCE_DIR) + "/examples/minuet.mus";
  test::TempFolder data, dir;
  const std::string fifo = dir.slashed() + "pipe.mid";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto run = [&](const std::string& out, bool yes) {
    std::vector<std::string> args{"--data-dir", data.path().string(), "transcribe", example,
                                  "-o", out};
    if (yes) args.push_back("--yes");
    return test::RunCli(args);
  };
  for (const std::string& out : {std::string("/dev/null"), dir.path().string(), fifo}) {
    const auto r = run(out, true);
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_NE(r.err.find("is not a plain file"), std::string::npos) << r.err;
  }
  struct stat st {};
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_TRUE(fs::is_fifo(fifo));

  const fs::path real = dir.path() / "real.mid", link = dir.path() / "link.mid";
  fs::create_symlink("real.mid", link);
  EXPECT_NE(run(link.string(), false).status, 0);  // the question, answered No
  EXPECT_FALSE(fs::exists(real));
  ASSERT_EQ(run(link.string(), true).status, 0);
  EXPECT_TRUE(fs::is_symlink(link));
  ASSERT_TRUE(fs::is_regular_file(real));
  const auto first = files::ReadAll(real);
  ASSERT_EQ(run(link.string(), true).status, 0);  // replaced in place, still through the link
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(files::ReadAll(real), first);
}

// A killed run's partial file goes with the next run that writes the same output, unless a
// running writer still holds it; any name the system allows can be written.
TEST(TranscribeCli, LeftoverPartialFilesGoAndLongNamesWork) {
  const std::string example = std::string(VELLUMIX_SOURCE_DIR) + "/examples/minuet.mus";
  test::TempFolder data, dir;
  const fs::path left = dir.path() / ".out.mid.0123abcd.part";
  const fs::path held = dir.path() / ".out.mid.89abcdef.part";
  const fs::path other = dir.path() / ".other.mid.0123abcd.part";
  for (const fs::path& p : {left, held, other}) ASSERT_TRUE(files::WriteAtomic(p, "x"));
  const int fd = ::open(held.c_str(), O_RDONLY);
  ASSERT_TRUE(files::LockOpenFile(fd));
  const auto r = test::RunCli({"--data-dir", data.path().string(), "transcribe", example, "-o",
                               (dir.path() / "out.mid").string()});
  ::close(fd);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(left));
  EXPECT_TRUE(fs::exists(held));
  EXPECT_TRUE(fs::exists(other));

  const fs::path longest = dir.path() / (std::string(251, 'n') + ".mid");
  const auto l = test::RunCli(
      {"--data-dir", data.path().string(), "transcribe", example, "-o", longest.string()});
  EXPECT_EQ(l.status, 0) << l.err;
  EXPECT_TRUE(fs::is_regular_file(longest));
}

}  // namespace
}  // namespace vellumix
