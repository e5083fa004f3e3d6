// The commands of vellumix-cli; each returns the process exit status.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellumix::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;

struct GlobalOptions {
  std::string dataDir;
  bool verbose = false;
};

int LibraryInit(const GlobalOptions& global);
int LibraryPath(const GlobalOptions& global, const std::optional<std::string>& name);
int LibraryShow(const GlobalOptions& global);
int Dump(const GlobalOptions& global, const std::string& file);

// What a run reads and how its questions are answered ahead.
struct RunInputs {
  std::vector<std::string> inputs;     // FILE or FILE:COUNT
  std::vector<std::string> listFiles;  // --list
  bool group = false;                  // --group
  std::string timeSignature;           // --time-signature N/D
  std::optional<float> anacrusis;      // --anacrusis BEATS
  std::string multipleSystems;         // --multiple-systems yes|no
  bool yes = false;                    // --yes
};

int ReadScoresCommand(const GlobalOptions& global, const RunInputs& run);
int ReadOldDataCommand(const GlobalOptions& global, const std::string& output);
// `report`: a JSON report of the run to write, empty for none.
int TranscribeCommand(const GlobalOptions& global, const RunInputs& run, const std::string& output,
                      const std::string& report);

struct CollectionOptions {
  std::vector<std::string> folders;
  std::string outDir;   // -o
  unsigned jobs = 0;    // -j; 0: one a processor
  std::string report;   // --report
};

// Every piece under the folders into its own MIDI file under the output folder, on several
// workers; the run's answers (and --yes) stand for every piece.
int TranscribeAllCommand(const GlobalOptions& global, const RunInputs& run,
                         const CollectionOptions& collection);

struct PlayOptions {
  std::string file;
  std::string from;                    // --from M:SS
  std::optional<std::uint32_t> tempo;  // --tempo BPM
  std::string soundfont;               // --soundfont PATH
};

int PlayCommand(const GlobalOptions& global, const PlayOptions& play);
int RenderCommand(const GlobalOptions& global, const std::string& file, const std::string& output,
                  const std::string& soundfont);

}  // namespace vellumix::cli
