// The second half of a run: the intermediate track files of the library folder into a Standard
// MIDI File.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vellumix {

class CVellumixDoc;
class Host;

// What a track's instrument gives it; without a template slot for the track, a channel of its
// own and the General MIDI piano.
struct TrackInstrument {
  int slot = -1;  // template slot, -1 when none
  int channel = 0;
  int transposition = 0;
  int program = 0;  // bank * 128 + program
  int volume = 100;
  int pan = 64;
  int port = 0;
  int instrumentLibrary = 0;  // line of INSTRUMENTS.DAT, from 1; 0 for none
  bool convertLyrics = false;
  std::string name;
  std::string mapName;  // empty: no percussion map
};

// The file an output path names: a symbolic link is followed to the file it names (which need
// not exist yet); any other path is itself. Relative link targets are taken from the link's
// folder.
std::string OutputTarget(const std::string& outputPath);
// Message 20014 and false when `outputPath` names something that is not a plain file.
bool OutputIsAFile(Host& host, const std::string& outputPath);

// What the written file holds, as reading it back gives it.
struct MidiFacts {
  int format = 1;
  int tracks = 0;
  double playingSeconds = 0.0;
  std::uint64_t bytes = 0;
  std::int64_t notes = 0;  // note-ons with a velocity
};

// Reads the intermediate files of the document's track folder, interprets every track and writes
// `outputPath`. The file is built beside the target and put in its place only when complete and
// when it reads back as a whole Standard MIDI File, so a failed or cancelled run leaves what was
// there. False after a message, or on cancel; `facts` (when given) receives what the file holds.
// `beforePlacing`, when given, runs once the file is whole; false from it leaves the file out.
bool BuildMidiFile(CVellumixDoc& doc, const std::string& outputPath, MidiFacts* facts = nullptr,
                   const std::function<bool()>& beforePlacing = {});

}  // namespace vellumix
