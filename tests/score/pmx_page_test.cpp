// SCORE's text form of a page (PMX) read as the page its binary file is.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "corpus.h"
#include "res/strings.h"
#include "run/file_groups.h"
#include "run_program.h"
#include "score/internal/records.h"
#include "score/pmx.h"
#include "score_test_util.h"
#include "temp_folder.h"

namespace vellumix::test {
namespace {

namespace fs = std::filesystem;

std::span<const std::uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::vector<score::Record> Records(const files::Bytes& bytes) {
  std::vector<score::Record> out;
  score::RecordScanner scanner(bytes);
  score::ScanFailure failure;
  EXPECT_TRUE(scanner.Open(failure)) << failure.reason;
  score::Record record;
  while (scanner.Next(record, failure)) out.push_back(record);
  EXPECT_EQ(failure.id, 0) << failure.reason;
  return out;
}

// Half a unit of the last decimal a PMX number is printed with.
float PrintedPrecision(std::string_view word) {
  const auto dot = word.find('.');
  const int decimals = dot == std::string_view::npos ? 0 : static_cast<int>(word.size() - dot - 1);
  return 0.5f * std::pow(10.0f, static_cast<float>(-decimals)) + 1e-4f;
}

// The PMX text published beside each corpus binary: same name with .txt or .pmx, and TEST.PMX for
// SCORE.MUS (its items agree; those of the backup SCORE.SAV are an earlier state of the page).
std::vector<std::pair<fs::path, fs::path>> CorpusPairs() {
  std::vector<std::pair<fs::path, fs::path>> pairs;
  for (const fs::path& binary : CorpusScoreFiles()) {
    for (const char* ext : {".txt", ".pmx"}) {
      const fs::path text = fs::path(binary).replace_extension(ext);
      if (fs::exists(text)) pairs.emplace_back(binary, text);
    }
    if (binary.filename() == "SCORE.MUS") {
      pairs.emplace_back(binary, binary.parent_path() / "TEST.PMX");
    }
  }
  return pairs;
}

TEST(PmxPage, EveryCorpusPairHoldsTheSameItems) {
  const auto pairs = CorpusPairs();
  if (pairs.empty()) GTEST_SKIP() << "no SCORE corpus at " << VELLUMIX_CORPUS_DIR;
  EXPECT_EQ(pairs.size(), 30u);
  std::vector<std::string> differences;
  int texts = 0;
  for (const auto& [binaryPath, textPath] : pairs) {
    SCOPED_TRACE(textPath.string());
    const auto binary = files::ReadAll(binaryPath);
    const auto text = files::ReadAll(textPath);
    ASSERT_TRUE(binary && text);
    ASSERT_TRUE(IsPmxPage(*text, textPath.string()));
    const std::string_view content(reinterpret_cast<const char*>(text->data()), text->size());
    const PmxPage page = ReadPmxPage(content);
    ASSERT_EQ(page.fault.id, 0) << "line " << page.fault.line;
    const files::Bytes read = PmxScoreFile(page.items);
    const auto expected = Records(*binary);
    const auto got = Records(read);
    ASSERT_EQ(got.size(), expected.size());
    ASSERT_EQ(page.items.size(), got.size());

    const auto lines = files::SplitLineViews(content);
    for (std::size_t i = 0; i < got.size(); ++i) {
      const score::Record& b = expected[i];
      const score::Record& t = got[i];
      const int line = page.items[i].line;
      const auto words = PmxWords(lines.at(static_cast<std::size_t>(line - 1)));
      const bool textItem = t.P(1) == 16;
      const bool eps = t.P(1) == 15;
      texts += textItem;
      const int last = textItem || eps ? 13 : std::max(b.count, t.count);
      for (int p = 1; p <= last; ++p) {
        if (textItem && p == 13) continue;  // the text's width: SCORE prints 0
        const auto at = static_cast<std::size_t>(p - 1);
        // A number the text leaves out is 0; P12 of a text is counted from the text.
        const float tolerance =
            at < words.size() && !(textItem && p == 12) ? PrintedPrecision(words[at]) : 0.0f;
        if (!(std::fabs(b.P(p) - t.P(p)) <= tolerance)) {
          differences.push_back(textPath.filename().string() + " line " + std::to_string(line) +
                                " P" + std::to_string(p) + ": " + std::to_string(b.P(p)) + " / " +
                                std::to_string(t.P(p)));
        }
      }
      if (textItem || eps) {
        EXPECT_EQ(t.count, b.count) << "line " << line;
      }
      if (textItem) {
        const auto length = static_cast<std::ptrdiff_t>(t.P(12));
        EXPECT_TRUE(
            std::equal(t.bytes.begin() + 52, t.bytes.begin() + 52 + length, b.bytes.begin() + 52))
            << "line " << line;
      }
    }
  }
  EXPECT_EQ(texts, 110);
  // The one item the README names: its PMX was made from an earlier save.
  EXPECT_EQ(differences, std::vector<std::string>{"ambig2.txt line 18 P4: -5.000000 / 0.000000"});
}

void ReplaceAll(std::string& s, const std::string& from, std::string_view to) {
  for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
}

// A whole run of each file of a pair, each in a fresh data folder: the same outcome, messages and
// summary, and the same MIDI file byte for byte, except where the text's printed precision loses
// what the notes depend on: xlayer.txt gives a hairpin's end to two decimals (172.67 for 172.6664:
// its notes' velocities differ by one or two), ex1.pmx its triplets' durations to three (0.333:
// notes a tick early) and chord notes' positions to three (two notes sound in the other order).
TEST(PmxPage, EveryCorpusPairTranscribesToTheSameMidiFile) {
  const auto pairs = CorpusPairs();
  if (pairs.empty()) GTEST_SKIP() << "no SCORE corpus at " << VELLUMIX_CORPUS_DIR;
  struct Outcome {
    ProgramResult run;
    std::optional<files::Bytes> midi;
  };
  const auto transcribe = [](const fs::path& input) {
    TempFolder data;
    Outcome o;
    const std::string out = data.slashed() + "out.mid";
    o.run = RunCli({"--data-dir", data.path().string(), "transcribe", input.string(), "-o", out});
    for (std::string* text : {&o.run.out, &o.run.err}) {
      ReplaceAll(*text, data.slashed(), "DATA/");
      ReplaceAll(*text, fs::absolute(input).lexically_normal().string(), "INPUT");
    }
    o.midi = files::ReadAll(out);
    return o;
  };
  int written = 0;
  std::vector<std::string> differentMidi;
  for (const auto& [binaryPath, textPath] : pairs) {
    SCOPED_TRACE(textPath.string());
    const Outcome binary = transcribe(binaryPath);
    const Outcome text = transcribe(textPath);
    EXPECT_EQ(text.run.status, binary.run.status);
    EXPECT_EQ(text.run.out, binary.run.out);
    EXPECT_EQ(text.run.err, binary.run.err);
    EXPECT_EQ(text.midi.has_value(), binary.midi.has_value());
    if (text.midi != binary.midi) differentMidi.push_back(textPath.filename().string());
    written += binary.run.status == 0 && binary.midi.has_value();
  }
  EXPECT_EQ(written, 29);  // epsgraph.mus holds no notes
  EXPECT_EQ(differentMidi, (std::vector<std::string>{"xlayer.txt", "ex1.pmx"}));
}

// The bytes a page is read from are the builder's for the same items: comments, blank lines, CR LF,
// "t" for code 16, P12 counted from the text, numbers in SCORE's print form, and the byte order
// mark a text editor may put first.
TEST(PmxPage, APageBecomesTheBinaryFileOfItsItems) {
  const std::string pmx =
      "\357\273\27799 Example\r\n"
      "99 Tue Aug 18 16:38:10 PDT 2009\r\n"
      "\r\n"
      "8.  1.0    .000      .00      .75   200.00\r\n"
      "t  1.   10.000   17.000     1.000    1.000     .000     .000     .000     .000     .000\r\n"
      "_00[ = 96\r\n"
      "16 1 12 -5 1 1 0 0 0 0 0 4 23.5\r\n"
      "_02cresc.\r\n"
      "1.  1.0  21.271    -1.00    10.00      .00      .2500     -.50     2.00\r\n";
  const std::string built =
      "8 1 0 0 0.75 200\n"
      "16 1 10 17 1 1 0 0 0 0 0\n\"_00[ = 96\"\n"
      "16 1 12 -5 1 1 0 0 0 0 0 9 23.5\n\"_02cresc.\"\n"
      "1 1 21.271 -1 10 0 0.25 -0.5 2\n";
  ASSERT_TRUE(IsPmxPage(AsBytes(pmx), "page.txt"));
  const PmxPage page = ReadPmxPage(pmx);
  EXPECT_EQ(page.fault.id, 0);
  EXPECT_EQ(PmxScoreFile(page.items), Build(built));

  // The reader keeps the text without its font code, as it does from the binary file.
  ReaderRig rig;
  ASSERT_TRUE(rig.input.ReadScoreBytes(AsBytes(pmx), "page.txt"));
  EXPECT_TRUE(rig.host.messages.empty());
  std::vector<std::string> stored;
  for (const CItem& item : rig.input.StaffList(1)) {
    if (item.values.Get(0) == 16) stored.push_back(item.text);
  }
  EXPECT_EQ(stored, (std::vector<std::string>{"[ = 96", "cresc."}));
}

TEST(PmxPage, TextIsReadAsAPageByItsNameOrItsFirstLine) {
  const files::Bytes binary = Build("8 1 0\n");
  struct Case {
    std::string_view text;
    const char* name;
    bool pmx;
  } cases[] = {
      {"8 1 0\n", "page.mus", true},
      {"\n  \n99 comment\n8 1 0\n", "page.txt", true},
      {"t 1 10\n_00x\n", "page", true},
      {"Notes for the pianist\n", "notes.txt", false},
      {"Notes for the pianist\n", "page.PMX", true},  // refused with its line
      {"", "empty.mus", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsPmxPage(AsBytes(c.text), c.name), c.pmx) << c.name << ": " << c.text;
  }
  EXPECT_FALSE(IsPmxPage(binary, "page.pmx"));
}

TEST(PmxPage, ALineThatCannotBeReadIsNamedWithItsFileAndLine) {
  const std::string numbers54 = [] {
    std::string s = "1 1 10";
    for (int i = 0; i < 51; ++i) s += " 0";
    return s;
  }();
  const std::string tooLong = [] {
    std::string s;
    for (int i = 0; i < 8192; ++i) s += "10 1 10 4 10 0 1\n";  // left out by the reader: quick
    return s;
  }();
  struct Case {
    std::string text;
    std::string message;
  } cases[] = {
      {"8 1 0\n1 1\n",
       "bad.pmx, line 2: too few numbers for a SCORE item (it needs its code, staff and position)"},
      {"1 1 10 4 1O 0 1\n", "bad.pmx, line 1: \"1O\" stands where a number belongs"},
      {"1 1 " + std::string(50, '7') + "x\n",
       "bad.pmx, line 1: \"" + std::string(40, '7') + "...\" stands where a number belongs"},
      {"99 comment\n\n19 1 10\n", "bad.pmx, line 3: 19 is not a SCORE item code (1 to 18)"},
      {"t 1 10 5\n", "bad.pmx, line 1: the text item has no text on the line after it"},
      {"t 1 10 5\n1 1 20 4 10 0 1\n",
       "bad.pmx, line 1: the text item has no text on the line after it"},
      {numbers54 + "\n", "bad.pmx, line 1: more numbers than a SCORE item holds (at most 53)"},
      {"t 1 10 5 1 1 0 0 0 0 0 0 0 1\n_00x\n",
       "bad.pmx, line 1: more numbers than a SCORE item holds (at most 13 before its text)"},
      {"8 1 0\nt 1 10 5\n_00" + std::string(158, 'x') + "\n",
       "bad.pmx, line 3: the text is longer than a SCORE item holds (at most 160 characters)"},
      {tooLong, "bad.pmx, line 8192: the page holds more than a SCORE file can (65535 words)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ReaderRig rig;
    EXPECT_FALSE(rig.input.ReadScoreBytes(AsBytes(c.text), "bad.pmx"));
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_EQ(rig.host.messages[0].text, c.message);
  }
}

// As in a binary file with a damaged record: the items before it are read, the page fails.
TEST(PmxPage, ABadLineStopsThePageAsADamagedRecordDoes) {
  ReaderRig text, binary;
  EXPECT_FALSE(
      text.input.ReadScoreBytes(AsBytes("8 1 0\n1 1 10 4 10 0 1\n1 1 x\n1 1 30 4\n"), "bad.pmx"));
  EXPECT_FALSE(binary.Read("8 1 0\n1 1 10 4 10 0 1\nN=nan 1 1 20\n1 1 30 4\n"));
  EXPECT_EQ(text.host.MessageIds(), std::vector<int>{res::kPmxNotANumber});
  EXPECT_EQ(binary.host.MessageIds(), std::vector<int>{res::kDamagedScoreFile});
  ASSERT_EQ(text.input.StaffList(1).size(), 2u);
  EXPECT_EQ(Column(text.input.StaffList(1), 2), Column(binary.input.StaffList(1), 2));
}

// Add Files keeps a page and its text form when both are picked; each groups its own pages.
TEST(PmxPage, AddFilesGroupsTextPagesAmongThemselves) {
  EXPECT_EQ(GroupSelectedFiles("/m", {"a1.mus", "a1.pmx", "a2.mus", "a2.pmx", "b1.txt"}, false),
            (std::vector<std::string>{"/m/a1.mus 2", "/m/a1.pmx 2", "/m/b1.txt 1"}));
}

}  // namespace
}  // namespace vellumix::test
