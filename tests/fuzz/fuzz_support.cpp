#include "fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "library/factory.h"
#include "library/percussion_maps.h"
#include "library/templates.h"
#include "platform/files.h"
#include "score_builder.h"
#include "temp_folder.h"

namespace vellumix::fuzz {
namespace fs = std::filesystem;

void Check(bool ok, std::string_view what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

bool SameFloat(float a, float b) {
  if (a != a || b != b) return a != a && b != b;
  std::uint32_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y;
}

const std::string& ScratchFolder() {
  // A static: removed by its destructor when the fuzzer ends its time, left behind by a crash.
  static const test::TempFolder folder;
  static const std::string slashed = folder.slashed();
  return slashed;
}

bool PlainFileName(std::string_view name) {
  return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  Check(f != nullptr, "cannot write " + path);
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  Check(std::fclose(f) == 0 && written, "cannot write " + path);
}

std::map<std::string, std::string> Sections(std::string_view text, const std::string& first) {
  std::map<std::string, std::string> out;
  std::string name = first;
  bool header = false;  // whether the current section was named by a line
  std::size_t pos = 0;
  for (;;) {
    std::size_t next = pos;
    while (next < text.size() && text.compare(next, 2, "@@") != 0) {
      const std::size_t end = text.find('\n', next);
      next = end == std::string_view::npos ? text.size() : end + 1;
    }
    if (header || next > pos) out[name] += text.substr(pos, next - pos);
    if (next >= text.size()) break;
    std::size_t end = text.find('\n', next);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(next + 2, end - next - 2);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    name = std::string(line);
    header = true;
    pos = std::min(end + 1, text.size());
  }
  return out;
}

std::string JoinSections(const std::map<std::string, std::string>& sections,
                         const std::string& first) {
  std::string out;
  if (auto it = sections.find(first); it != sections.end()) out = it->second;
  for (const auto& [name, text] : sections) {
    if (name == first) continue;
    if (!out.empty() && out.back() != '\n') out += '\n';
    out += "@@" + name + "\n" + text;
  }
  return out;
}

void PrepareLibrary(const std::string& folder) {
  AnsweringHost host;
  const FactoryInstall installed = InstallFactoryLibrary(folder, host);
  Check(installed.ok && !installed.written.empty(), "cannot install the factory library");
  Check(WriteTemplateSelection(host, folder, "Piano"), "cannot select the Piano template");
  const std::string leftHand = InstrumentName("Piano left hand", 2);
  std::optional<InstrumentRecord> record = ReadInstrument(host, folder, leftHand);
  Check(record.has_value(), "the factory library has no " + leftHand);
  const std::vector<std::string> maps = MapSetupChoices(folder);
  Check(!maps.empty(), "the factory library has no percussion map");
  record->usePercussionMap = 1;
  record->percussionMap = 0;
  record->percussionMapName = maps[0];
  std::string error;
  Check(WriteInstrument(host, folder, *record, &error), "cannot write " + leftHand + ": " + error);
}

Bytes SonatinaScore() {
  const std::string source = std::string(VELLUMIX_SOURCE_DIR) + "/examples/sonatina.items";
  const auto text = files::ReadAll(source);
  Check(text.has_value(), "cannot read " + source);
  std::string error;
  auto bytes = test::BuildScoreFile(Text(*text), &error);
  Check(bytes.has_value(), source + ": " + error);
  return *bytes;
}

std::vector<std::string> RunChoices(const std::map<std::string, Bytes>& snapshot) {
  std::vector<std::string> choices = {kRunPage,
                                      "OPTIONS.DAT",
                                      "DEFAULTS.DAT",
                                      "TEMPLATE.DAT",
                                      "prefs.dat",
                                      "INSTRUMENTS.DAT",
                                      "General.PCH",
                                      "Piano.TPL",
                                      InstrumentName("Piano right hand", 1) + ".INS",
                                      InstrumentName("Piano left hand", 2) + ".INS",
                                      "General MIDI Drums.MAP"};
  for (const std::string& name : choices)
    Check(snapshot.contains(name), "the prepared library has no " + name);
  for (const auto& [name, bytes] : snapshot)
    if (std::find(choices.begin(), choices.end(), name) == choices.end()) choices.push_back(name);
  return choices;
}

std::map<std::string, Bytes> Snapshot(const std::string& folder) {
  std::map<std::string, Bytes> out;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    auto bytes = files::ReadAll(entry.path());
    Check(bytes.has_value(), "cannot read " + entry.path().string());
    out[entry.path().filename().string()] = std::move(*bytes);
  }
  return out;
}

void Restore(const std::string& folder, const std::map<std::string, Bytes>& snapshot,
             const std::vector<std::string>& changed) {
  std::vector<fs::path> extra;
  for (const auto& entry : fs::directory_iterator(folder))
    if (!snapshot.contains(entry.path().filename().string())) extra.push_back(entry.path());
  for (const auto& path : extra) {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  for (const auto& name : changed)
    if (auto it = snapshot.find(name); it != snapshot.end()) WriteFile(folder + name, it->second);
}

}  // namespace vellumix::fuzz
