// The document: the one owner of every subsystem's state for the life of the program, and the
// run-level operations that drive them.
#pragma once

#include <string>
#include <vector>

#include "engine/engine.h"
#include "library/library.h"
#include "library/specials.h"
#include "library/symbols.h"
#include "midi/writer.h"
#include "platform/host.h"
#include "run/file_groups.h"
#include "run/run_folder.h"
#include "score/reader.h"
#include "score/systems.h"
#include "score/track_files.h"
#include "run/build_midi.h"

namespace vellumix {

class CVellumixDoc {
 public:
  explicit CVellumixDoc(Host& host);
  CVellumixDoc(const CVellumixDoc&) = delete;
  CVellumixDoc& operator=(const CVellumixDoc&) = delete;

  // Document creation: finds the user data folder (`dataFolder`, or the default when empty),
  // installs the factory library's missing files when asked, reads "prefs.dat" and loads the
  // library. False when the library could not be loaded whole (its messages have been shown).
  bool Create(const std::string& dataFolder, bool installFactory);

  // The start of a run: reloads the library, resets the per-run state, fills the symbol cache
  // (missing symbol files are reported and skipped) and makes the run's own folder for its
  // intermediate files. False when the library could not be loaded, the folder could not be made
  // or the user cancelled (the run does not start).
  bool PrepareRun();
  // The end of every run, however it ended: what only one run needs is let go.
  void ReleaseRunData();
  // Reads one file group and appends its intermediate files. False after a message, or on cancel.
  bool ReadFileGroup(std::string& name, int count);
  // Empties the staff lists of a stopped group.
  void ReleaseStaffLists();

  // The Options dialog's OK: the library's SaveOptions; when "Interpret multiple systems" changed,
  // the next run asks the multiple-systems question again.
  bool SaveOptions(const Options& values, std::string* error = nullptr);

  // The temporary track file of the MIDI writer, in the run's folder.
  std::string TemporaryTrackFile() const;

  Host& host;
  SettingsLibrary library;
  SymbolLibrary symbols;
  SpecialLibrary specials;
  ScoreInput score;
  RunFolder runFolder;
  TrackFileWriter trackFiles;
  SystemsStage systems;
  Engine engine;
  MidiWriter midi;
  bool onePerPage = true;  // "&one file a page"
};

// What a run did.
struct ReadSummary {
  int groups = 0;             // file groups read whole
  int systems = 0;            // systems written
  int bars = 0;               // lines of the bar file
  std::vector<int> instruments;  // instrument files written
  bool tempoFile = false;
  // Transcribe put the MIDI file in place, having read it back whole; an empty list writes
  // nothing.
  bool midiWritten = false;
  MidiFacts midi;  // what the file holds, when written
};

enum class RunResult { kDone, kStopped, kCancelled };

// The reading half of a run: reloads the library, writes NAMELIST.TMP and reads every entry
// ("path count") in order into intermediate files of its own, which take the place of the last
// finished run's in the library folder when every entry was read.
RunResult ReadScores(CVellumixDoc& doc, const std::vector<std::string>& entries,
                     ReadSummary& summary);

// The second half of a run on its own: the intermediate files of the last finished run in the
// library folder into `outputPath`.
RunResult ReadOldData(CVellumixDoc& doc, const std::string& outputPath);

// A whole run: asks before writing over an existing file or one not ending in .MID, reads every
// entry and writes `outputPath`. Its intermediate files take the place of the last finished
// run's just before the MIDI file is put in place, or only its NAMELIST.TMP does (the others are
// deleted) when the options say so. `summary.midiWritten` tells whether the file was written.
RunResult Transcribe(CVellumixDoc& doc, const std::vector<std::string>& entries,
                     const std::string& outputPath, ReadSummary& summary);

}  // namespace vellumix
