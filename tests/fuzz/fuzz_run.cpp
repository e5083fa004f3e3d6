// A whole run, SCORE page to MIDI file, over the prepared library with one file replaced by the
// input after its first byte. The first byte chooses the file (RunChoices): 0 the page (the
// bundled sonatina), then the settings, template and map files in a fixed order, then every other
// library file in name order. Any message is fine; a run that says it wrote the MIDI file must have
// written one the reader accepts, holding what the run reported.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "midi/reader.h"
#include "platform/files.h"
#include "run/document.h"

namespace {

using vellumix::fuzz::Check;

struct Library {
  std::string folder = vellumix::fuzz::ScratchFolder();
  std::map<std::string, vellumix::fuzz::Bytes> snapshot;
  std::vector<std::string> choices;
  std::vector<std::string> changed;

  Library() {
    vellumix::fuzz::PrepareLibrary(folder);
    vellumix::fuzz::WriteFile(folder + vellumix::fuzz::kRunPage, vellumix::fuzz::SonatinaScore());
    snapshot = vellumix::fuzz::Snapshot(folder);
    choices = vellumix::fuzz::RunChoices(snapshot);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Library library;
  vellumix::fuzz::Restore(library.folder, library.snapshot, library.changed);
  if (size == 0) return 0;
  const std::string& replaced = library.choices[data[0] % library.choices.size()];
  vellumix::fuzz::WriteFile(library.folder + replaced, {data + 1, size - 1});
  library.changed = {replaced};

  vellumix::fuzz::AnsweringHost host;
  vellumix::CVellumixDoc doc(host);
  if (!doc.Create(library.folder, false)) return 0;
  const std::string out = library.folder + "out.mid";
  vellumix::ReadSummary summary;
  const vellumix::RunResult result =
      vellumix::Transcribe(doc, {library.folder + vellumix::fuzz::kRunPage + " 1"}, out, summary);
  Check(result != vellumix::RunResult::kDone || summary.midiWritten,
        "a run that is done wrote no MIDI file");
  if (!summary.midiWritten) return 0;
  const auto bytes = vellumix::files::ReadAll(out);
  Check(bytes.has_value(), "the MIDI file the run reported is not there");
  const auto midi = vellumix::ReadMidiFile(*bytes);
  Check(midi.has_value(), "the MIDI file the run wrote does not read");
  Check(midi->format == summary.midi.format &&
            static_cast<int>(midi->tracks.size()) == summary.midi.tracks &&
            bytes->size() == summary.midi.bytes,
        "the MIDI file holds other than the run reported");
  return 0;
}
