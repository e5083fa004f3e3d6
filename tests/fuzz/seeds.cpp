// Writes seed inputs for every fuzz target into OUT/<target>/: the files of the prepared factory
// library, the bundled sonatina and what a run makes of it (intermediate files, MIDI files), and,
// with a corpus folder, its SCORE files as pages.
//   vellumix-fuzz-seeds OUT [SCORE_CORPUS]
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "library/settings.h"
#include "platform/files.h"
#include "run/document.h"
#include "score/track_files.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using vellumix::fuzz::Bytes;
using vellumix::fuzz::Check;

class Seeds {
 public:
  explicit Seeds(fs::path out) : out_(std::move(out)) {}

  void Add(const std::string& target, std::string name, const Bytes& bytes) {
    for (char& c : name)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
    fs::create_directories(out_ / target);
    vellumix::fuzz::WriteFile((out_ / target / name).string(), bytes);
    ++count_;
  }
  void Add(const std::string& target, const std::string& name, std::string_view text) {
    Add(target, name, Bytes(text.begin(), text.end()));
  }
  // `bytes` after a first byte `first`.
  void Add(const std::string& target, const std::string& name, std::uint8_t first,
           const Bytes& bytes) {
    Bytes b{first};
    b.insert(b.end(), bytes.begin(), bytes.end());
    Add(target, name, b);
  }
  int Count() const { return count_; }

 private:
  fs::path out_;
  int count_ = 0;
};

bool HasExtension(const std::string& name, std::string_view extension) {
  return name.size() > extension.size() &&
         vellumix::files::EqualNoCase(name.substr(name.size() - extension.size()), extension);
}

std::string AsText(const Bytes& bytes) {
  return {bytes.begin(), bytes.end()};
}

// The intermediate files of a run of the sonatina as read_old_data sections, and the MIDI file
// of type `type` ("Type 0") made of them; the options section sets the type.
std::string ReadScores(const std::string& folder, const std::string& page, const std::string& type,
                       Bytes& midi) {
  const std::string optionsFile = folder + "OPTIONS.DAT";
  vellumix::Options options;
  Check(vellumix::DecodeOptions(*vellumix::files::ReadAll(optionsFile), options),
        "OPTIONS.DAT does not read");
  options.midiFileType = type;
  vellumix::fuzz::WriteFile(optionsFile, vellumix::EncodeOptions(options));
  vellumix::fuzz::AnsweringHost host;
  vellumix::CVellumixDoc doc(host);
  Check(doc.Create(folder, false), "the prepared library does not load");
  vellumix::ReadSummary summary;
  Check(vellumix::ReadScores(doc, {page + " 1"}, summary) == vellumix::RunResult::kDone,
        "the sonatina does not read");
  std::map<std::string, std::string> sections;
  for (int number = 0; number <= vellumix::kTempoFileNumber; ++number)
    if (auto bytes = vellumix::files::ReadAll(vellumix::TrackFileName(folder, number)))
      sections[std::to_string(number)] = AsText(*bytes);
  Check(sections.contains("0") && sections.size() > 1, "the run left no intermediate files");
  sections["options"] = "midiFileType = " + type + "\n";
  const std::string out = folder + "seed.mid";
  Check(vellumix::ReadOldData(doc, out) == vellumix::RunResult::kDone,
        "the intermediate files do not make a MIDI file");
  auto bytes = vellumix::files::ReadAll(out);
  Check(bytes.has_value(), "no MIDI file");
  midi = *bytes;
  return vellumix::fuzz::JoinSections(sections, "0");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s OUT [SCORE_CORPUS]\n", argv[0]);
    return 2;
  }
  Seeds seeds(argv[1]);
  const vellumix::test::TempFolder scratch;
  const std::string folder = scratch.slashed();
  vellumix::fuzz::PrepareLibrary(folder);
  const Bytes sonatina = vellumix::fuzz::SonatinaScore();
  const std::string page = folder + vellumix::fuzz::kRunPage;
  vellumix::fuzz::WriteFile(page, sonatina);
  const std::map<std::string, Bytes> library = vellumix::fuzz::Snapshot(folder);

  // The whole run with each file replaced by itself, the first byte choosing it.
  const std::vector<std::string> choices = vellumix::fuzz::RunChoices(library);
  for (std::size_t i = 0; i < choices.size() && i < 256; ++i)
    seeds.Add("run", choices[i], static_cast<std::uint8_t>(i), library.at(choices[i]));

  // Every library file for its decoder.
  for (const auto& [name, bytes] : library) {
    std::string target;
    if (name == "OPTIONS.DAT") target = "options";
    if (name == "DEFAULTS.DAT") target = "defaults";
    if (HasExtension(name, ".SBL") || HasExtension(name, ".TBL")) target = "symbol";
    if (HasExtension(name, ".SSL")) target = "special";
    if (HasExtension(name, ".INS")) target = "instrument";
    if (HasExtension(name, ".MAP")) target = "map_setup";
    if (!target.empty()) seeds.Add(target, name, bytes);
    if (HasExtension(name, ".TPL")) seeds.Add("template", name, 0, bytes);
    if (name == "TEMPLATE.DAT") seeds.Add("template", name, 1, bytes);
    // Integer and string, twice: the settings files and the selections start so.
    if (HasExtension(name, ".DAT") && name != "INSTRUMENTS.DAT" && name != "SCOREPATH.DAT")
      seeds.Add("archive", name, 0x88, bytes);
  }
  seeds.Add(
      "instrument_list", "factory",
      vellumix::fuzz::JoinSections({{"INSTRUMENTS.DAT", AsText(library.at("INSTRUMENTS.DAT"))},
                                    {"General.PCH", AsText(library.at("General.PCH"))}},
                                   "INSTRUMENTS.DAT"));

  seeds.Add("score_reader", "sonatina.mus", sonatina);

  for (const char* type : {"Type 1", "Type 0"}) {
    Bytes midi;
    const std::string files = ReadScores(folder, page, type, midi);
    const std::string stem = std::string("sonatina-type") + type[5];
    seeds.Add("read_old_data", stem, files);
    // A publication that a killed run left half done, which Read Old Data finishes first.
    if (type[5] == '1')
      seeds.Add("read_old_data", stem + "-journal",
                files + "@@.vellumix-publish\n.vellumix-run.x1\r\nVLMIX1.TMP\r\nTEMPO.TMP\r\n");
    seeds.Add("midi_reader", stem + ".mid", midi);
    if (type[5] == '1')
      for (const auto& [number, text] : vellumix::fuzz::Sections(files, "0"))
        if (number != "options") seeds.Add("track_line", "sonatina-" + number, text);
  }

  seeds.Add("file_groups", "list", "/pages/sonatina.mus 1\r\n/pages/my score.mus 3\r\n\r\nx\r\n");
  seeds.Add("file_groups", "names", "page1.mus\npage2.mus\npage3.mus\nother.mus\nPAGE4.MUS\n");

  if (argc == 3) {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(argv[2], ec)) {
      const std::string name = entry.path().filename().string();
      if (!entry.is_regular_file() || !(HasExtension(name, ".mus") || HasExtension(name, ".sav")))
        continue;
      const auto bytes = vellumix::files::ReadAll(entry.path());
      Check(bytes.has_value(), "cannot read " + entry.path().string());
      const std::string seed = entry.path().parent_path().filename().string() + "-" + name;
      seeds.Add("score_reader", seed, *bytes);
      seeds.Add("run", seed, 0, *bytes);
    }
  }
  std::printf("%d seeds written to %s\n", seeds.Count(), argv[1]);
  return 0;
}
