// Read Old Data over fuzzed intermediate files. Input: the bar file, then sections each starting
// with a line "@@N" for track file N (1 to 349; 350 is the tempo file), "@@NAME" for another file
// of the library folder that is not a library file, or "@@options" for "key = value" lines that
// set options and defaults (taken only when all are in range). Any message is fine; a run that
// says it is done must have written a MIDI file the reader accepts.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "midi/reader.h"
#include "platform/files.h"
#include "run/document.h"
#include "score/track_files.h"

namespace {

using vellumix::fuzz::Check;

struct Library {
  std::string folder = vellumix::fuzz::ScratchFolder();
  std::map<std::string, vellumix::fuzz::Bytes> snapshot;
  std::vector<std::string> changed;  // library files the last input replaced

  Library() {
    vellumix::fuzz::PrepareLibrary(folder);
    snapshot = vellumix::fuzz::Snapshot(folder);
  }
};

void Put(Library& library, const std::string& name, std::string_view text) {
  vellumix::fuzz::WriteFile(library.folder + name,
                            {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

void SetOptions(Library& library, std::string_view text) {
  vellumix::Options options;
  vellumix::Defaults defaults;
  Check(vellumix::DecodeOptions(library.snapshot.at("OPTIONS.DAT"), options) &&
            vellumix::DecodeDefaults(library.snapshot.at("DEFAULTS.DAT"), defaults),
        "the library's settings do not read");
  for (const std::string& line : vellumix::files::SplitLines(text)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string_view key = std::string_view(line).substr(0, eq);
    std::string_view value = std::string_view(line).substr(eq + 1);
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    if (!vellumix::SetField(options, key, value)) vellumix::SetField(defaults, key, value);
  }
  if (vellumix::ValidateOptions(options) || vellumix::ValidateDefaults(defaults)) return;
  const auto o = vellumix::EncodeOptions(options);
  const auto d = vellumix::EncodeDefaults(defaults);
  Put(library, "OPTIONS.DAT", {reinterpret_cast<const char*>(o.data()), o.size()});
  Put(library, "DEFAULTS.DAT", {reinterpret_cast<const char*>(d.data()), d.size()});
  library.changed = {"OPTIONS.DAT", "DEFAULTS.DAT"};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Library library;
  vellumix::fuzz::Restore(library.folder, library.snapshot, library.changed);
  library.changed.clear();

  for (const auto& [name, text] :
       vellumix::fuzz::Sections(vellumix::fuzz::Text({data, size}), "0")) {
    if (name == "options") {
      SetOptions(library, text);
      continue;
    }
    int number = -1;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (ec == std::errc() && end == name.data() + name.size() && number >= 0 &&
        number <= vellumix::kTempoFileNumber) {
      Put(library, vellumix::TrackFileName("", number), text);
    } else if (vellumix::fuzz::PlainFileName(name) && !library.snapshot.contains(name)) {
      Put(library, name, text);
    }
  }

  vellumix::fuzz::AnsweringHost host;
  vellumix::CVellumixDoc doc(host);
  Check(doc.Create(library.folder, false), "the library does not load");
  const std::string out = library.folder + "out.mid";
  if (vellumix::ReadOldData(doc, out) != vellumix::RunResult::kDone) return 0;
  const auto bytes = vellumix::files::ReadAll(out);
  Check(bytes && vellumix::ReadMidiFile(*bytes), "a run that is done left no readable MIDI file");
  return 0;
}
